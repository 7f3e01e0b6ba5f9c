#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/DisplayControl.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Program/KestruneApp.h"
#include "Kestrune/Program/QuitSignals.h"
#include "Kestrune/Program/SingleInstance.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/MainWindowView.h"
#include "Kestrune/UI/MenuBar/MenuBarExtra.h"
#include "Kestrune/UI/MenuBar/MenuBarLabel.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/MenuBar/NoTrayWindow.h"
#include "Kestrune/UI/MenuBar/PopoverPlacement.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tests/support/Files.h"

#include <QApplication>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>

namespace kestrune::test {

namespace {

int mainWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<MainWindowView*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

} // namespace

class KestruneAppTest : public AppStateFixture {
protected:
    void TearDown() override
    {
        kestrune.reset();
        AppStateFixture::TearDown();
    }

    KestruneApp& build(bool trayAvailable = false)
    {
        AppState& app = state ? *state : launch();
        kestrune = std::make_unique<KestruneApp>(app, KestruneApp::Options{trayAvailable});
        return *kestrune;
    }

    std::unique_ptr<KestruneApp> kestrune;
};

TEST(StatusItemDefaults, AHiddenItemComesBackAndAFirstRunGetsItsPosition)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.json"));
    const QString visible = KestruneApp::statusItemVisibleKey;
    const QString position = KestruneApp::statusItemPositionKey;

    KestruneApp::repairStatusItemDefaults(defaults);
    EXPECT_EQ(defaults.object(position), QVariant(300.0));
    EXPECT_FALSE(defaults.contains(visible));

    defaults.set(visible, false);
    defaults.set(position, 0);
    KestruneApp::repairStatusItemDefaults(defaults);
    EXPECT_EQ(defaults.object(visible), QVariant(true));
    EXPECT_EQ(defaults.object(position), QVariant(qint64(0)));

    // Stored as true, or as something other than a switch: not written.
    QSignalSpy writes(&defaults, &UserDefaults::changed);
    KestruneApp::repairStatusItemDefaults(defaults);
    defaults.set(visible, QStringLiteral("no"));
    defaults.set(position, QStringLiteral("left"));
    writes.clear();
    KestruneApp::repairStatusItemDefaults(defaults);
    EXPECT_TRUE(writes.isEmpty());
    EXPECT_EQ(defaults.object(visible), QVariant(QStringLiteral("no")));
}

TEST_F(KestruneAppTest, ALoginItemLaunchOpensNoWindowAPlainOneOpensItAfterStarting)
{
    preset({{"backendEnabled", false}});
    KestruneApp& app = build();
    AppState& core = app.state();

    // Without a tray the popover's content is a window, shown also at a login-item launch.
    NoTrayWindow* window = app.menuBar().window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Kestrune");
    app.finishLaunching({"kestrune", LoginItem::launchArgument});
    spin(50);
    EXPECT_TRUE(core.snapshot().has_value()) << "started";
    EXPECT_EQ(core.windowRequestTick(), 0);
    EXPECT_FALSE(app.windows().window("onboarding") || app.windows().window("main"));
    EXPECT_EQ(window->windowTitle(), "Kestrune — 70%");
    EXPECT_FALSE(window->windowIcon().isNull());

    // Launched again: the window comes back and a window request follows. Onboarding first.
    window->close();
    EXPECT_FALSE(window->isVisible());
    app.reopen();
    spin(20);
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(app.windows().window("onboarding"));
    EXPECT_TRUE(app.windows().window("onboarding")->isVisible());

    // Onboarding done, requests bring the main window; several at once make one window.
    core.completeOnboarding();
    app.reopen();
    app.reopen();
    core.routeNotificationTap(QStringLiteral("limit-1"));
    spin(20);
    EXPECT_EQ(mainWindows(), 1);

    // The popover's buttons open their windows through the registry.
    app.windows().window("main")->close();
    spin(20);
    QTest::mouseClick(window->view()->findChild<QPushButton*>("dashboardButton"), Qt::LeftButton);
    ASSERT_TRUE(app.windows().window("main"));
    EXPECT_EQ(mainWindows(), 1);
    core.history()->accrueSavings(0, 5, 0, clock.now());
    core.powerSaver().loadLedgerTotals(clock.now());
    QTest::mouseClick(window->view()->findChild<QAbstractButton*>("shareButton"), Qt::LeftButton);
    ASSERT_TRUE(app.windows().window("share"));
    EXPECT_EQ(app.windows().window("share")->windowTitle(), "実績をシェア");
}

TEST_F(KestruneAppTest, APlainLaunchAsksForTheWindowOnlyOnceStarted)
{
    preset({{"backendEnabled", false}, {"onboardingCompleted", true}});
    KestruneApp& app = build();
    AppState& core = app.state();
    bool startedFirst = false;
    QObject::connect(&core, &AppState::windowRequestTickChanged, [&] { startedFirst = core.snapshot().has_value(); });
    app.finishLaunching({"kestrune"});
    EXPECT_TRUE(startedFirst);
    spin(20);
    ASSERT_TRUE(app.windows().window("main"));
    EXPECT_EQ(app.windows().window("main")->size(), QSize(880, 640));
}

TEST_F(KestruneAppTest, TheTrayItemTogglesThePopoverBesideIt)
{
    preset({{"backendEnabled", false}});
    services->status = Status::Enabled;
    daemon.releaseName();
    KestruneApp& app = build(true);
    MenuBarExtra& extra = app.menuBar();
    ASSERT_TRUE(extra.trayIcon());
    EXPECT_FALSE(extra.window());
    EXPECT_FALSE(extra.trayIcon()->icon().isNull());
    app.finishLaunching({"kestrune", LoginItem::launchArgument});
    EXPECT_EQ(extra.trayIcon()->toolTip(), "70%");

    // Opening the popover is an activation: the helper is looked for again.
    const int attempts = daemon.count(HelperProtocol::getVersion);
    ASSERT_TRUE(daemon.claimName());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    extra.togglePopover(QRect(screen.right() - 30, screen.top() + 2, 24, 24));
    MenuBarView* popover = extra.popover();
    ASSERT_TRUE(popover && popover->isVisible() && popover->window()->windowType() == Qt::Popup);
    EXPECT_EQ(popover->width(), MenuBarView::fixedWidth);
    EXPECT_TRUE(screen.contains(popover->window()->geometry()));
    EXPECT_TRUE(waitUntil([&] { return app.state().helper().isConnected(); }));
    EXPECT_GT(daemon.count(HelperProtocol::getVersion), attempts);
    extra.togglePopover(QRect());
    EXPECT_FALSE(popover->isVisible());

    // Above a bottom panel the popover keeps standing on it as it grows and shrinks.
    extra.togglePopover(QRect(screen.left() + 10, screen.bottom() - 20, 24, 24));
    QWidget* frame = popover->window();
    const int standsAt = frame->geometry().bottom();
    EXPECT_EQ(standsAt, screen.bottom() - 20 - PopoverPlacement::gap - 1);
    const int height = frame->height();
    // A row of the test's own, which nothing in the application shows or hides meanwhile.
    auto* row = new QWidget(popover);
    row->setFixedHeight(40);
    row->hide();
    popover->layout()->addWidget(row);
    for (const bool shown : { true, false }) {
        row->setVisible(shown);
        EXPECT_TRUE(waitUntil([&] { return (frame->height() != height) == shown; }));
        EXPECT_EQ(frame->geometry().bottom(), standsAt) << shown;
    }

    // The popover steps aside for the window it opens.
    QTest::mouseClick(popover->findChild<QPushButton*>("dashboardButton"), Qt::LeftButton);
    EXPECT_FALSE(popover->isVisible());
    EXPECT_TRUE(app.windows().window("main"));
}

TEST_F(KestruneAppTest, QuittingByTheFooterOrBySignalGivesEverythingBack)
{
    preset({{"backendEnabled", false}});
    // The reset at quit waits for the daemon's answers on this thread: the daemon answers
    // from one of its own.
    QThread daemonThread;
    daemonThread.start();
    daemon.moveToThread(&daemonThread);
    auto bringDaemonBack = qScopeGuard([&] {
        QThread* main = QThread::currentThread();
        QMetaObject::invokeMethod(&daemon, [&] { daemon.moveToThread(main); }, Qt::BlockingQueuedConnection);
        daemonThread.quit();
        daemonThread.wait();
    });

    KestruneApp& app = build();
    app.finishLaunching({"kestrune", LoginItem::launchArgument});
    ASSERT_TRUE(waitUntil([&] { return app.state().helper().isConnected(); }));
    const QString backlight = root + "/class/backlight/intel_backlight/brightness";
    const QString keyboard = root + "/class/leds/kestrune::kbd_backlight/brightness";
    const QString userBrightness = readTrimmed(backlight);
    const QString userKeyboard = readTrimmed(keyboard);
    auto dimEverything = [&] {
        DisplayControl& display = app.state().displayControl();
        ASSERT_TRUE(display.applyBrightnessCap(0.5f));
        display.turnOffKeyboardBacklight();
        ASSERT_NE(readTrimmed(backlight), userBrightness);
        ASSERT_EQ(readTrimmed(keyboard), "0");
        spin(100);
        daemon.clearCalls();
    };
    auto expectAllGivenBack = [&] {
        EXPECT_EQ(daemon.methods(), (QStringList{HelperProtocol::resetChargingDefaults,
                                                 HelperProtocol::restoreAllPowerSaving}));
        EXPECT_EQ(readTrimmed(backlight), userBrightness);
        EXPECT_EQ(readTrimmed(keyboard), userKeyboard);
    };

    // "終了" in the popover's footer.
    dimEverything();
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(app.menuBar().window()->view()->findChild<QPushButton*>("quitButton"), Qt::LeftButton);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    expectAllGivenBack();

    // SIGTERM, as at logout or from kill; a second would end the program at once.
    dimEverything();
    QuitSignals signals_;
    ASSERT_TRUE(signals_.isInstalled());
    QObject::connect(&signals_, &QuitSignals::received, qApp, &QCoreApplication::quit);
    QSignalSpy received(&signals_, &QuitSignals::received);
    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(received.size(), 1);
    EXPECT_EQ(received.first().first().toInt(), SIGTERM);
    expectAllGivenBack();
}

TEST(SingleInstance, ASecondInstanceActivatesTheFirstAndTheNameIsFreeAfterRelease)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    SingleInstance first(bus.connect("first"));
    ASSERT_EQ(first.claim(), SingleInstance::Claim::Owned);
    // The first answers from a thread of its own, as another process would.
    QThread firstThread;
    first.moveToThread(&firstThread);
    firstThread.start();
    std::atomic<int> activations{0};
    QObject::connect(&first, &SingleInstance::activated, &first, [&] { ++activations; }, Qt::DirectConnection);

    SingleInstance second(bus.connect("second"));
    EXPECT_EQ(second.claim(), SingleInstance::Claim::OtherActivated);
    EXPECT_EQ(activations, 1);
    SingleInstance third(bus.connect("third"));
    EXPECT_EQ(third.claim(), SingleInstance::Claim::OtherActivated);
    EXPECT_EQ(activations, 2);

    QMetaObject::invokeMethod(&first, [&] { first.release(); }, Qt::BlockingQueuedConnection);
    EXPECT_EQ(third.claim(), SingleInstance::Claim::Owned);
    firstThread.quit();
    firstThread.wait();

    SingleInstance alone(QDBusConnection(QStringLiteral("no-such-bus")));
    EXPECT_EQ(alone.claim(), SingleInstance::Claim::NoBus);
}

} // namespace kestrune::test
