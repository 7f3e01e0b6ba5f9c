#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Platform/Symbols/SystemColors.h"
#include "tests/Kestrune/UI/PowerSaver/PowerSaverViewFixture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>

#include <limits>

namespace kestrune::test {

TEST(PowerSaverView, HoursAreCutTowardZeroAndNonsenseReadsAsADash)
{
    EXPECT_EQ(PowerSaverView::hoursText(0.999), QStringLiteral("59分"));
    EXPECT_EQ(PowerSaverView::hoursText(1.0), QStringLiteral("1時間0分"));
    EXPECT_EQ(PowerSaverView::hoursText(2.25), QStringLiteral("2時間15分"));
    EXPECT_EQ(PowerSaverView::hoursText(1.999), QStringLiteral("1時間59分"));
    EXPECT_EQ(PowerSaverView::hoursText(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("-"));
    EXPECT_EQ(PowerSaverView::hoursText(std::numeric_limits<double>::infinity()), QStringLiteral("-"));
}

TEST_F(PowerSaverViewFixture, StatusShowsTheEnginesFiguresUnderTheirConditions)
{
    open();

    // Less than half a minute is no achievement yet.
    access->setToday(3.14, 0.4);
    EXPECT_EQ(text("todaySavings"), QStringLiteral("まだ実績がありません"));
    EXPECT_LT(colorOf(find("todaySavings")).alphaF(), 0.8) << "secondary";
    access->setToday(3.14, 12.4);
    EXPECT_EQ(text("todaySavings"), QStringLiteral("+12分延命(推定・3.1Wh)"));
    EXPECT_EQ(colorOf(find("todaySavings")), SystemColors::green());

    // A deficit shows only above a tenth of a watt.
    access->setExpectedSavingsW(0.5);
    access->setDeficitW(0.1);
    EXPECT_FALSE(shown("deficitRow"));
    access->setDeficitW(0.11);
    EXPECT_TRUE(shown("deficitRow"));
    EXPECT_EQ(text("deficit"), QStringLiteral("0.1W(選択済み 0.5W)"));

    // The target: the engine's hours, else the learning note while learning, else nothing.
    access->setEstimates(3.5, 2.25);
    EXPECT_EQ(text("runtime"), QStringLiteral("3時間30分"));
    EXPECT_EQ(text("target"), QStringLiteral("2時間15分"));
    access->setEstimates(std::nullopt, std::nullopt);
    EXPECT_FALSE(shown("runtimeRow"));
    EXPECT_TRUE(shown("targetRow"));
    EXPECT_EQ(text("target"), QStringLiteral("学習中(セッション履歴が3件以上必要)"));
    state->settings().setTargetAutoLearn(false);
    EXPECT_FALSE(shown("targetRow"));

    auto* badge = find<CapsuleLabel>("levelBadge");
    access->setLevel(0, clock().now());
    EXPECT_EQ(badge->text(), QStringLiteral("L0"));
    EXPECT_EQ(badge->fill(), SystemColors::gray());
    access->setLevel(3, clock().now());
    EXPECT_EQ(badge->text(), QStringLiteral("L3"));
    EXPECT_EQ(badge->fill(), SystemColors::red());
    EXPECT_EQ(badge->textColor(), QColor(Qt::white));
}

TEST_F(PowerSaverViewFixture, LevelControlsWriteTheSettingsAndEachChangeEvaluatesOnce)
{
    open();
    ChargingSettings& settings = state->settings();
    PowerSaverEngine& engine = state->powerSaver();
    auto* mode = find<SegmentedPicker>("levelMode");
    auto* slider = find<QSlider>("manualLevel");
    auto* boost = find<QCheckBox>("boost");
    EXPECT_FALSE(shown("manualLevelRow"));
    EXPECT_TRUE(boost->isEnabled());

    // Manual: the slider row appears and the boost is out of reach.
    EXPECT_EQ(evaluationsOf([&] { mode->segment(false)->click(); }), 1);
    EXPECT_FALSE(settings.powerLevelAuto());
    EXPECT_TRUE(shown("manualLevelRow"));
    EXPECT_FALSE(boost->isEnabled());
    EXPECT_EQ(slider->value(), 2);
    EXPECT_EQ(text("manualLevelText"), QStringLiteral("L2 強化節電"));
    EXPECT_EQ(evaluationsOf([&] { slider->triggerAction(QAbstractSlider::SliderToMaximum); }), 1);
    EXPECT_EQ(settings.manualPowerLevel(), 3);
    EXPECT_EQ(state->defaults().integer(QStringLiteral("manualPowerLevel")), 3) << "saved";
    EXPECT_EQ(text("manualLevelText"), QStringLiteral("L3 最大節電"));

    // The autopilot off puts the level controls out of reach and leaves their values.
    settings.setAutopilotEnabled(false);
    EXPECT_FALSE(mode->isEnabled());
    EXPECT_FALSE(find("manualLevelRow")->isEnabled());
    EXPECT_FALSE(boost->isEnabled());
    EXPECT_EQ(mode->value(), QVariant(false));
    EXPECT_EQ(slider->value(), 3);
    settings.setAutopilotEnabled(true);
    EXPECT_TRUE(mode->isEnabled());
    EXPECT_TRUE(find("manualLevelRow")->isEnabled());

    // A level stored out of range shows its number alone, and no control writes it back.
    settings.setManualPowerLevel(7);
    EXPECT_EQ(text("manualLevelText"), QStringLiteral("L7"));
    EXPECT_EQ(slider->value(), 3);
    spin(200);
    EXPECT_EQ(settings.manualPowerLevel(), 7);

    // Back to automatic; the boost evaluates at every flip, even one to the value it has.
    EXPECT_EQ(evaluationsOf([&] { mode->segment(true)->click(); }), 1);
    EXPECT_TRUE(boost->isEnabled());
    EXPECT_EQ(evaluationsOf([&] { emit boost->clicked(false); }), 1);
    EXPECT_FALSE(engine.boostUntilAC());
    const int before = evaluations();
    boost->click();
    EXPECT_TRUE(engine.boostUntilAC());
    EXPECT_TRUE(waitUntil([&] { return evaluations() == before + 1; }));
    // The evaluation finds the machine on AC, which ends the boost; the switch follows.
    EXPECT_TRUE(waitUntil([&] { return !engine.boostUntilAC(); }));
    EXPECT_FALSE(boost->isChecked());
}

TEST_F(PowerSaverViewFixture, OnlyTheSettingsTheAutopilotDecidesByEvaluateAndOnlyWhileShown)
{
    open();
    ChargingSettings& settings = state->settings();
    view->hide();
    EXPECT_EQ(evaluationsOf([&] { view->show(); }), 0) << "showing the tab";

    for (const char* toggle : {"autopilotEnabled", "autoDimEnabled"})
        EXPECT_EQ(evaluationsOf([&] { find<QCheckBox>(toggle)->click(); }), 1) << toggle;
    EXPECT_EQ(evaluationsOf([&] { find<SegmentedPicker>("targetMode")->segment(false)->click(); }), 1);
    EXPECT_FALSE(settings.targetAutoLearn());
    for (const char* toggle :
         {"kbBacklightOffEnabled", "notifyPowerActions", "llmEnabled", "llmSessionReports", "pauseSpotlight", "pauseTimeMachine"})
        EXPECT_EQ(evaluationsOf([&] { find<QCheckBox>(toggle)->click(); }), 0) << toggle;
    EXPECT_FALSE(settings.kbBacklightOffEnabled());
    EXPECT_TRUE(settings.pauseSpotlightOnBattery());

    // The target slider moves in half hours and only stores; applying evaluates, also with
    // the hours unchanged.
    auto* hours = find<QSlider>("targetHours");
    EXPECT_TRUE(shown("targetHoursRow"));
    EXPECT_EQ(hours->value(), 10);
    EXPECT_EQ(evaluationsOf([&] { hours->triggerAction(QAbstractSlider::SliderSingleStepAdd); }), 0);
    EXPECT_EQ(settings.manualTargetHours(), 5.5);
    EXPECT_EQ(text("targetHoursText"), QStringLiteral("5.5時間"));
    clock().advance(60);
    EXPECT_EQ(evaluationsOf([&] { find<QPushButton>("applyTarget")->click(); }), 1);
    EXPECT_EQ(settings.manualTargetSetAt(), clock().now());
    clock().advance(60);
    EXPECT_EQ(evaluationsOf([&] { find<QPushButton>("applyTarget")->click(); }), 1);
    EXPECT_EQ(settings.manualTargetSetAt(), clock().now());

    // Hidden, the tab reacts to nothing.
    view->hide();
    EXPECT_EQ(evaluationsOf([&] { settings.setAutoDimEnabled(!settings.autoDimEnabled()); }), 0);
    view->show();
    EXPECT_EQ(evaluationsOf([&] { settings.setManualPowerLevel(1); }), 1);
    EXPECT_EQ(evaluationsOf([&] { settings.setPowerLevelAuto(false); }), 1);
}

} // namespace kestrune::test
