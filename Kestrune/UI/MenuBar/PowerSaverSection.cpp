#include "Kestrune/UI/MenuBar/PowerSaverSection.h"

#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WheelGuard.h"
#include "Platform/Symbols/SystemColors.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrune {

namespace {

// The width of a line inside the popover.
constexpr int lineWidth = MenuBarView::fixedWidth - 2 * MenuBarView::padding;

QLabel* captionLabel(const QString& text, Style::TextStyle style, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    Style::apply(label, style, Style::Secondary);
    return label;
}

} // namespace

PowerSaverSection::PowerSaverSection(AppState& state, OpenWindow openWindowAndActivate, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_switch(new QCheckBox(Localized::text("AI省電力"), this))
    , m_badge(new CapsuleLabel(this))
    , m_strategyMark(new QLabel(this))
    , m_block(new QWidget(this))
    , m_modePicker(new SegmentedPicker(m_block))
    , m_manualText(new QLabel(m_block))
    , m_manualRow(new QWidget(m_block))
    , m_manualSlider(new QSlider(Qt::Horizontal, m_manualRow))
    , m_gainRow(new QWidget(m_block))
    , m_gain(new SymbolLabel(QStringLiteral("sparkles"), QString(), m_gainRow))
    , m_share(new QToolButton(m_gainRow))
    , m_throttled(new SymbolLabel(QStringLiteral("tortoise.fill"), QString(), m_block))
    , m_drainers(new QLabel(m_block))
{
    // The switch row: the switch, the level's badge and the strategy's mark.
    m_switch->setObjectName(QStringLiteral("autopilotSwitch"));
    m_switch->setFont(Style::font(Style::Callout));
    m_badge->setObjectName(QStringLiteral("levelBadge"));
    QFont badgeFont = Style::font(Style::Caption2);
    badgeFont.setBold(true);
    m_badge->setFont(badgeFont);
    m_badge->setContentsMargins(5, 1, 5, 1);
    m_strategyMark->setObjectName(QStringLiteral("strategyMark"));
    const int markSide = QFontMetrics(Style::font(Style::Caption2)).height();
    m_strategyMark->setPixmap(Style::symbol(QStringLiteral("brain.fill"), SystemColors::purple(), markSide,
                                            devicePixelRatioF()));
    m_strategyMark->setToolTip(Localized::text("LLM戦略適用中"));
    auto* switchRow = new QHBoxLayout;
    switchRow->setSpacing(5);
    switchRow->addWidget(m_switch);
    switchRow->addWidget(m_badge);
    switchRow->addWidget(m_strategyMark);
    switchRow->addStretch(1);

    // The level: automatic or manual, and the manual level.
    m_modePicker->setObjectName(QStringLiteral("levelModePicker"));
    m_modePicker->addSegment(Localized::text("自動"), true);
    m_modePicker->addSegment(Localized::text("手動"), false);
    for (QAbstractButton* segment : m_modePicker->segments()) {
        segment->setFont(Style::font(Style::Caption2));
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    m_modePicker->setFixedWidth(110);
    m_manualText->setObjectName(QStringLiteral("manualLevelText"));
    Style::apply(m_manualText, Style::Caption, Style::Secondary);
    Style::setMonospacedDigits(m_manualText);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(captionLabel(Localized::text("レベル"), Style::Caption, m_block));
    modeRow->addWidget(m_modePicker);
    modeRow->addStretch(1);
    modeRow->addWidget(m_manualText);

    m_manualRow->setObjectName(QStringLiteral("manualLevelRow"));
    m_manualSlider->setObjectName(QStringLiteral("manualLevelSlider"));
    m_manualSlider->setRange(1, 3);
    m_manualSlider->setPageStep(1);
    WheelGuard::install(m_manualSlider);
    m_manualSlider->setAccessibleName(Localized::text("レベル"));
    auto* manualLayout = new QHBoxLayout(m_manualRow);
    manualLayout->setContentsMargins(0, 0, 0, 0);
    manualLayout->addWidget(captionLabel(Localized::text("レベル"), Style::Caption, m_manualRow));
    manualLayout->addWidget(captionLabel(QStringLiteral("L1"), Style::Caption2, m_manualRow));
    manualLayout->addWidget(m_manualSlider, 1);
    manualLayout->addWidget(captionLabel(QStringLiteral("L3"), Style::Caption2, m_manualRow));

    // Today's gain, and the way to share it.
    m_gainRow->setObjectName(QStringLiteral("gainRow"));
    m_gain->setObjectName(QStringLiteral("gain"));
    Style::apply(m_gain, Style::Caption, SystemColors::green());
    m_share->setObjectName(QStringLiteral("shareButton"));
    m_share->setAutoRaise(true);
    m_share->setToolTip(Localized::text("実績をシェア"));
    m_share->setAccessibleName(Localized::text("実績をシェア"));
    const int shareSide = QFontMetrics(Style::font(Style::Body)).height();
    m_share->setIcon(Style::symbol(QStringLiteral("square.and.arrow.up"), SystemColors::green(), shareSide,
                                   devicePixelRatioF()));
    m_share->setIconSize(QSize(shareSide, shareSide));
    auto* gainLayout = new QHBoxLayout(m_gainRow);
    gainLayout->setContentsMargins(0, 0, 0, 0);
    gainLayout->addWidget(m_gain);
    gainLayout->addStretch(1);
    gainLayout->addWidget(m_share);

    // On battery: what is slowed down and what uses the most.
    m_throttled->setObjectName(QStringLiteral("throttled"));
    Style::apply(m_throttled, Style::Caption, SystemColors::orange());
    m_drainers->setObjectName(QStringLiteral("drainers"));
    PlainText::apply(m_drainers);
    Style::apply(m_drainers, Style::Caption2, Style::Tertiary);
    m_drainers->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* block = new QVBoxLayout(m_block);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(4);
    block->addLayout(modeRow);
    block->addWidget(m_manualRow);
    block->addWidget(m_gainRow);
    block->addWidget(m_throttled);
    block->addWidget(m_drainers);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addLayout(switchRow);
    layout->addWidget(m_block);

    ChargingSettings& settings = state.settings();
    connect(m_switch, &QCheckBox::toggled, &settings, &ChargingSettings::setAutopilotEnabled);
    connect(m_modePicker, &SegmentedPicker::picked, this,
            [&settings](const QVariant& value) { settings.setPowerLevelAuto(value.toBool()); });
    connect(m_manualSlider, &QSlider::valueChanged, this, [this](int value) { setManualLevelFromSlider(value); });
    connect(m_share, &QToolButton::clicked, this,
            [open = std::move(openWindowAndActivate)] { open(QStringLiteral("share")); });

    PowerSaverEngine& engine = state.powerSaver();
    AIStrategist& strategist = state.strategist();
    connect(&settings, &ChargingSettings::autopilotEnabledChanged, this, &PowerSaverSection::refresh);
    connect(&settings, &ChargingSettings::powerLevelAutoChanged, this, &PowerSaverSection::refresh);
    connect(&settings, &ChargingSettings::manualPowerLevelChanged, this, &PowerSaverSection::refresh);
    connect(&engine, &PowerSaverEngine::levelChanged, this, &PowerSaverSection::refresh);
    connect(&engine, &PowerSaverEngine::extendedTodayMinutesChanged, this, &PowerSaverSection::refresh);
    connect(&engine, &PowerSaverEngine::throttledProcessesChanged, this, &PowerSaverSection::refresh);
    connect(&strategist, &AIStrategist::currentStrategyChanged, this, &PowerSaverSection::refresh);
    connect(&strategist, &AIStrategist::strategyUpdatedAtChanged, this, &PowerSaverSection::refresh);
    connect(&state.tracker(), &ProcessEnergyTracker::latestProcessesChanged, this, &PowerSaverSection::refresh);
    connect(&state, &AppState::snapshotChanged, this, &PowerSaverSection::refresh);
    refresh();
}

QString PowerSaverSection::levelText(int level)
{
    const QStringList names = PowerSaverEngine::levelNames();
    const int shown = std::clamp(level, 0, int(names.size()) - 1);
    return QStringLiteral("L%1 %2").arg(shown).arg(names.at(shown));
}

QColor PowerSaverSection::levelColor(int level)
{
    switch (level) {
    case 3:
        return SystemColors::red();
    case 2:
        return SystemColors::orange();
    default:
        return SystemColors::green();
    }
}

void PowerSaverSection::setManualLevelFromSlider(double value)
{
    m_state.settings().setManualPowerLevel(int(Rounding::halfAwayFromZero(value)));
}

void PowerSaverSection::refresh()
{
    const ChargingSettings& settings = m_state.settings();
    const PowerSaverEngine& engine = m_state.powerSaver();
    const bool autopilot = settings.autopilotEnabled();
    const bool automatic = settings.powerLevelAuto();
    {
        const QSignalBlocker blockSwitch(m_switch);
        const QSignalBlocker blockSlider(m_manualSlider);
        m_switch->setChecked(autopilot);
        m_modePicker->setValue(automatic);
        m_manualSlider->setValue(settings.manualPowerLevel());
    }

    const int level = engine.level();
    m_badge->setVisible(level >= 1);
    m_badge->setText(levelText(level));
    const QColor color = levelColor(std::min(level, 3));
    QColor fill = color;
    fill.setAlphaF(0.2);
    m_badge->setColors(fill, color);
    m_strategyMark->setVisible(m_state.strategist().activeStrategy().has_value());

    m_block->setVisible(autopilot);
    m_manualText->setVisible(!automatic);
    m_manualText->setText(levelText(settings.manualPowerLevel()));
    m_manualRow->setVisible(!automatic);

    const double gain = engine.extendedTodayMinutes();
    m_gainRow->setVisible(gain >= 1.0);
    m_gain->setText(Localized::fmt("今日 +%.0f分延命(推定)", gain));

    const std::optional<BatterySnapshot>& snapshot = m_state.snapshot();
    const bool onBattery = snapshot && !snapshot->externalConnected;
    const qsizetype throttled = engine.throttledProcesses().size();
    m_throttled->setVisible(onBattery && throttled > 0);
    m_throttled->setText(Localized::fmt("%lld件減速中", qint64(throttled)));
    const QStringList drainers = MenuBarView::topDrainerNames(m_state.tracker().latestProcesses());
    m_drainers->setVisible(onBattery && !drainers.isEmpty());
    // One line, cut short with an ellipsis where the names run past the popover's edge.
    const QString line = Localized::fmt("消費大: %@", drainers.join(Localized::text("、")));
    m_drainers->setText(m_drainers->fontMetrics().elidedText(line, Qt::ElideRight, lineWidth));
}

} // namespace kestrune
