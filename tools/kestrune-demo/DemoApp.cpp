#include "tools/kestrune-demo/DemoApp.h"

#include "Foundation/Epoch.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Shared/ChargingCapabilities.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/Await.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TestAppContext.h"
#include "tools/kestrune-demo/DemoHistory.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTimer>

namespace kestrune::demo {

namespace {

using Status = ServiceManagement::Status;

Status serviceStatusOf(HelperScene scene)
{
    switch (scene) {
    case HelperScene::Connected:
    case HelperScene::Hardware80:
    case HelperScene::Unanswered:
        return Status::Enabled;
    case HelperScene::RequiresApproval:
        return Status::RequiresApproval;
    case HelperScene::NotRegistered:
        return Status::NotRegistered;
    case HelperScene::NotFound:
        return Status::NotFound;
    }
    return Status::Unknown;
}

bool answers(HelperScene scene)
{
    return scene == HelperScene::Connected || scene == HelperScene::Hardware80;
}

QString strategyText(bool english)
{
    return english
        ? QStringLiteral("Evenings drain faster: slow background indexing first and keep the display "
                         "at 70 % after 18:00.")
        : QStringLiteral("夕方は消費が増える傾向です。まずバックグラウンドの索引作成を減速し、18時以降は"
                         "画面輝度を70%に抑えます。");
}

QString lastReportText(bool english)
{
    return english
        ? QStringLiteral("Yesterday evening's session ran 3.4 h and saved about 4.1 Wh (about 27 minutes). "
                         "Slowing dropbox gave the most.")
        : QStringLiteral("昨晩のセッションは3.4時間で約4.1Wh(約27分)を節約しました。dropboxの減速が最も"
                         "効果的でした。");
}

// Writing a month of readings takes seconds; every DemoApp of a process that asks for the same
// history starts from a copy of one written store.
bool copySeededHistory(const QString& path, const DemoHistory::Options& options, QString* error)
{
    static QTemporaryDir written;
    static QHash<QString, QString> stores;
    const QString key = QStringLiteral("%1 %2 %3 %4")
                            .arg(options.end.toMSecsSinceEpoch())
                            .arg(options.days)
                            .arg(options.chargeLimit)
                            .arg(AppLanguage::resolvedCode());
    if (!stores.contains(key)) {
        const QString store = written.filePath(QString::number(stores.size()) + QStringLiteral(".store"));
        if (!written.isValid() || !DemoHistory::seed(store, options, error))
            return false;
        stores.insert(key, store);
    }
    if (QFile::copy(stores.value(key), path))
        return true;
    if (error)
        *error = QStringLiteral("cannot copy the seeded history to %1").arg(path);
    return false;
}

} // namespace

SimTree::Options DemoApp::standardMachine()
{
    SimTree::Options machine;
    machine.capacityPercent = 80;
    machine.acOnline = true;
    machine.activeBehaviour = QStringLiteral("inhibit-charge");
    machine.temperatureTenths = 312;
    return machine;
}

PowerMetricsReport DemoApp::standardReport(const QDateTime& at)
{
    static const std::pair<const char*, double> processes[] = {
        { "firefox", 48.6 },
        { "Web Content", 31.2 },
        { "gnome-shell", 18.4 },
        { "code", 14.9 },
        { "slack", 11.3 },
        { "tracker-miner-fs-3", 9.8 },
        { "Xwayland", 6.1 },
        { "dropbox", 5.4 },
        { "pipewire", 3.9 },
        { "node", 3.2 },
        { "thunderbird", 2.6 },
        { "evolution-data-server", 1.4 },
        { "gsd-power", 0.8 },
        { "systemd-journald", 0.5 },
        { "NetworkManager", 0.3 },
        { "kestrune", 0.2 },
    };
    PowerMetricsReport report;
    report.timestamp = at;
    report.durationSeconds = 3;
    qint64 pid = 1800;
    for (const auto& [name, impact] : processes)
        report.processes.push_back({ pid += 37, QString::fromUtf8(name), impact, impact * 4 });
    return report;
}

DemoApp::DemoApp()
    : DemoApp(Options())
{
}

DemoApp::DemoApp(Options options)
    : m_options(std::move(options))
    , m_clock(m_options.now)
    , m_services(std::make_shared<test::FakeServiceManagement>(serviceStatusOf(m_options.helper)))
{
}

DemoApp::~DemoApp()
{
    // Tasks still running finish while everything they use is alive.
    if (m_state)
        settle(100);
    m_state.reset();
}

QString DemoApp::sysfsRoot() const
{
    return m_folder.filePath(QStringLiteral("sys"));
}

bool DemoApp::launch(QString* error)
{
    QString reason;
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_bus.isRunning())
        return fail(QStringLiteral("cannot start a private D-Bus daemon"));
    if (!m_folder.isValid())
        return fail(QStringLiteral("cannot make a temporary folder"));
    if (!SimTree::create(sysfsRoot(), m_options.machine, &reason))
        return fail(reason);
    if (!m_options.battery && !QDir(SimTree::batteryPath(sysfsRoot(), m_options.machine)).removeRecursively())
        return fail(QStringLiteral("cannot take the battery out of the machine"));
    if (!writeSeeds(&reason))
        return fail(reason);

    m_daemon = std::make_unique<test::FakeHelperDaemon>(m_bus.connect(QStringLiteral("daemon")));
    if (!m_daemon->isRegistered())
        return fail(QStringLiteral("cannot publish the fake daemon"));
    scriptDaemon();

    AppContext context = test::testAppContext(m_folder.path(), m_bus.connect(QStringLiteral("app")), m_clock);
    if (!m_options.historyStore) // a folder that cannot be made: a file lies in its way
        context.historyPath = context.defaultsPath + QStringLiteral("/History.store");
    context.services = m_services;
    if (m_options.loginItem)
        context.loginItem = m_options.loginItem;
    context.updater.feedUrl = m_options.updateFeed;
    // Readings only when asked for (readAfter), as a test wants them.
    context.monitorIntervalSeconds = 3600;
    context.powerSourcePoll = std::nullopt;
    context.helper.registerWait = context.helper.reregisterWait = std::chrono::milliseconds(10);
    context.helper.versionTimeout = context.helper.callTimeout = context.helper.powerMetricsTimeout
        = std::chrono::milliseconds(2000);
    m_state = std::make_unique<AppState>(std::move(context));

    m_state->start();
    // The start-up tasks are posted: a timer posted after them fires after them, once the
    // first connection attempt is under way, so that the wait below has an attempt to wait on.
    bool started = false;
    QTimer::singleShot(0, [&started] { started = true; });
    test::waitUntil([&started] { return started; });
    // The first connection attempt, its evaluation, and the backend's (disabled) start.
    test::await(m_state->helper().waitForInFlightEnsure());
    // The evaluation's calls to the daemon take as long as a loaded machine makes them.
    if (answers(m_options.helper) && !m_daemon->settle(m_bus.connect(QStringLiteral("app"))))
        return fail(QStringLiteral("the application's calls to the fake daemon never ended"));
    settle();
    if (answers(m_options.helper) && !m_state->helper().isConnected())
        return fail(QStringLiteral("the application did not connect to the fake daemon"));
    if (m_options.learned)
        seedLearning();
    return true;
}

bool DemoApp::writeSeeds(QString* error)
{
    if (m_options.historyStore) {
        DemoHistory::Options history;
        history.end = m_options.now;
        history.days = m_options.historyDays;
        if (!copySeededHistory(m_folder.filePath(QStringLiteral("History.store")), history, error))
            return false;
    }

    UserDefaults defaults(m_folder.filePath(QStringLiteral("defaults.json")));
    defaults.set(QStringLiteral("backendEnabled"), false);
    defaults.set(QStringLiteral("onboardingCompleted"), true);
    if (m_options.learned) {
        const bool english = AppLanguage::resolvedCode() == QLatin1String("en");
        defaults.set(QString::fromLatin1(AdaptiveEngine::minutesPerPercentKey), 1.4);
        defaults.set(QString::fromLatin1(AdaptiveEngine::typicalDrainWattsKey), 7.8);
        AIStrategist::Strategy strategy;
        strategy.targetDrainWatts = 6.5;
        strategy.throttleRecommended
            = QStringList { QStringLiteral("tracker-miner-fs-3"), QStringLiteral("dropbox") };
        strategy.throttleAvoid = QStringList { QStringLiteral("code") };
        strategy.brightnessCap = 0.7;
        strategy.reasoning = strategyText(english);
        const QDateTime strategyAt = m_options.now.addSecs(-5 * 3600);
        defaults.set(QStringLiteral("ai.strategyJSON"), strategy.toJson().value_or(QByteArray()));
        defaults.set(QStringLiteral("ai.strategyUpdatedAt"), Epoch::secondsSince1970(strategyAt));
        defaults.set(QStringLiteral("ai.strategyDay"), strategyAt.date().toString(Qt::ISODate));
        defaults.set(QStringLiteral("ai.lastSessionReport"), lastReportText(english));
        defaults.set(QStringLiteral("ai.lastSessionReportAt"),
            Epoch::secondsSince1970(m_options.now.addSecs(-17 * 3600)));
    }
    for (auto it = m_options.defaults.cbegin(); it != m_options.defaults.cend(); ++it)
        defaults.set(it.key(), it.value());
    if (!defaults.synchronize()) {
        if (error)
            *error = defaults.lastWriteError();
        return false;
    }
    return true;
}

void DemoApp::scriptDaemon()
{
    using Answer = test::FakeHelperDaemon::Answer;
    if (!answers(m_options.helper)) {
        m_daemon->releaseName();
        return;
    }
    if (m_options.helper == HelperScene::Hardware80) {
        ChargingCapabilities capabilities;
        capabilities.smcAvailable = true;
        capabilities.hasAppleLimit80 = true;
        capabilities.notes
            = QStringList { QStringLiteral("charge_control_end_threshold accepts 80 and 100 only") };
        m_daemon->setReply(HelperProtocol::probeCapabilities, capabilities.toJson().value_or(QByteArray()));
    }
    m_daemon->setAnswer(HelperProtocol::samplePowerMetrics,
        Answer::bytes(standardReport(m_options.now).toJson().value_or(QByteArray())));
}

void DemoApp::seedLearning()
{
    // Measured the way the power saver measures: several readings per action, folded in.
    SavingsModel& model = m_state->savings();
    const struct {
        QString key;
        double watts;
        int times;
    } measured[] = {
        { QString::fromLatin1(PowerActionKeys::lowPowerMode), 1.7, 6 },
        { QString::fromLatin1(PowerActionKeys::dim70), 1.2, 5 },
        { PowerActionKeys::throttleKey(QStringLiteral("dropbox")), 0.9, 4 },
        { QString::fromLatin1(PowerActionKeys::keyboardOff), 0.4, 3 },
        { QString::fromLatin1(PowerActionKeys::spotlight), 0.3, 2 },
    };
    for (const auto& effect : measured)
        for (int i = 0; i < effect.times; ++i)
            model.recordMeasurement(effect.key, effect.watts + 0.05 * (i % 3 - 1));
    // The user brightened the dimmed display twice this week, and released node once.
    model.recordPenalty(QString::fromLatin1(PowerActionKeys::dim70), 1.0, m_options.now.addDays(-2));
    model.recordPenalty(QString::fromLatin1(PowerActionKeys::dim70), 0.5, m_options.now.addDays(-1));
    model.recordPenalty(PowerActionKeys::throttleKey(QStringLiteral("node")), 1.0, m_options.now.addDays(-4));
}

void DemoApp::measureInsights()
{
    test::await(m_state->refreshInsights());
}

void DemoApp::readAfter(double seconds)
{
    m_clock.advance(seconds);
    m_state->monitor().refresh();
    settle();
}

void DemoApp::settle(int ms)
{
    test::spin(ms);
}

} // namespace kestrune::demo
