#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/MenuBar/MenuBarHeader.h"
#include "Kestrune/UI/MenuBar/PowerSaverSection.h"
#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Platform/Symbols/SystemColors.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/UI/MenuBar/MenuBarFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QTest>

namespace kestrune::test {

namespace {

const QString setChargingEnabled = QString(HelperProtocol::setChargingEnabled);

QByteArray capabilities(std::optional<QString> controlMethod, bool appleLimit80)
{
    ChargingCapabilities found;
    found.smcAvailable = true;
    found.chargingControlMethod = std::move(controlMethod);
    found.hasAppleLimit80 = appleLimit80;
    return *found.toJson();
}

} // namespace

using MenuBarViewTest = MenuBarFixture;

TEST_F(MenuBarViewTest, HeaderFollowsTheReadingThePowerAndTheController)
{
    setMachine({.units = SimTree::Options::Units::Charge, .capacityPercent = 60});
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    showView(app);

    // Before the first reading: 0 %, the controller's line, nothing on the right.
    EXPECT_EQ(textOf("percent"), "0");
    EXPECT_EQ(textOf("status"), app.controller().statusText());
    EXPECT_FALSE(shown("power") || shown("detail"));
    EXPECT_FALSE(shown("health"));

    // Charging at 12.5 V and 2 A: the figure in green; no adapter line without its rating.
    attribute("voltage_now", 12'500'000);
    attribute("current_now", 2'000'000);
    app.start();
    EXPECT_EQ(textOf("percent"), "60");
    EXPECT_EQ(textOf("power"), "+25.0W");
    EXPECT_EQ(colorOf("power"), SystemColors::green());
    EXPECT_FALSE(shown("detail"));
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    letEvaluationsEnd();
    attribute("voltage_max", 20'000'000, "AC");
    attribute("current_max", 3'250'000, "AC");
    readAfter(60);
    EXPECT_TRUE(shown("detail"));
    EXPECT_EQ(textOf("detail"), "アダプタ 65W");

    // At the limit the controller holds: "停止中"; with control off the adapter only feeds.
    attribute("capacity", 85);
    attribute("status", "Not charging");
    readAfter(60);
    ASSERT_TRUE(waitUntil([&] { return app.controller().isHolding(); }));
    EXPECT_EQ(textOf("power"), "停止中");
    EXPECT_NE(colorOf("power"), SystemColors::green());
    EXPECT_EQ(textOf("status"), app.controller().statusText());
    app.settings().setControlEnabled(false);
    ASSERT_TRUE(waitUntil([&] { return !app.controller().isHolding(); }));
    EXPECT_EQ(textOf("power"), "給電中");

    // On battery at 11.4 V and 0.5 A: 5.7 W in orange. Until the power saver has an estimate
    // and without the battery's own, no time is shown; then the estimate, even when the
    // battery tells its own time.
    attribute("online", 0, "AC");
    attribute("status", "Discharging");
    attribute("voltage_now", 11'400'000);
    attribute("current_now", 500'000);
    readAfter(60);
    EXPECT_EQ(textOf("power"), "5.7W");
    EXPECT_EQ(colorOf("power"), SystemColors::orange());
    EXPECT_FALSE(shown("detail"));
    ASSERT_TRUE(waitUntil([&] { return app.powerSaver().estimatedRuntimeHours().has_value(); }));
    EXPECT_TRUE(shown("detail"));
    EXPECT_EQ(textOf("detail"), MenuBarView::shortHours(*app.powerSaver().estimatedRuntimeHours()));
    EXPECT_FALSE(find("detail")->toolTip().isEmpty());
    attribute("time_to_empty_avg", 300 * 60);
    readAfter(60);
    ASSERT_TRUE(app.snapshot()->timeToEmptyMinutes);
    EXPECT_NE(textOf("detail"), MenuBarView::shortHours(5.0));
    EXPECT_EQ(textOf("detail"), MenuBarView::shortHours(*app.powerSaver().estimatedRuntimeHours()));
    letEvaluationsEnd();

    // Plugged in, the estimate goes; unplugged again, the battery's time fills in until the
    // power saver has looked at the new reading.
    attribute("online", 1, "AC");
    attribute("status", "Not charging");
    readAfter(60);
    ASSERT_TRUE(waitUntil([&] { return !app.powerSaver().estimatedRuntimeHours(); }));
    attribute("online", 0, "AC");
    attribute("status", "Discharging");
    readAfter(60);
    EXPECT_EQ(textOf("detail"), "残り約5時間0分");
    EXPECT_EQ(MenuBarHeader::powerText(*app.snapshot(), false), "給電中") << "never asked on battery, but defined";
}

TEST_F(MenuBarViewTest, BannerOffersTheWayOnForEachStatusAndGoesWhenConnected)
{
    services->status = Status::NotRegistered;
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    showView(app);
    // The buttons offered, from left to right.
    auto offered = [&] {
        QApplication::processEvents();
        QList<QPushButton*> buttons;
        for (const char* name : {"enableHelper", "approvedReconnect", "reconnect", "repair"})
            if (shown(name))
                buttons << find<QPushButton>(name);
        std::sort(buttons.begin(), buttons.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        QStringList names;
        for (QPushButton* button : buttons)
            names << button->objectName();
        return names;
    };

    // At start-up, before the first connection, and while the helper is not registered.
    EXPECT_TRUE(shown("helperBannerGroup"));
    EXPECT_EQ(textOf("helperStatus"), "状態: " + HelperClient::label(HelperClient::Status::Unknown));
    EXPECT_EQ(offered(), QStringList{"enableHelper"});
    app.start();
    EXPECT_EQ(textOf("helperStatus"), "状態: " + HelperClient::label(HelperClient::Status::NotRegistered));
    EXPECT_EQ(offered(), QStringList{"enableHelper"});

    services->status = Status::RequiresApproval;
    app.helper().refreshStatus();
    EXPECT_EQ(offered(), QStringList{"approvedReconnect"});

    // Registered but unreachable: reconnect, then repair.
    daemon.releaseName();
    services->status = Status::Enabled;
    app.helper().refreshStatus();
    EXPECT_EQ(offered(), (QStringList{"reconnect", "repair"}));

    // Two repairs pressed one after the other each run in full.
    QTest::mouseClick(find<QPushButton>("repair"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>("repair"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return services->registrations == 2 && services->unregistrations == 2; }));

    // The connection comes up while the popover is open: the banner goes, the header's
    // divider stays.
    ASSERT_TRUE(daemon.claimName());
    QTest::mouseClick(find<QPushButton>("reconnect"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    EXPECT_FALSE(shown("helperBannerGroup"));
}

TEST_F(MenuBarViewTest, ChargeLimitShowsTheStoredLimitAndTheControlTheMachineOffers)
{
    preset({{"backendEnabled", false}, {"chargeLimit", 83}});
    daemon.setReply(HelperProtocol::probeCapabilities, capabilities(std::nullopt, true));
    AppState& app = launch();
    showView(app);
    auto* slider = find<QSlider>("limitSlider");
    auto* picker = find<SegmentedPicker>("limitPicker");

    // Before the first probe the slider, with eleven positions; 83 is shown as it is stored
    // and stays stored.
    EXPECT_TRUE(shown("limitSlider") && !shown("limitPicker"));
    EXPECT_EQ(slider->maximum() - slider->minimum() + 1, 11);
    EXPECT_EQ(slider->value() * 5, 85);
    EXPECT_EQ(textOf("limitText"), "83%");
    EXPECT_TRUE(shown("fullChargeRow"));
    EXPECT_FALSE(find("fullChargeRow")->isEnabled()) << "not connected";

    // A machine with only the firmware's 80 % limit: the picker, with nothing chosen at 83.
    app.start();
    ASSERT_TRUE(waitUntil([&] { return app.helper().capabilities().has_value(); }));
    EXPECT_TRUE(shown("limitPicker") && !shown("limitSlider"));
    EXPECT_FALSE(picker->value().isValid());
    EXPECT_EQ(app.defaults().integer("chargeLimit"), 83);
    EXPECT_TRUE(find("fullChargeRow")->isEnabled());
    QTest::mouseClick(picker->segment(80), Qt::LeftButton);
    EXPECT_EQ(app.settings().chargeLimit(), 80);
    QTest::mouseClick(picker->segment(100), Qt::LeftButton);
    EXPECT_EQ(app.defaults().integer("chargeLimit"), 100);
    EXPECT_FALSE(shown("fullChargeRow")) << "nothing to charge beyond 100 %";

    // With control off the limit is shown but cannot be changed, and there is no full charge.
    app.settings().setChargeLimit(90);
    find<QCheckBox>("controlSwitch")->click();
    EXPECT_FALSE(app.settings().controlEnabled());
    EXPECT_TRUE(shown("limitPicker"));
    EXPECT_FALSE(picker->isEnabled());
    EXPECT_FALSE(shown("fullChargeRow"));
}

TEST_F(MenuBarViewTest, ClicksDriveTheCoreOneEvaluationPerChange)
{
    // Every write of the charging state fails, so every evaluation tries it once more: the
    // daemon's count of that call counts the evaluations.
    setMachine({.capacityPercent = 90});
    preset({{"backendEnabled", false}, {"autopilotEnabled", false}});
    daemon.setReply(HelperProtocol::setChargingEnabled, *HelperCommandResult::failure("書き込み失敗").toJson());
    AppState& app = launch();
    showView(app);
    app.start();
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));
    int evaluations = callsOf(setChargingEnabled, 1);
    // Whether `more` evaluations followed the last counted, once they have all run: a change
    // made while one still runs would have its evaluation dropped.
    auto evaluated = [&](int more) {
        const int expected = evaluations + more;
        letEvaluationsEnd();
        evaluations = daemon.count(setChargingEnabled);
        return evaluations == expected;
    };

    // The slider from 80 to 75: saved, one evaluation. The same value again: none.
    auto* slider = find<QSlider>("limitSlider");
    slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(app.settings().chargeLimit(), 75);
    EXPECT_EQ(app.defaults().integer("chargeLimit"), 75);
    EXPECT_TRUE(evaluated(1));
    slider->setValue(15);
    EXPECT_TRUE(evaluated(0));

    // A drag writes every step it passes, and each step evaluates.
    slider->setSliderDown(true);
    for (int position : {16, 17, 18}) {
        slider->setSliderPosition(position);
        EXPECT_EQ(app.settings().chargeLimit(), position * 5);
        EXPECT_TRUE(evaluated(1)) << position;
    }
    slider->setSliderDown(false);

    // "今すぐ満充電": one evaluation, then the row offers to stop.
    QTest::mouseClick(find<QPushButton>("topUpButton"), Qt::LeftButton);
    EXPECT_TRUE(app.controller().topUpActive());
    EXPECT_TRUE(evaluated(1));
    EXPECT_TRUE(shown("cancelTopUpButton") && shown("toppingUp") && !shown("topUpButton"));

    // The level pickers write their settings, and each change evaluates once.
    find<QCheckBox>("autopilotSwitch")->click();
    EXPECT_TRUE(app.settings().autopilotEnabled());
    EXPECT_TRUE(evaluated(0)) << "the autopilot switch waits for the next reading";
    QTest::mouseClick(find<SegmentedPicker>("levelModePicker")->segment(false), Qt::LeftButton);
    EXPECT_FALSE(app.settings().powerLevelAuto());
    EXPECT_TRUE(evaluated(1));
    find<QSlider>("manualLevelSlider")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(app.settings().manualPowerLevel(), 3);
    EXPECT_TRUE(evaluated(1));
    QTest::mouseClick(find<SegmentedPicker>("levelModePicker")->segment(true), Qt::LeftButton);
    EXPECT_FALSE(shown("manualLevelRow") || shown("manualLevelText"));
    EXPECT_TRUE(evaluated(1));

    // Hidden, the popover evaluates nothing; the footer opens the dashboard.
    view->hide();
    app.settings().setChargeLimit(70);
    EXPECT_TRUE(evaluated(0));
    view->show();
    QTest::mouseClick(find<QPushButton>("dashboardButton"), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"main"});
}

TEST_F(MenuBarViewTest, PowerSaverShowsLevelGainAndTheBatteryOnlyLines)
{
    const QByteArray strategy = R"({"reasoning":"夜は軽め"})";
    preset({{"backendEnabled", false}, {"powerLevelAuto", false}, {"manualPowerLevel", 2},
            {"ai.strategyJSON", strategy}, {"ai.strategyUpdatedAt", double(clock.now().toSecsSinceEpoch())}});
    const PowerMetricsReport report{clock.now(), 1, {{4242, "renderer", 40, 500}, {4343, "indexer", 20, 300}}};
    daemon.setReply(HelperProtocol::samplePowerMetrics, *report.toJson());
    AppState& app = launch();
    showView(app);
    app.start();
    PowerSaverEngine& engine = app.powerSaver();
    ASSERT_TRUE(waitUntil([&] { return app.helper().isConnected(); }));

    // On AC: level 0 has no badge; the manual level and its slider show; no battery lines.
    EXPECT_FALSE(shown("levelBadge"));
    EXPECT_TRUE(shown("strategyMark"));
    EXPECT_EQ(textOf("manualLevelText"), "L2 強化節電");
    EXPECT_TRUE(shown("manualLevelRow"));
    EXPECT_FALSE(shown("throttled") || shown("drainers"));

    // Today's gain appears from a whole minute, rounded.
    auto gainAfter = [&](double minutes) {
        app.history()->accrueSavings(0, minutes, 0, clock.now());
        engine.loadLedgerTotals(clock.now());
        return shown("gainRow") ? textOf("gain") : QString();
    };
    EXPECT_EQ(gainAfter(0.99), QString());
    EXPECT_EQ(gainAfter(0.01), "今日 +1分延命(推定)");
    EXPECT_EQ(gainAfter(11.4), "今日 +12分延命(推定)");
    QTest::mouseClick(find<QAbstractButton>("shareButton"), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"share"});

    // On battery the manual level runs: its badge in its colour, and the biggest consumers.
    attribute("online", 0, "AC");
    attribute("status", "Discharging");
    readAfter(60);
    ASSERT_TRUE(waitUntil([&] { return engine.level() == 2 && !app.tracker().latestProcesses().isEmpty(); }));
    // An evaluation that meets another still running is dropped: let this one end.
    letEvaluationsEnd();
    EXPECT_EQ(textOf("levelBadge"), "L2 強化節電");
    auto* badge = find<CapsuleLabel>("levelBadge");
    EXPECT_EQ(badge->textColor(), SystemColors::orange());
    EXPECT_TRUE(shown("drainers"));
    EXPECT_EQ(textOf("drainers"), "消費大: renderer、indexer");
    EXPECT_EQ(shown("throttled"), !engine.throttledProcesses().isEmpty());
    app.settings().setManualPowerLevel(3);
    ASSERT_TRUE(waitUntil([&] { return engine.level() == 3; }));
    EXPECT_EQ(badge->textColor(), SystemColors::red());
    letEvaluationsEnd();
    app.settings().setManualPowerLevel(1);
    ASSERT_TRUE(waitUntil([&] { return engine.level() == 1; }));
    EXPECT_EQ(badge->textColor(), SystemColors::green());

    // Back on AC the battery lines go with the reading, before any evaluation.
    attribute("online", 1, "AC");
    attribute("status", "Charging");
    readAfter(60);
    EXPECT_FALSE(shown("throttled") || shown("drainers"));

    // The autopilot off: only the switch row, its badge kept until the engine stands down.
    find<QCheckBox>("autopilotSwitch")->click();
    EXPECT_FALSE(app.settings().autopilotEnabled());
    EXPECT_FALSE(shown("levelModePicker") || shown("gainRow"));

    // Levels outside the four names show as the nearest.
    EXPECT_EQ(PowerSaverSection::levelText(7), "L3 最大節電");
    EXPECT_EQ(PowerSaverSection::levelText(-1), "L0 待機");
    app.settings().setManualPowerLevel(9);
    EXPECT_EQ(textOf("manualLevelText"), "L3 最大節電");
}

TEST_F(MenuBarViewTest, HealthLineFromTheCapacitiesCyclesAndTemperature)
{
    setMachine({.units = SimTree::Options::Units::Charge, .cycleCount = 0, .temperatureTenths = 350});
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    showView(app);
    EXPECT_FALSE(shown("health") || shown("cycles") || shown("temperature"));

    auto healthWith = [&](int designmAh, int fullmAh) {
        attribute("voltage_min_design", 11'550'000);
        attribute("charge_full_design", designmAh * 1000);
        attribute("charge_full", fullmAh * 1000);
        if (app.snapshot())
            readAfter(60);
        else
            app.start();
        return textOf("health");
    };
    EXPECT_EQ(healthWith(5000, 4650), "93%");
    EXPECT_EQ(textOf("cycles"), "0回");
    EXPECT_EQ(textOf("temperature"), "35.0°C");
    EXPECT_EQ(colorOf("temperature"), SystemColors::orange()) << "at the threshold";
    EXPECT_EQ(healthWith(5000, 5100), "100%");
    EXPECT_EQ(healthWith(0, 4650), "-");
    EXPECT_EQ(healthWith(5000, 0), "-") << "a full capacity of 0 is unknown, not a dead battery";

    attribute("temp", 349);
    readAfter(60);
    EXPECT_EQ(colorOf("temperature"), view->palette().color(QPalette::Active, QPalette::WindowText));
    app.settings().setHighTempThreshold(34.0);
    EXPECT_EQ(colorOf("temperature"), SystemColors::orange());
}

TEST(MenuBarViewFormats, ShortHoursTruncatesAndTopDrainersAreTheFirstThree)
{
    EXPECT_EQ(MenuBarView::shortHours(0.5), "残り約30分");
    EXPECT_EQ(MenuBarView::shortHours(2.75), "残り約2時間45分");
    EXPECT_EQ(MenuBarView::shortHours(1.999), "残り約1時間59分");
    EXPECT_EQ(MenuBarView::shortHours(0), "残り約0分");
    EXPECT_EQ(MenuBarView::shortHours(-1), QString());
    EXPECT_EQ(MenuBarView::shortHours(std::numeric_limits<double>::quiet_NaN()), QString());
    EXPECT_EQ(MenuBarView::shortHours(std::numeric_limits<double>::infinity()), QString());

    auto sample = [](const char* name) { return ProcessPowerSample{1, QString::fromLatin1(name), 1, 1}; };
    EXPECT_EQ(MenuBarView::topDrainerNames({}), QStringList());
    EXPECT_EQ(MenuBarView::topDrainerNames({sample("a")}), QStringList{"a"});
    EXPECT_EQ(MenuBarView::topDrainerNames({sample("a"), sample("b"), sample("c"), sample("d")}),
              (QStringList{"a", "b", "c"}));
}

} // namespace kestrune::test
