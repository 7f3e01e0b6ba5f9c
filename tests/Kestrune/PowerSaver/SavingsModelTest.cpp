#include "Kestrune/PowerSaver/SavingsModel.h"

#include "Foundation/Epoch.h"
#include "Foundation/UserDefaults.h"
#include "tests/support/ManualClock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace kestrune;

namespace {

constexpr qint64 day = 86400;

class SavingsModelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::ManualClock clock;
    std::unique_ptr<UserDefaults> defaults = std::make_unique<UserDefaults>(dir.filePath("defaults.json"));

    QDateTime daysAgo(qint64 days) const { return clock.now().addSecs(-days * day); }

    // The defaults written to disk and read back, as after a restart.
    UserDefaults& restartedDefaults()
    {
        EXPECT_TRUE(defaults->synchronize());
        defaults = std::make_unique<UserDefaults>(dir.filePath("defaults.json"));
        return *defaults;
    }
};

} // namespace

TEST_F(SavingsModelTest, MeasurementsAreAveragedAndBlendedWithTheirPrior)
{
    SavingsModel model(*defaults, clock);
    EXPECT_EQ(model.blendedSavings("dim50"), (SavingsModel::Blend{1.5, 0.15, false}));
    EXPECT_EQ(model.blendedSavings("dim49").watts, 0.5);
    EXPECT_EQ(model.blendedSavings("throttle:x").watts, 1.0);
    EXPECT_EQ(model.blendedSavings("throttle:x", 0.7).watts, 0.7);

    model.recordMeasurement("throttle:x", 2.0);
    const auto once = model.blendedSavings("throttle:x");
    EXPECT_DOUBLE_EQ(once.watts, 1.0 * 0.8 + 2.0 * 0.2);
    EXPECT_DOUBLE_EQ(once.confidence, 0.2);
    EXPECT_TRUE(once.measured);
    for (int i = 0; i < 4; ++i)
        model.recordMeasurement("throttle:x", 2.0);
    EXPECT_EQ(model.blendedSavings("throttle:x", 9.0), (SavingsModel::Blend{2.0, 1.0, true}));

    model.recordMeasurement("lpm", 1.0);
    clock.advance(60);
    model.recordMeasurement("lpm", 2.0);
    EXPECT_DOUBLE_EQ(model.effects().value("lpm").deltaW, 1.3);
    EXPECT_EQ(model.effects().value("lpm").samples, 2);
    // A broken reading is dropped rather than poisoning the average and its storage.
    model.recordMeasurement("lpm", std::nan(""));
    EXPECT_DOUBLE_EQ(model.effects().value("lpm").deltaW, 1.3);
    EXPECT_EQ(model.learnedEffectList().front().key, QStringLiteral("throttle:x"));
}

TEST_F(SavingsModelTest, PenaltiesFadeOverThirtyDaysAndArePrunedWhenOneIsRecorded)
{
    SavingsModel model(*defaults, clock);
    const QDateTime now = clock.now();
    model.recordPenalty("dim50", 1.0, now);
    EXPECT_DOUBLE_EQ(model.penaltyScore("dim50", now), 1.0);
    EXPECT_DOUBLE_EQ(model.penaltyScore("dim50", now.addSecs(15 * day)), 0.5);
    EXPECT_DOUBLE_EQ(model.penaltyScore("dim50", now.addSecs(30 * day)), 0.0);
    EXPECT_DOUBLE_EQ(model.penaltyScore("dim50", now.addSecs(45 * day)), 0.0);

    model.recordPenalty("kbOff", 0.5, now);
    EXPECT_EQ(model.dislikedActions(0.8, now).size(), 1u);
    model.recordPenalty("kbOff", 0.5, now);
    model.recordPenalty("kbOff", 0.5, now);
    const auto disliked = model.dislikedActions(0.8, now);
    ASSERT_EQ(disliked.size(), 2u);
    EXPECT_EQ(disliked[0], (SavingsModel::KeyScore{"kbOff", 1.5}));

    // Reading does not prune; the next recording drops what is 30 days old, and empty keys.
    EXPECT_EQ(model.penalties().size(), 2);
    model.recordPenalty("lpm", 1.0, now.addSecs(30 * day));
    EXPECT_EQ(model.penalties().keys(), QStringList{"lpm"});
}

TEST_F(SavingsModelTest, SecondRescueWithinFourteenDaysSuggestsOnce)
{
    SavingsModel model(*defaults, clock);
    EXPECT_EQ(model.recordManualUnthrottle("Slack", false, daysAgo(15)), std::nullopt);
    EXPECT_EQ(model.recordManualUnthrottle("Slack", false, clock.now()), std::nullopt); // 15 days apart
    clock.advance(3 * day);
    EXPECT_EQ(model.recordManualUnthrottle("Slack", false, clock.now()), QStringLiteral("Slack"));
    EXPECT_EQ(model.recordManualUnthrottle("Slack", false, clock.now()), std::nullopt); // already suggested
    EXPECT_EQ(model.exclusionSuggestions(), QStringList{"Slack"});

    // Rescue dates 30 days old are forgotten at the next rescue.
    clock.advance(30 * day);
    model.recordManualUnthrottle("Slack", false, clock.now());
    EXPECT_EQ(model.manualUnthrottleDates().value("Slack"), QList<QDateTime>{clock.now()});

    // Accepted: the name may come back. Dismissed: never again, also after a restart.
    model.resolveSuggestion("Slack", false);
    EXPECT_EQ(model.recordManualUnthrottle("Slack", false, clock.now()), QStringLiteral("Slack"));
    model.resolveSuggestion("Slack", true);
    EXPECT_TRUE(model.exclusionSuggestions().isEmpty());
    EXPECT_EQ(model.recordManualUnthrottle("Slack", false, clock.now()), std::nullopt);
    model.recordManualUnthrottle("Zoom", true, clock.now());
    EXPECT_EQ(model.recordManualUnthrottle("Zoom", true, clock.now()), std::nullopt);

    SavingsModel restarted(restartedDefaults(), clock);
    EXPECT_EQ(restarted.recordManualUnthrottle("Slack", false, clock.now()), std::nullopt);
}

TEST_F(SavingsModelTest, StateSurvivesARestartAndUnreadableSectionsStartEmpty)
{
    {
        SavingsModel model(*defaults, clock);
        model.recordMeasurement("dim70", 0.9);
        model.recordPenalty("lpm", 0.5, daysAgo(2));
        model.recordManualUnthrottle("Xcode", false, daysAgo(1));
        model.recordManualUnthrottle("Xcode", false, clock.now());
    }
    const QJsonObject stored = QJsonDocument::fromJson(defaults->data("savings.effects").value_or(QByteArray())).object();
    EXPECT_DOUBLE_EQ(stored["dim70"]["updatedAt"].toDouble(), Epoch::secondsSince2001(clock.now()));

    SavingsModel model(restartedDefaults(), clock);
    EXPECT_EQ(model.effects().value("dim70"), (LearnedEffect{0.9, 1, clock.now()}));
    EXPECT_EQ(model.penalties().value("lpm"), QList<PenaltyEvent>{(PenaltyEvent{daysAgo(2), 0.5})});
    EXPECT_EQ(model.manualUnthrottleDates().value("Xcode").size(), 2);
    EXPECT_EQ(model.exclusionSuggestions(), QStringList{"Xcode"});

    defaults->set("savings.effects", QByteArray(R"({"lpm":{"deltaW":1,"updatedAt":0}})")); // no samples
    defaults->set("savings.penalties", QByteArray("not json"));
    defaults->set("savings.suggestions", QVariantList{"Mail", 3});
    SavingsModel damaged(*defaults, clock);
    EXPECT_TRUE(damaged.effects().isEmpty());
    EXPECT_TRUE(damaged.penalties().isEmpty());
    EXPECT_TRUE(damaged.exclusionSuggestions().isEmpty());
    EXPECT_EQ(damaged.manualUnthrottleDates(), model.manualUnthrottleDates());
}

TEST_F(SavingsModelTest, BackupRoundTripUsesSecondsSince1970)
{
    SavingsModel source(*defaults, clock);
    source.recordMeasurement("dim50", 1.2);
    source.recordPenalty("kbOff", 1.0, daysAgo(3));
    for (const char* app : {"Slack", "Slack", "Zoom", "Zoom"})
        source.recordManualUnthrottle(app, false, clock.now());
    source.resolveSuggestion("Zoom", true);

    const QJsonObject backup = source.exportBackup();
    EXPECT_DOUBLE_EQ(backup["effects"]["dim50"]["updatedAt"].toDouble(), Epoch::secondsSince1970(clock.now()));
    EXPECT_DOUBLE_EQ(backup["penalties"]["kbOff"][0]["date"].toDouble(), Epoch::secondsSince1970(daysAgo(3)));
    EXPECT_DOUBLE_EQ(backup["manual_unthrottles"]["Slack"][0].toDouble(), Epoch::secondsSince1970(clock.now()));
    EXPECT_EQ(backup["exclusion_suggestions"].toArray(), QJsonArray{"Slack"});
    EXPECT_EQ(backup["dismissed_suggestions"].toArray(), QJsonArray{"Zoom"});

    // Another installation, through JSON text as the backend carries it.
    QTemporaryDir otherDir;
    UserDefaults otherDefaults(otherDir.filePath("defaults.json"));
    SavingsModel target(otherDefaults, clock);
    target.importBackup(QJsonDocument::fromJson(QJsonDocument(backup).toJson()).object());
    EXPECT_EQ(target.effects(), source.effects());
    EXPECT_EQ(target.penalties(), source.penalties());
    EXPECT_EQ(target.manualUnthrottleDates(), source.manualUnthrottleDates());
    EXPECT_EQ(target.exportBackup(), backup);
    EXPECT_EQ(otherDefaults.stringArray("savings.dismissedSuggestions"), QStringList{"Zoom"}); // saved

    // Only well-formed sections replace; the rest, and unknown keys, are left alone.
    const double t = Epoch::secondsSince1970(clock.now());
    target.importBackup({
        {"effects", QJsonObject{{"dim50", QJsonObject{{"deltaW", -3.0}, {"samples", 5}, {"updatedAt", t}}},
                                {"kbOff", QJsonObject{{"deltaW", 2.0}, {"samples", 0}, {"updatedAt", t}}}}},
        {"penalties", QJsonArray{}},
        {"exclusion_suggestions", QJsonArray{"Mail", 4}},
        {"impact_ema", QJsonObject{{"Safari", 120}}},
    });
    EXPECT_EQ(target.effects().keys(), (QStringList{"dim50", "kbOff"}));
    EXPECT_EQ(target.penalties(), source.penalties());
    EXPECT_EQ(target.exclusionSuggestions(), QStringList{"Slack"});
    EXPECT_EQ(target.blendedSavings("dim50").watts, 0.0); // a negative blend gives nothing
    EXPECT_FALSE(target.blendedSavings("kbOff").measured); // zero samples is unmeasured
    target.importBackup({{"effects", QJsonObject{{"lpm", QJsonObject{{"deltaW", 1.0}, {"updatedAt", t}}}}}});
    EXPECT_EQ(target.effects().keys(), (QStringList{"dim50", "kbOff"}));
}
