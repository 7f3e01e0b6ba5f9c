#include "tools/kestrune-screens/PowerSaverScreens.h"

#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "Shared/HelperProtocol.h"
#include "Shared/PowerMetricsReport.h"
#include "tests/support/Await.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-backend/FakeBackend.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QTextStream>

namespace kestrune {

namespace {

bool render(const ScreenFolder& folder, const QString& screen, demo::DemoApp& app)
{
    PowerSaverView view(app.state(), {});
    view.resize(880, 640);
    view.show();
    test::spin(50);
    return folder.write(screen, view);
}

bool launched(demo::DemoApp& app, const QString& screen)
{
    QString error;
    if (app.launch(&error))
        return true;
    QTextStream(stderr) << screen << ": " << error << Qt::endl;
    return false;
}

// What the processes spend while the indexer and the file sync are busy in the background:
// enough for the autopilot to slow them down.
PowerMetricsReport busyProcesses(const QDateTime& at)
{
    static const std::pair<const char*, double> processes[] = {
        {"tracker-miner-fs-3", 310.0}, {"dropbox", 240.0}, {"firefox", 96.0}, {"Web Content", 71.0},
        {"gnome-shell", 38.0}, {"code", 35.0}, {"slack", 22.0}, {"pipewire", 6.0},
    };
    PowerMetricsReport report;
    report.timestamp = at;
    report.durationSeconds = 3;
    qint64 pid = 2400;
    for (const auto& [name, impact] : processes)
        report.processes.push_back({pid += 53, QString::fromUtf8(name), impact, impact * 4});
    return report;
}

bool fresh(const ScreenFolder& folder)
{
    demo::DemoApp::Options options;
    options.helper = demo::HelperScene::NotFound;
    options.historyDays = 0;
    options.learned = false;
    demo::DemoApp app(options);
    return launched(app, QStringLiteral("powersaver-fresh")) && render(folder, QStringLiteral("powersaver-fresh"), app);
}

// An afternoon away from the adapter: the month of use, the autopilot at work on a battery
// that will not last the target without help, and what the user taught it on the way.
bool busy(const ScreenFolder& folder)
{
    const bool english = AppLanguage::resolvedCode() == QLatin1String("en");
    FakeBackend backend;
    if (!backend.listen())
        return false;
    backend.setText(english ? QStringLiteral("Drain rose to 14 W while firefox and Web Content kept the CPU busy with "
                                             "a video tab in the background.")
                            : QStringLiteral("バックグラウンドの動画タブでfirefoxとWeb ContentがCPUを使い続け、消費電力が"
                                             "14Wまで上がりました。"));
    demo::DemoApp::Options options;
    options.defaults = {{QStringLiteral("backendEnabled"), true},
                        {QStringLiteral("backendURL"), backend.url().toString()},
                        {QStringLiteral("targetAutoLearn"), false},
                        {QStringLiteral("manualTargetHours"), 2.5},
                        {QStringLiteral("powerExclusions"), QStringList{QStringLiteral("zoom"), QStringLiteral("obs")}}};
    options.machine.capacityPercent = 46;
    options.machine.acOnline = false;
    options.machine.activeBehaviour = QStringLiteral("auto");
    options.machine.loadWatts = 11.5;
    demo::DemoApp app(options);
    if (!launched(app, QStringLiteral("powersaver-busy")))
        return false;
    AppState& state = app.state();
    app.daemon().setAnswer(HelperProtocol::samplePowerMetrics,
                           test::FakeHelperDaemon::Answer::bytes(
                               busyProcesses(app.clock().now()).toJson().value_or(QByteArray())));
    test::waitUntil([&] { return state.backend().deviceID().has_value(); }, 3000);
    for (int reading = 0; reading < 12; ++reading)
        app.readAfter(60);
    state.settings().setManualTargetSetAt(app.clock().now());
    SavingsModel& savings = state.savings();
    savings.recordManualUnthrottle(QStringLiteral("slack"), false, app.clock().now().addDays(-3));
    savings.recordManualUnthrottle(QStringLiteral("slack"), false, app.clock().now());
    test::await(state.strategist().diagnoseAnomaly({}));
    app.readAfter(60);
    const bool written = render(folder, QStringLiteral("powersaver-busy"), app);
    // The month of history is still on its way to the backend; the application must not go
    // while it is, or the sync's end would evaluate on engines already gone.
    test::waitUntil([&] { return state.backendSync().lastSyncAt() && !state.backendSync().syncing(); }, 60000);
    test::spin(200);
    return written;
}

bool manualLevel(const ScreenFolder& folder)
{
    demo::DemoApp::Options options;
    options.defaults = {{QStringLiteral("powerLevelAuto"), false}, {QStringLiteral("manualPowerLevel"), 3}};
    demo::DemoApp app(options);
    return launched(app, QStringLiteral("powersaver-manual")) && render(folder, QStringLiteral("powersaver-manual"), app);
}

} // namespace

bool powerSaverScreens(const ScreenFolder& folder)
{
    bool ok = fresh(folder);
    ok &= busy(folder);
    ok &= manualLevel(folder);
    return ok;
}

} // namespace kestrune
