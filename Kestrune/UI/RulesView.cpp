#include "Kestrune/UI/RulesView.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/Evaluation.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/SettingToggle.h"
#include "Kestrune/UI/Stepper.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WheelGuard.h"
#include "Kestrune/UI/WhileShown.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace kestrune {

RulesView::RulesView(AppState& state, QWidget* parent)
    : GroupedForm(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("rules"));
    ChargingSettings& settings = m_state.settings();

    FormSection* limit = addSection(Localized::text("充電上限"));
    // It disables nothing: the limit can be set while limiting is off.
    auto* enabled = new SettingToggle(Localized::text("充電上限を有効にする"), settings,
        &ChargingSettings::controlEnabled, &ChargingSettings::setControlEnabled,
        &ChargingSettings::controlEnabledChanged);
    enabled->setObjectName(QStringLiteral("controlEnabled"));
    limit->addRow(enabled);

    auto* sliderValue = new QWidget;
    sliderValue->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* sliderLayout = new QHBoxLayout(sliderValue);
    sliderLayout->setContentsMargins(0, 0, 0, 0);
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setObjectName(QStringLiteral("limitSlider"));
    m_slider->setRange(lowestLimit / limitStep, highestLimit / limitStep);
    m_slider->setPageStep(1);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(1);
    WheelGuard::install(m_slider);
    m_limitText = new QLabel;
    m_limitText->setObjectName(QStringLiteral("limitText"));
    m_limitText->setFixedWidth(44);
    m_limitText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Style::setMonospacedDigits(m_limitText);
    sliderLayout->addWidget(m_slider, 1);
    sliderLayout->addWidget(m_limitText);
    m_sliderRow = limit->addRow(Localized::text("上限"), sliderValue);
    // Only the user moves the slider by itself; the view sets it under a blocker.
    connect(m_slider, &QSlider::valueChanged, &settings,
        [&settings](int position) { settings.setChargeLimit(position * limitStep); });

    m_resume = new Stepper(2, 20, 1);
    m_resume->setObjectName(QStringLiteral("resumeStepper"));
    m_resumeRow = limit->addRow(m_resume);
    connect(m_resume, &Stepper::stepped, &settings, &ChargingSettings::setResumeDelta);
    m_example = limit->addNote({});
    m_example->setObjectName(QStringLiteral("example"));

    m_picker = new QComboBox;
    m_picker->setObjectName(QStringLiteral("limitPicker"));
    WheelGuard::install(m_picker);
    m_picker->addItem(Localized::text("80%(ハードウェア制限)"), 80);
    m_picker->addItem(Localized::text("100%(制限なし)"), 100);
    m_pickerRow = limit->addRow(Localized::text("上限"), m_picker);
    connect(m_picker, &QComboBox::activated, &settings,
        [this, &settings](int index) { settings.setChargeLimit(m_picker->itemData(index).toInt()); });
    m_hardwareNote = limit->addNote(Localized::text(
        "このMacでは細かい上限指定キーが見つからないため、Apple純正の80%リミット(CHWA)を使用します。"));
    m_hardwareNote->setObjectName(QStringLiteral("hardwareNote"));

    FormSection* status = addSection(Localized::text("動作状況"));
    m_statusText = status->addTextRow(Localized::text("現在の状態"), QStringLiteral("statusText"));
    m_effectiveLimit = status->addTextRow(Localized::text("実効上限"), QStringLiteral("effectiveLimit"));
    auto* warning = SymbolLabel::warning(
        Localized::text("ヘルパー未接続のため制御は行われません(「一般」タブから有効化)"));
    warning->setObjectName(QStringLiteral("helperWarning"));
    m_warning = status->addRow(warning);

    // What the view shows follows the settings, the helper and the controller at all times.
    connect(&settings, &ChargingSettings::chargeLimitChanged, this, &RulesView::showSettings);
    connect(&settings, &ChargingSettings::resumeDeltaChanged, this, &RulesView::showSettings);
    connect(&m_state.helper(), &HelperClient::capabilitiesChanged, this, &RulesView::showGroup);
    connect(&m_state.helper(), &HelperClient::isConnectedChanged, this, &RulesView::showStatus);
    connect(&m_state.controller(), &ChargeController::statusTextChanged, this, &RulesView::showStatus);
    connect(&m_state.controller(), &ChargeController::effectiveLimitChanged, this, &RulesView::showStatus);
    showSettings();
    showGroup();
    showStatus();

    // Each change of a charge setting asks for an evaluation, while the tab is shown.
    auto* whileShown = new WhileShown(this);
    const auto evaluate = [this] { Evaluation::start(m_state); };
    whileShown->connect(&settings, &ChargingSettings::chargeLimitChanged, evaluate);
    whileShown->connect(&settings, &ChargingSettings::controlEnabledChanged, evaluate);
    whileShown->connect(&settings, &ChargingSettings::resumeDeltaChanged, evaluate);
}

bool RulesView::offersOnlyHardwareLimit(const std::optional<ChargingCapabilities>& capabilities)
{
    return capabilities && !capabilities->chargingControlMethod && capabilities->hasAppleLimit80;
}

void RulesView::showSettings()
{
    const ChargingSettings& settings = m_state.settings();
    const int limit = settings.chargeLimit();
    const int resume = settings.resumeDelta();
    {
        const QSignalBlocker slider(m_slider);
        const QSignalBlocker picker(m_picker);
        // A stored limit off the grid (82) stands at its nearest step (80) and stays stored.
        m_slider->setValue(int(std::lround(double(limit) / limitStep)));
        m_picker->setCurrentIndex(m_picker->findData(limit));
    }
    m_limitText->setText(Localized::fmt("%lld%%", qint64(limit)));
    m_resume->setValue(resume);
    m_resume->setText(Localized::fmt("充電再開: 上限から %lld%% 低下したら", qint64(resume)));
    m_example->setText(Localized::fmt("例: 上限%lld%%の場合、%lld%%まで下がると充電を再開します。",
        qint64(limit), qint64(std::max(0, limit - resume))));
}

void RulesView::showGroup()
{
    const bool hardware = offersOnlyHardwareLimit(m_state.helper().capabilities());
    for (QWidget* row : { m_sliderRow, m_resumeRow, m_example->parentWidget() })
        row->setVisible(!hardware);
    for (QWidget* row : { m_pickerRow, m_hardwareNote->parentWidget() })
        row->setVisible(hardware);
}

void RulesView::showStatus()
{
    m_statusText->setText(m_state.controller().statusText());
    m_effectiveLimit->setText(QString::number(m_state.controller().effectiveLimit()) + u'%');
    m_warning->setVisible(!m_state.helper().isConnected());
}

} // namespace kestrune
