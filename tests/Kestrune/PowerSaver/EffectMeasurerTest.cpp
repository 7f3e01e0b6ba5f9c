#include "Kestrune/PowerSaver/EffectMeasurer.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestrune;

namespace {

struct Result {
    QString key;
    double deltaW;
    bool valid;

    bool operator==(const Result&) const = default;
};

void PrintTo(const Result& r, std::ostream* os)
{
    *os << '(' << r.key.toStdString() << ", " << r.deltaW << ", " << r.valid << ')';
}

class EffectMeasurerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        measurer.onResult = [this](const QString& key, double deltaW, bool valid) { results.append({key, deltaW, valid}); };
    }
    // Seconds from the action's start.
    QDateTime at(double seconds) const { return start.addMSecs(qint64(seconds * 1000)); }
    void reading(double seconds, double watts) { measurer.noteSnapshot(watts, at(seconds)); }

    const QDateTime start{QDate(2026, 3, 2), QTime(9, 0), Qt::UTC};
    EffectMeasurer measurer;
    QList<Result> results;
};

} // namespace

TEST_F(EffectMeasurerTest, ComparesTheMinuteAndAHalfBeforeWithTheWindowAfter)
{
    reading(-90, 8); // exactly 90 s before counts for the baseline
    reading(-30, 8);
    reading(-90.001, 100);
    measurer.begin("lpm", at(0));
    ASSERT_EQ(measurer.pendings.size(), 1);
    EXPECT_EQ(measurer.pendings.first().baselineW, 8);

    reading(90, 1);    // exactly 90 s after is not in the window
    reading(120, 6);
    EXPECT_TRUE(results.isEmpty());
    reading(300, 6);   // 300 s is
    EXPECT_EQ(results, (QList<Result>{{"lpm", 2.0, true}}));
    EXPECT_TRUE(measurer.pendings.isEmpty());
}

TEST_F(EffectMeasurerTest, ASecondActionSpoilsTheFirstAndOneWithoutABaselineIsNeverMeasured)
{
    reading(-60, 8);
    reading(-30, 8);
    measurer.begin("dim70", at(0));
    reading(60, 8);
    measurer.begin("kbOff", at(160)); // the only reading before it is 100 s old
    EXPECT_EQ(measurer.pendings.size(), 1);
    reading(120, 6);
    reading(150, 6);
    EXPECT_EQ(results, (QList<Result>{{"dim70", 2.0, false}}));
    EXPECT_TRUE(measurer.pendings.isEmpty());

    // A second begin of the same key keeps the first, now spoiled.
    reading(200, 6);
    measurer.begin("lpm", at(210));
    measurer.begin("lpm", at(220));
    ASSERT_EQ(measurer.pendings.size(), 2);
    EXPECT_TRUE(measurer.pendings.first().invalid);
    EXPECT_FALSE(measurer.pendings.last().invalid);
}

TEST_F(EffectMeasurerTest, GivesUpAfterSixMinutesAndClampsWhatItReports)
{
    reading(-30, 5);
    measurer.begin("throttle:a", at(0));
    reading(120, 5);
    reading(360, 5); // too late for the window, not yet past the give-up age
    EXPECT_TRUE(results.isEmpty());
    reading(360.001, 5);
    EXPECT_EQ(results, (QList<Result>{{"throttle:a", 0, false}}));

    results.clear();
    measurer.clear();
    reading(400, 5);
    measurer.begin("dim50", at(420));
    reading(520, 25);
    reading(530, 25);
    EXPECT_EQ(results, (QList<Result>{{"dim50", -3, true}}));
    reading(560, 30);
    measurer.begin("lpm", at(570)); // baseline 26.7 W, from the readings at 520, 530 and 560
    const qsizetype kept = measurer.drains.size();
    reading(670, 0.05);
    measurer.noteSnapshot(std::numeric_limits<double>::quiet_NaN(), at(675));
    EXPECT_EQ(measurer.drains.size(), kept) << "ignored readings are not kept";
    reading(680, 5);
    reading(690, 5);
    EXPECT_EQ(results.last(), (Result{"lpm", 15, true}));

    reading(1001, 5);
    EXPECT_EQ(measurer.drains.first().date, at(520)) << "readings more than 600 s old are dropped";
}

TEST_F(EffectMeasurerTest, AHandlerMayStartTheNextMeasurement)
{
    measurer.onResult = [this](const QString& key, double, bool) {
        if (key == QLatin1String("lpm"))
            measurer.begin("kbOff", at(150));
    };
    reading(-30, 8);
    measurer.begin("lpm", at(0));
    reading(120, 7);
    reading(150, 7);
    ASSERT_EQ(measurer.pendings.size(), 1);
    EXPECT_EQ(measurer.pendings.first().key, QStringLiteral("kbOff"));

    measurer.clear();
    EXPECT_TRUE(measurer.drains.isEmpty());
    EXPECT_TRUE(measurer.pendings.isEmpty());
}
