#include "Platform/Workspace/LogindSleepWatcher.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PrivateBus.h"

#include <QDBusMessage>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

TEST(LogindSleepWatcher, HearsTheSleepAndTheResumeOnlyFromLogind)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    // The application may start before logind has its name (or logind restarts later).
    LogindSleepWatcher watcher(bus.connect("application"));
    ASSERT_TRUE(watcher.isWatching());
    int wakes = 0;
    int sleeps = 0;
    QObject::connect(&watcher, &LogindSleepWatcher::didWake, [&] { ++wakes; });
    QObject::connect(&watcher, &LogindSleepWatcher::willSleep, [&] { ++sleeps; });

    QDBusConnection logind = bus.connect("logind");
    ASSERT_TRUE(logind.registerService(LogindSleepWatcher::service));
    QDBusConnection impostor = bus.connect("impostor");
    spin(100); // the watcher learns who owns the name
    const auto announce = [](QDBusConnection& from, bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(LogindSleepWatcher::path, LogindSleepWatcher::interface,
                                                         QStringLiteral("PrepareForSleep"));
        from.send(signal << start);
    };

    announce(impostor, true);
    announce(logind, true);
    announce(impostor, false);
    announce(logind, false);
    EXPECT_TRUE(waitUntil([&] { return wakes == 1; }));
    spin(100);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(sleeps, 1);
}
