#include "Foundation/Epoch.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Storage/ChargingSettings.h"

#include <QMetaProperty>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace kestrune;

namespace {

QStringList settingNames(const ChargingSettings& settings)
{
    QStringList names;
    const QMetaObject* meta = settings.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        names << QString::fromLatin1(meta->property(i).name());
    names.sort();
    return names;
}

class ChargingSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file() const { return dir.filePath("defaults.json"); }
    std::unique_ptr<UserDefaults> defaults = std::make_unique<UserDefaults>(file());

    // What a restarted application finds: the file written, a new store read from it.
    void restart()
    {
        ASSERT_TRUE(defaults->synchronize());
        defaults = std::make_unique<UserDefaults>(file());
    }
};

} // namespace

TEST_F(ChargingSettingsTest, AFreshDomainYieldsTheDefaultsAndStaysEmpty)
{
    for (const char* key : {"scheduleEnabled", "scheduleRules", "sailingEnabled", "sailingWidth"})
        defaults->set(key, true);
    ChargingSettings settings(*defaults);

    const QVariantMap expected{
        {"controlEnabled", true}, {"chargeLimit", 80}, {"resumeDelta", 5}, {"adaptiveEnabled", false},
        {"adaptiveBufferMinutes", 45}, {"notifyOnLimitReached", true}, {"notifyOnFull", true},
        {"notifyHighTemp", true}, {"highTempThreshold", 35.0}, {"notifyHighDrain", true},
        {"notifyMilestones", true}, {"showPercentInMenuBar", true}, {"autopilotEnabled", true},
        {"powerLevelAuto", true}, {"manualPowerLevel", 2}, {"autoDimEnabled", true},
        {"kbBacklightOffEnabled", true}, {"targetAutoLearn", true}, {"manualTargetHours", 5.0},
        {"manualTargetSetAt", QDateTime()}, {"powerExclusions", QStringList()}, {"notifyPowerActions", true},
        {"pauseSpotlightOnBattery", false}, {"pauseTimeMachineOnBattery", false}, {"llmEnabled", true},
        {"llmProvider", "openai"}, {"openAIModel", "gpt-5.6-sol"}, {"claudeModel", "claude-opus-4-8"},
        {"llmSessionReports", true}, {"backendEnabled", true}, {"backendURL", "https://api.kestrune.org"},
    };
    ASSERT_EQ(settingNames(settings), expected.keys());
    for (const QString& name : expected.keys())
        EXPECT_EQ(settings.property(name.toLatin1()), expected.value(name)) << name.toStdString();
    // Reading writes nothing; only the obsolete keys went.
    EXPECT_TRUE(defaults->keys().isEmpty()) << defaults->keys().join(", ").toStdString();
}

TEST_F(ChargingSettingsTest, ValuesSurviveARestartInTheirStorageForms)
{
    const QDateTime setAt = QDateTime(QDate(2026, 2, 14), QTime(18, 30, 15, 250), Qt::UTC);
    {
        ChargingSettings settings(*defaults);
        settings.setChargeLimit(72);
        settings.setAdaptiveEnabled(true);
        settings.setHighTempThreshold(38.5);
        settings.setManualTargetSetAt(setAt);
        settings.setPowerExclusions({"Xcode", "ビデオ編集"});
        settings.setLlmProvider("claude");
    }
    restart();
    ChargingSettings settings(*defaults);
    EXPECT_EQ(settings.chargeLimit(), 72);
    EXPECT_TRUE(settings.adaptiveEnabled());
    EXPECT_EQ(settings.highTempThreshold(), 38.5);
    EXPECT_EQ(settings.manualTargetSetAt(), setAt);
    EXPECT_EQ(settings.powerExclusions(), QStringList({"Xcode", "ビデオ編集"}));
    EXPECT_EQ(settings.llmProvider(), "claude");

    EXPECT_EQ(defaults->object("chargeLimit").typeId(), QMetaType::LongLong);
    EXPECT_EQ(defaults->object("manualTargetSetAt"), QVariant(Epoch::secondsSince1970(setAt)));

    settings.setManualTargetSetAt(QDateTime());
    EXPECT_EQ(defaults->object("manualTargetSetAt"), QVariant(0.0));
}

TEST_F(ChargingSettingsTest, AStoredValueCountsOnlyWhenItsTypeHoldsItExactly)
{
    const QDateTime newYear(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    const QList<std::tuple<const char*, QVariant, QVariant>> cases{
        {"chargeLimit", "90", 80},                             // text is not a number
        {"chargeLimit", true, 80},                             // nor is a switch
        {"chargeLimit", 90, 90},
        {"resumeDelta", 7.0, 7},                               // a whole double is a whole number
        {"adaptiveBufferMinutes", 30.5, 45},                   // a fraction is not
        {"manualPowerLevel", qint64(1) << 40, 2},              // beyond an integer setting
        {"controlEnabled", 0, false},                          // 0 and 1 are switches
        {"notifyOnFull", 2, true},                             // other numbers are not
        {"notifyHighTemp", "false", true},
        {"highTempThreshold", 40, 40.0},                       // an integer is a fine double
        {"manualTargetHours", "6", 5.0},
        {"powerExclusions", QVariantList{"Safari", 3}, QStringList()},
        {"openAIModel", 5, "5"},                               // strings take a number's text
        {"claudeModel", QVariantList{"x"}, "claude-opus-4-8"},
        {"manualTargetSetAt", 0.0, QDateTime()},               // 0 stands for "not set"
        {"manualTargetSetAt", -60.0, QDateTime()},
        {"manualTargetSetAt", "1767225600", QDateTime()},
        {"manualTargetSetAt", 1e300, QDateTime()},
        {"manualTargetSetAt", qint64(1767225600), newYear},
    };
    for (const auto& [key, stored, expected] : cases) {
        defaults->set(key, stored);
        EXPECT_EQ(ChargingSettings(*defaults).property(key), expected) << key << " " << stored.toString().toStdString();
    }

    // The next write replaces what was ignored.
    defaults->set("notifyOnFull", 2);
    ChargingSettings(*defaults).setNotifyMilestones(false);
    EXPECT_EQ(defaults->object("notifyOnFull"), QVariant(true));
}

TEST_F(ChargingSettingsTest, EveryAssignmentWritesAllSettingsButOnlyAChangeNotifies)
{
    ChargingSettings settings(*defaults);
    QList<int> limits;
    QVariant seen;
    QObject::connect(&settings, &ChargingSettings::chargeLimitChanged, [&](int value) {
        limits << value;
        seen = defaults->object("chargeLimit");
    });

    settings.setChargeLimit(80); // the value it already has
    EXPECT_TRUE(limits.isEmpty());
    QStringList written = defaults->keys();
    written.sort();
    EXPECT_EQ(written, settingNames(settings));

    settings.setChargeLimit(85);
    EXPECT_EQ(limits, QList<int>{85});
    EXPECT_EQ(seen, QVariant(qint64(85))) << "observers find the defaults already in agreement";
}

TEST_F(ChargingSettingsTest, TheOldDevelopmentAddressMovesToProductionOnce)
{
    defaults->set("backendURL", "http://localhost:8787");
    EXPECT_EQ(ChargingSettings(*defaults).backendURL(), "https://api.kestrune.org");
    EXPECT_EQ(defaults->object("backendURL"), QVariant("https://api.kestrune.org"));
    EXPECT_EQ(defaults->object("backendURLMigratedToProd"), QVariant(true));
    EXPECT_EQ(defaults->keys().size(), 32);

    // Pointing at a local server again afterwards is the user's choice.
    defaults->set("backendURL", "http://localhost:8787");
    EXPECT_EQ(ChargingSettings(*defaults).backendURL(), "http://localhost:8787");
}

TEST_F(ChargingSettingsTest, TheBackupHoldsTheNineteenSyncedSettingsInTheirTypes)
{
    ChargingSettings settings(*defaults);
    settings.setManualTargetHours(6.5);
    settings.setPowerExclusions({"Docker"});
    const QVariantMap backup = settings.exportBackup();

    EXPECT_EQ(backup.size(), 19);
    for (const QString& key : backup.keys())
        EXPECT_FALSE(key.contains("notify") || key.contains("backend") || key.contains("session")) << key.toStdString();
    EXPECT_EQ(backup.value("charge_limit"), QVariant(80));
    EXPECT_EQ(backup.value("kb_backlight_off"), QVariant(true));
    EXPECT_EQ(backup.value("manual_target_hours"), QVariant(6.5));
    EXPECT_EQ(backup.value("power_exclusions"), QVariant(QStringList{"Docker"}));
}
