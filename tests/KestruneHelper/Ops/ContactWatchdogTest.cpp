#include "KestruneHelper/ContactWatchdog.h"
#include "tests/support/ManualClock.h"

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

class ContactWatchdogTest : public ::testing::Test {
protected:
    ManualClock clock;
    QDateTime lastContact = clock.now();
    int actions = 0;
    ContactWatchdog watchdog{300'000, 900'000, clock, [this] { return lastContact; }, [this] { ++actions; }};
};

} // namespace

TEST_F(ContactWatchdogTest, ActsOnlyAfterMoreThanTheSilence)
{
    clock.advance(300);
    watchdog.check();
    clock.advance(600); // exactly 900 s
    watchdog.check();
    EXPECT_EQ(actions, 0);
    clock.advance(0.001);
    watchdog.check();
    EXPECT_EQ(actions, 1);
    // While the silence lasts, every look acts again.
    clock.advance(300);
    watchdog.check();
    EXPECT_EQ(actions, 2);
}

TEST_F(ContactWatchdogTest, AContactRestartsTheSilence)
{
    clock.advance(899);
    lastContact = clock.now();
    clock.advance(301);
    watchdog.check();
    EXPECT_EQ(actions, 0);
    clock.advance(600);
    watchdog.check();
    EXPECT_EQ(actions, 1);
}
