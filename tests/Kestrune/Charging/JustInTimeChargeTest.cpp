#include "Kestrune/Storage/HistoryStore.h"
#include "tests/Kestrune/Charging/ChargeControllerFixture.h"

#include <QLocale>

namespace kestrune::test {

namespace {

// The user unplugs at 18:00 on Mondays, and today is a Monday. With 1.3 min/% and a 45 min
// margin, charging from 60 % must start at 18:00 - (52 + 45) min = 16:23.
class JustInTimeChargeTest : public ChargeControllerTest {
protected:
    static QDateTime at(int hour, int minute) { return QDateTime(QDate(2026, 3, 2), QTime(hour, minute), berlin); }

    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ChargeControllerTest::SetUp();
        store = HistoryStore::open(dir.filePath(QStringLiteral("History.store")));
        ASSERT_TRUE(store);
        for (int weeks : {1, 2, 3}) {
            PlugEventRecord unplug(at(18, 0).addDays(-7 * weeks), false, 100);
            ASSERT_TRUE(store->save(unplug));
        }
        controller.reset();
        adaptive = std::make_unique<AdaptiveEngine>(store.get(), *defaults, LocalCalendar(berlin));
        adaptive->refreshPrediction(at(16, 0));
        ASSERT_EQ(adaptive->jitChargeStartDate(60, 45), at(16, 23));
        makeController();
        settings->setAdaptiveEnabled(true);
        connect();
    }

    void TearDown() override
    {
        ChargeControllerTest::TearDown();
        adaptive.reset();
        QLocale::setDefault(QLocale::system());
    }

    std::unique_ptr<HistoryStore> store;
    const QString towardsSix = QStringLiteral("AI充電: 18:00の取り外しに向けて満充電中 — 充電中");
};

} // namespace

TEST_F(JustInTimeChargeTest, ChargesToFullFromTheStartUntilTheUnplug)
{
    passAt(at(16, 22), 60, true);
    EXPECT_EQ(controller->effectiveLimit(), 80);
    EXPECT_FALSE(controller->jitActive());

    passAt(at(16, 23), 60, true);
    EXPECT_EQ(controller->effectiveLimit(), 100);
    EXPECT_TRUE(controller->jitActive());
    EXPECT_EQ(controller->statusText(), towardsSix);

    // At 85 % the start would be 16:55:30 by now; the latch carries the charge to its target.
    passAt(at(16, 40), 85, true);
    passAt(at(17, 59), 99, true);
    EXPECT_EQ(controller->effectiveLimit(), 100);
    EXPECT_FALSE(controller->isHolding());

    passAt(at(18, 0), 99, false);
    EXPECT_FALSE(controller->jitActive());
    EXPECT_EQ(controller->statusText(), QStringLiteral("上限 80% — 充電停止中(99%)"));

    // A user limit of 100 keeps the just-in-time text; the full-charge request takes its own.
    settings->setChargeLimit(100);
    passAt(at(16, 23).addDays(7), 60, true);
    EXPECT_EQ(controller->statusText(), QStringLiteral("上限 100% — 充電中")); // the old prediction
    adaptive->refreshPrediction(at(16, 0).addDays(7));
    passAt(at(16, 24).addDays(7), 60, true);
    EXPECT_EQ(controller->statusText(), towardsSix);
    controller->setTopUpActive(true);
    passAt(at(16, 25).addDays(7), 60, true);
    EXPECT_EQ(controller->statusText(), QStringLiteral("満充電モード — 充電中"));
    EXPECT_TRUE(controller->jitActive());
}

TEST_F(JustInTimeChargeTest, AdaptiveOffAndBatteryDropTheLatchButLowChargeKeepsIt)
{
    passAt(at(16, 23), 60, true);
    passAt(at(16, 30), 15, true); // the override computes no limit
    passAt(at(16, 40), 85, true);
    EXPECT_TRUE(controller->jitActive());

    settings->setAdaptiveEnabled(false);
    passAt(at(16, 41), 85, true);
    EXPECT_EQ(controller->effectiveLimit(), 80);
    settings->setAdaptiveEnabled(true);
    passAt(at(16, 42), 85, true);
    EXPECT_FALSE(controller->jitActive());

    passAt(at(16, 56), 85, true);
    passAt(at(16, 57), 95, false, false);
    EXPECT_FALSE(controller->jitActive());
    passAt(at(16, 58), 95, true); // the start for 95 % is 17:08:30
    EXPECT_FALSE(controller->jitActive());
}

} // namespace kestrune::test
