#include "Kestrune/UI/RulesView.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/Stepper.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "tests/Kestrune/UI/MainWindow/ViewFixture.h"
#include "tests/support/Await.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

using namespace kestrune;
using namespace kestrune::test;

namespace {

ChargingCapabilities capabilities(std::optional<QString> method, bool appleLimit)
{
    ChargingCapabilities found;
    found.smcAvailable = true;
    found.chargingControlMethod = std::move(method);
    found.hasAppleLimit80 = appleLimit;
    return found;
}

} // namespace

class RulesViewTest : public ViewFixture { };

TEST_F(RulesViewTest, TheLimitControlsWriteOnlyWhatTheUserChoosesOnTheirGrid)
{
    AppState& app = launch();
    ChargingSettings& settings = app.settings();
    settings.setChargeLimit(82); // stored elsewhere, off the slider's grid
    QSignalSpy written(&app.defaults(), &UserDefaults::changed);
    QSignalSpy limits(&settings, &ChargingSettings::chargeLimitChanged);

    RulesView view(app);
    view.show();
    auto* slider = child<QSlider>(&view, "limitSlider");
    auto* text = child<QLabel>(&view, "limitText");
    // Shown where it stands, nothing written back.
    EXPECT_EQ(text->text(), "82%");
    EXPECT_EQ(slider->value() * 5, 80);
    demo::DemoApp::settle();
    EXPECT_TRUE(written.isEmpty());

    // Both ends are reachable, and every value written lies on the grid.
    slider->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(settings.chargeLimit(), 50);
    EXPECT_EQ(text->text(), "50%");
    for (int i = 0; i < 12; ++i)
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(settings.chargeLimit(), 100);
    EXPECT_EQ(text->text(), "100%");
    for (const QList<QVariant>& change : std::as_const(limits))
        EXPECT_EQ(change.first().toInt() % 5, 0) << change.first().toInt();
    EXPECT_EQ(limits.size(), 11) << "50, 55, ... 100: one write per step";

    // The resume stepper stays within 2 to 20, and the example never goes below 0.
    auto* stepper = child<Stepper>(&view, "resumeStepper");
    auto* example = child<QLabel>(&view, "example");
    settings.setResumeDelta(3);
    stepper->downButton()->click();
    EXPECT_EQ(settings.resumeDelta(), 2);
    EXPECT_FALSE(stepper->downButton()->isEnabled());
    settings.setChargeLimit(50);
    settings.setResumeDelta(20);
    EXPECT_FALSE(stepper->upButton()->isEnabled());
    EXPECT_EQ(example->text(), "例: 上限50%の場合、30%まで下がると充電を再開します。");
    settings.setChargeLimit(80);
    settings.setResumeDelta(5);
    EXPECT_EQ(stepper->text(), "充電再開: 上限から 5% 低下したら");
    EXPECT_EQ(example->text(), "例: 上限80%の場合、75%まで下がると充電を再開します。");
    settings.setChargeLimit(10);
    settings.setResumeDelta(15);
    EXPECT_EQ(example->text(), "例: 上限10%の場合、0%まで下がると充電を再開します。");

    // The same texts in English.
    QTemporaryDir scratch;
    UserDefaults english(scratch.filePath("defaults.json"));
    AppLanguage::apply(AppLanguage::english, english);
    AppLanguage::installTranslator(english);
    settings.setChargeLimit(80);
    settings.setResumeDelta(4);
    const QString englishResume = stepper->text();
    const QString englishLimit = text->text();
    AppLanguage::apply(AppLanguage::japanese, english);
    AppLanguage::installTranslator(english);
    EXPECT_EQ(englishLimit, "80%");
    EXPECT_EQ(englishResume, "Resume charging when it drops 4% below the limit");
}

TEST_F(RulesViewTest, EveryChangeOfAChargeSettingWhileShownStartsOneEvaluation)
{
    AppState& app = launch();
    ChargingSettings& settings = app.settings();
    countEvaluations();

    RulesView view(app);
    EXPECT_EQ(evaluationsAfter([&] { view.show(); }), 0) << "opening evaluates nothing";
    auto* slider = child<QSlider>(&view, "limitSlider");
    auto* toggle = child<QCheckBox>(&view, "controlEnabled");
    auto* stepper = child<Stepper>(&view, "resumeStepper");
    EXPECT_EQ(evaluationsAfter([&] { slider->triggerAction(QAbstractSlider::SliderPageStepAdd); }), 1);
    EXPECT_EQ(evaluationsAfter([&] { stepper->upButton()->click(); }), 1);
    EXPECT_EQ(evaluationsAfter([&] { toggle->click(); }), 1);
    EXPECT_EQ(evaluationsAfter([&] { toggle->click(); }), 1);
    EXPECT_TRUE(slider->isEnabled()) << "switching limiting off disables nothing";
    // A change made elsewhere (the popover's slider) while the tab is shown.
    EXPECT_EQ(evaluationsAfter([&] { settings.setChargeLimit(90); }), 1);
    // Writing the value already stored changes nothing, so nothing is evaluated.
    EXPECT_EQ(evaluationsAfter([&] { settings.setChargeLimit(90); }), 0);

    view.hide();
    EXPECT_EQ(evaluationsAfter([&] { settings.setChargeLimit(70); }), 0)
        << "hidden, the tab leaves it to others";
    view.show();
    EXPECT_EQ(evaluationsAfter([&] { settings.setResumeDelta(9); }), 1);
}

TEST_F(RulesViewTest, TheHardwareLimitReplacesTheSliderOnlyWhenItIsTheOnlyControl)
{
    EXPECT_FALSE(RulesView::offersOnlyHardwareLimit(std::nullopt)) << "not probed yet";
    EXPECT_FALSE(RulesView::offersOnlyHardwareLimit(capabilities(QStringLiteral("CH0B/CH0C"), true)));
    EXPECT_FALSE(RulesView::offersOnlyHardwareLimit(capabilities(std::nullopt, false)));
    EXPECT_TRUE(RulesView::offersOnlyHardwareLimit(capabilities(std::nullopt, true)));

    AppState& app = launch();
    ChargingSettings& settings = app.settings();
    settings.setChargeLimit(85);
    countEvaluations();
    RulesView view(app);
    view.show();
    auto* slider = child<QSlider>(&view, "limitSlider");
    auto* picker = child<QComboBox>(&view, "limitPicker");
    EXPECT_TRUE(slider->isVisible());
    EXPECT_FALSE(picker->isVisible());

    // The probe now finds only the firmware's limit: the tab switches by itself and writes
    // nothing; the stored 85 is no option, so none is chosen.
    demo->daemon().setReply(HelperProtocol::probeCapabilities, *capabilities(std::nullopt, true).toJson());
    QSignalSpy limits(&settings, &ChargingSettings::chargeLimitChanged);
    await(app.helper().tryConnectAndProbe());
    EXPECT_FALSE(slider->isVisible());
    EXPECT_TRUE(picker->isVisible());
    EXPECT_TRUE(child<QLabel>(&view, "hardwareNote")->isVisible());
    EXPECT_EQ(picker->currentIndex(), -1);
    EXPECT_TRUE(limits.isEmpty());
    EXPECT_EQ(settings.chargeLimit(), 85);

    picker->activated(1); // the user picks "100%(制限なし)"
    EXPECT_EQ(settings.chargeLimit(), 100);
    EXPECT_EQ(picker->currentIndex(), 1);
    settings.setChargeLimit(80);
    EXPECT_EQ(picker->currentIndex(), 0);
}

TEST_F(RulesViewTest, TheStatusShowsTheControllerAndWarnsWhileTheHelperIsAway)
{
    AppState& app = launch();
    RulesView view(app);
    view.show();
    auto* warning = child<SymbolLabel>(&view, "helperWarning");
    EXPECT_EQ(child<QLabel>(&view, "statusText")->text(), app.controller().statusText());
    EXPECT_EQ(child<QLabel>(&view, "effectiveLimit")->text(), "80%");
    EXPECT_FALSE(warning->isVisible()) << "two rows while connected";

    app.helper().unregister();
    EXPECT_TRUE(warning->isVisible()) << "the third row, orange";
    EXPECT_EQ(warning->text(), "ヘルパー未接続のため制御は行われません(「一般」タブから有効化)");
}
