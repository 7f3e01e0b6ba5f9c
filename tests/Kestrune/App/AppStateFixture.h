#pragma once

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Battery/BatteryMonitor.h"
#include "Kestrune/Notifications/Notifier.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/FakeNotificationServer.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestAppContext.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace kestrune::test {

// The application core on a simulated machine: a sysfs tree in a folder, the fake daemon and
// a fake notification service on a private bus, a clock moved by hand. The
// battery monitor's timer and change poll are an hour apart, so a reading is taken only when
// the test asks for one (readAfter).
class AppStateFixture : public ::testing::Test {
protected:
    using Status = ServiceManagement::Status;
    static constexpr auto flushTitle = "(flush)";

    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning() && dir.isValid());
        ASSERT_TRUE(notifications.publish());
        setMachine({});
    }

    // Lets the tasks still running finish while everything they use is alive.
    void TearDown() override
    {
        spin(100);
        state.reset();
    }

    // What the application finds in its user defaults at launch.
    void preset(const QVariantMap& values)
    {
        UserDefaults defaults(dir.filePath(QStringLiteral("defaults.json")));
        for (auto it = values.begin(); it != values.end(); ++it)
            defaults.set(it.key(), it.value());
    }

    // `adjust` changes the context further before the state is built.
    AppState& launch(bool withHistory = true, const std::function<void(AppContext&)>& adjust = nullptr)
    {
        AppContext context = testAppContext(dir.path(), bus.connect(QStringLiteral("app")), clock);
        if (!withHistory) // a folder that cannot be made
            context.historyPath = context.defaultsPath + QStringLiteral("/History.store");
        context.calendar = LocalCalendar(QTimeZone::utc());
        context.services = services;
        context.monitorIntervalSeconds = 3600;
        context.powerSourcePoll = std::nullopt;
        context.helper.registerWait = context.helper.reregisterWait = std::chrono::milliseconds(10);
        context.helper.powerMetricsTimeout = std::chrono::milliseconds(500);
        context.backend.healthTimeout = context.backend.registrationTimeout = context.backend.syncTimeout
            = context.backend.modelTimeout = std::chrono::milliseconds(500);
        if (adjust)
            adjust(context);
        state = std::make_unique<AppState>(std::move(context));
        return *state;
    }

    void setMachine(const SimTree::Options& options) { ASSERT_TRUE(SimTree::create(root, options)); }
    // The battery read `seconds` after the clock's last position, handled by the main loop,
    // once the evaluations of the readings before have ended: readings come seconds apart,
    // and one whose evaluation met another still running would have it dropped.
    BatterySnapshot readAfter(double seconds)
    {
        letEvaluationsEnd();
        clock.advance(seconds);
        return state->monitor().refresh().value();
    }

    // The titles of all notifications posted so far, once they and at least `atLeast` in all
    // (some may come from tasks still running) have reached the service. Each call posts a
    // marker of its own and waits for it: notifications reach the service in the order they
    // were posted, so everything posted before the call is counted, an early or extra one
    // included.
    QStringList titles(qsizetype atLeast = 0)
    {
        auto posted = [&] {
            QStringList list;
            for (const FakeNotificationServer::Shown& shown : notifications.shown)
                if (!shown.summary.startsWith(QLatin1String(flushTitle)))
                    list << shown.summary;
            return list;
        };
        waitUntil([&] { return posted().size() >= atLeast; });
        const QString marker = QString::fromLatin1(flushTitle) + QString::number(++flushes);
        state->notifier().notify(marker, marker, {}, 0);
        EXPECT_TRUE(waitUntil([&] {
            return std::any_of(notifications.shown.cbegin(), notifications.shown.cend(),
                [&](const FakeNotificationServer::Shown& shown) { return shown.summary == marker; });
        }));
        return posted();
    }

    // Lets the evaluations under way end, so that the next one is not dropped for meeting one
    // still running.
    void letEvaluationsEnd() { EXPECT_TRUE(daemon.settle(bus.connect(QStringLiteral("app")))); }

    // Waits until the daemon has seen `count` calls of `method`, then until the application's
    // calls have settled, so that a call too many would show.
    int callsOf(const QString& method, int count)
    {
        waitUntil([&] { return daemon.count(method) >= count; }, 10'000);
        letEvaluationsEnd();
        return daemon.count(method);
    }

    PrivateBus bus;
    QTemporaryDir dir;
    QString root = dir.filePath(QStringLiteral("sys"));
    ManualClock clock;
    FakeHelperDaemon daemon{bus.connect(QStringLiteral("daemon"))};
    FakeNotificationServer notifications{bus.connect(QStringLiteral("notifications"))};
    std::shared_ptr<FakeServiceManagement> services = std::make_shared<FakeServiceManagement>(Status::Enabled);
    std::unique_ptr<AppState> state;
    int flushes = 0; // the markers titles() has posted
};

} // namespace kestrune::test
