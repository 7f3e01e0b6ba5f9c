#include "Kestrune/UI/MenuBar/ChargeLimitSection.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/RulesView.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/SettingToggle.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WheelGuard.h"
#include "Platform/Symbols/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace kestrune {

ChargeLimitSection::ChargeLimitSection(AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_switch(new SettingToggle(Localized::text("充電上限"), state.settings(),
          &ChargingSettings::controlEnabled, &ChargingSettings::setControlEnabled,
          &ChargingSettings::controlEnabledChanged, this))
    , m_sliderRow(new QWidget(this))
    , m_slider(new QSlider(Qt::Horizontal, m_sliderRow))
    , m_limitText(new QLabel(m_sliderRow))
    , m_pickerRow(new QWidget(this))
    , m_picker(new SegmentedPicker(m_pickerRow))
    , m_fullChargeRow(new QWidget(this))
    , m_topUp(new QPushButton(Localized::text("今すぐ満充電"), m_fullChargeRow))
    , m_cancelTopUp(new QPushButton(Localized::text("満充電を中止"), m_fullChargeRow))
    , m_toppingUp(new SymbolLabel(QStringLiteral("bolt.fill"), Localized::text("100%まで充電中"), m_fullChargeRow))
{
    m_switch->setObjectName(QStringLiteral("controlSwitch"));
    m_switch->setFont(Style::font(Style::Callout));

    // The rules tab's grid, 50 to 100 % in steps of 5: the slider's eleven positions are the limit
    // divided by the step.
    m_slider->setObjectName(QStringLiteral("limitSlider"));
    m_slider->setRange(
        RulesView::lowestLimit / RulesView::limitStep, RulesView::highestLimit / RulesView::limitStep);
    m_slider->setPageStep(1);
    WheelGuard::install(m_slider);
    m_limitText->setObjectName(QStringLiteral("limitText"));
    m_limitText->setFont(Style::monospacedDigits(Style::font(Style::Callout)));
    m_limitText->setFixedWidth(42);
    m_limitText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* sliderLayout = new QHBoxLayout(m_sliderRow);
    sliderLayout->setContentsMargins(0, 0, 0, 0);
    sliderLayout->addWidget(m_slider, 1);
    sliderLayout->addWidget(m_limitText);

    m_picker->setObjectName(QStringLiteral("limitPicker"));
    m_picker->addSegment(Localized::text("80%(ハードウェア制限)"), 80);
    m_picker->addSegment(QStringLiteral("100%"), 100);
    for (QAbstractButton* segment : m_picker->segments())
        MenuBarView::makeSmall(segment);
    auto* pickerTitle = new QLabel(Localized::text("上限"), m_pickerRow);
    MenuBarView::makeSmall(pickerTitle);
    auto* pickerLayout = new QHBoxLayout(m_pickerRow);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->addWidget(pickerTitle);
    pickerLayout->addWidget(m_picker);
    pickerLayout->addStretch(1);

    m_topUp->setObjectName(QStringLiteral("topUpButton"));
    m_cancelTopUp->setObjectName(QStringLiteral("cancelTopUpButton"));
    m_toppingUp->setObjectName(QStringLiteral("toppingUp"));
    Style::apply(m_toppingUp, Style::Caption2, SystemColors::green());
    auto* fullChargeLayout = new QHBoxLayout(m_fullChargeRow);
    fullChargeLayout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* button : {m_topUp, m_cancelTopUp}) {
        MenuBarView::makeSmall(button);
        button->setAutoDefault(false);
        fullChargeLayout->addWidget(button);
    }
    fullChargeLayout->addWidget(m_toppingUp);
    fullChargeLayout->addStretch(1);
    m_fullChargeRow->setObjectName(QStringLiteral("fullChargeRow"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(m_switch);
    layout->addWidget(m_pickerRow);
    layout->addWidget(m_sliderRow);
    layout->addWidget(m_fullChargeRow);

    ChargingSettings& settings = state.settings();
    connect(m_slider, &QSlider::valueChanged, &settings,
            [&settings](int position) { settings.setChargeLimit(position * RulesView::limitStep); });
    connect(m_picker, &SegmentedPicker::picked, this,
            [&settings](const QVariant& value) { settings.setChargeLimit(value.toInt()); });
    connect(m_topUp, &QPushButton::clicked, &state, &AppState::requestTopUp);
    connect(m_cancelTopUp, &QPushButton::clicked, &state, &AppState::cancelTopUp);

    connect(&settings, &ChargingSettings::controlEnabledChanged, this, &ChargeLimitSection::refresh);
    connect(&settings, &ChargingSettings::chargeLimitChanged, this, &ChargeLimitSection::refresh);
    connect(&state.helper(), &HelperClient::capabilitiesChanged, this, &ChargeLimitSection::refresh);
    connect(&state.helper(), &HelperClient::isConnectedChanged, this, &ChargeLimitSection::refresh);
    connect(&state.controller(), &ChargeController::topUpActiveChanged, this, &ChargeLimitSection::refresh);
    refresh();
}

void ChargeLimitSection::refresh()
{
    const ChargingSettings& settings = m_state.settings();
    const bool enabled = settings.controlEnabled();
    const int limit = settings.chargeLimit();
    {
        const QSignalBlocker blockSlider(m_slider);
        // The nearest position; the text beside it keeps the stored figure.
        m_slider->setValue(int(std::lround(limit / double(RulesView::limitStep))));
        m_picker->setValue(limit);
    }
    m_limitText->setText(QString::number(limit) + u'%');

    const bool picker = RulesView::offersOnlyHardwareLimit(m_state.helper().capabilities());
    m_pickerRow->setVisible(picker);
    m_sliderRow->setVisible(!picker);
    m_picker->setEnabled(enabled);
    m_slider->setEnabled(enabled);

    const bool topUpActive = m_state.controller().topUpActive();
    m_fullChargeRow->setVisible(enabled && limit < 100);
    m_fullChargeRow->setEnabled(m_state.helper().isConnected());
    m_topUp->setVisible(!topUpActive);
    m_cancelTopUp->setVisible(topUpActive);
    m_toppingUp->setVisible(topUpActive);
}

} // namespace kestrune
