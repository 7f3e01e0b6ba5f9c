#include "tools/kestrune-screens/TrayScreens.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/MenuBar/MenuBarLabel.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Platform/ServiceManagement/BusServiceManagement.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TestAppContext.h"
#include "tools/kestrune-screens/ScreenMachine.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <memory>

namespace kestrune {

namespace {

// The application core as the program builds it, over the machine's tree and bus. With
// `installed` false the daemon's program is nowhere to be found.
std::unique_ptr<AppState> launch(ScreenMachine& machine, bool installed)
{
    const QDir dir(machine.folder());
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.json")));
    defaults.set(QStringLiteral("backendEnabled"), false);
    defaults.set(QStringLiteral("onboardingCompleted"), true);
    // A day's target the battery cannot meet under load, so that the autopilot works hard.
    defaults.set(QStringLiteral("targetAutoLearn"), false);
    defaults.set(QStringLiteral("manualTargetHours"), 6.0);
    // Today's strategy from the backend, for its mark.
    defaults.set(QStringLiteral("ai.strategyJSON"), QByteArray(R"({"reasoning":"screens"})"));
    defaults.set(QStringLiteral("ai.strategyUpdatedAt"), double(QDateTime::currentSecsSinceEpoch()));
    defaults.synchronize();

    AppContext context = test::testAppContext(machine.folder(), machine.bus(), Clock::system());
    BusServiceManagement::Options services
        = test::HelperDaemonProcess::serviceOptions(dir.filePath(QStringLiteral("services")));
    if (!installed)
        services.program = dir.filePath(QStringLiteral("not-installed/kestrune-helper"));
    context.services = std::make_shared<BusServiceManagement>(context.helperBus, services);
    // Readings only when the screens ask for them.
    context.monitorIntervalSeconds = 3600;
    context.powerSourcePoll = std::nullopt;
    return std::make_unique<AppState>(std::move(context));
}

// The tray icon as panels show it, drawn as a tray asks for it: on a dark and on a light
// panel, at the sizes trays ask for.
QByteArray labelPicture(const MenuBarLabel& label)
{
    const qreal ratio = 2.0;
    const int spacing = 12;
    const int sides[] = {22, 32, 48};
    const int width = spacing * 4 + 22 + 32 + 48;
    const int rowHeight = 48 + spacing;
    QImage image(QSize(width, rowHeight * 2) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    const QColor panels[] = {QColor(0x20, 0x22, 0x26), QColor(0xee, 0xef, 0xf1)};
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(QRect(0, row * rowHeight, width, rowHeight), panels[row]);
        int x = spacing;
        for (const int side : sides) {
            const int y = row * rowHeight + (rowHeight - side) / 2;
            painter.drawPixmap(x, y, label.icon().pixmap(QSize(side, side), ratio));
            x += side + spacing;
        }
    }
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

bool writeState(const ScreenFolder& folder, const QString& name, AppState& state)
{
    MenuBarLabel label(state, [](const QString&) {});
    MenuBarView popover(state, [](const QString&) {});
    return folder.write(name + QStringLiteral("-label"), labelPicture(label))
        & folder.write(name + QStringLiteral("-popover"), popover);
}

// Takes a reading and lets the evaluation it starts finish.
void readAndSettle(AppState& state)
{
    state.monitor().refresh();
    test::spin(300);
}

bool failed(const char* what)
{
    QTextStream(stderr) << "kestrune-screens: " << what << Qt::endl;
    return false;
}

} // namespace

bool trayScreens(const ScreenFolder& folder)
{
    ScreenMachine machine;
    if (!machine.setUp(80))
        return false;
    bool ok = true;
    {
        std::unique_ptr<AppState> state = launch(machine, true);
        state->start();

        // Holding at the limit on AC: the controller has stopped the charge, and the battery
        // model shows the adapter feeding the machine alone.
        if (!test::waitUntil([&] { return state->controller().isHolding(); }, 10000))
            return failed("the controller does not hold the charge at the limit");
        machine.step(60);
        readAndSettle(*state);
        if (HistoryStore* history = state->history())
            history->accrueSavings(4.1, 23.4, 3, state->clock().now());
        state->powerSaver().loadLedgerTotals(state->clock().now());
        ok &= writeState(folder, QStringLiteral("tray-1-holding"), *state);

        // Unplugged under a heavy load: the autopilot escalates and samples the processes.
        BatteryModel::setAdapterOnline(machine.root(), false);
        BatteryModel::setLoad(machine.root(), 24);
        machine.step(60);
        readAndSettle(*state);
        if (!test::waitUntil([&] {
                return state->powerSaver().level() >= 2 && !state->tracker().latestProcesses().isEmpty();
            }, 10000))
            return failed("the autopilot does not take up the load");
        machine.step(60);
        readAndSettle(*state);
        ok &= writeState(folder, QStringLiteral("tray-2-battery"), *state);
        state->helper().synchronousResetChargingDefaults();
    }

    // Back on AC, on a machine where the helper is not installed.
    machine.stopDaemon();
    BatteryModel::setAdapterOnline(machine.root(), true);
    BatteryModel::setLoad(machine.root(), BatteryModel::defaultLoadWatts);
    machine.step(600);
    std::unique_ptr<AppState> state = launch(machine, false);
    state->start();
    if (!test::waitUntil([&] { return state->helper().status() == HelperClient::Status::NotFound; }, 10000))
        return failed("the helper's absence is not noticed");
    readAndSettle(*state);
    ok &= writeState(folder, QStringLiteral("tray-3-no-helper"), *state);
    return ok;
}

} // namespace kestrune
