#include "Kestrune/UI/PowerSaverStatusSection.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/Evaluation.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "Kestrune/UI/PowerSaverWidgets.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/WheelGuard.h"
#include "Platform/Symbols/SystemColors.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

namespace kestrune {

namespace {

QColor levelColor(int level)
{
    switch (level) {
    case 1:
        return SystemColors::green();
    case 2:
        return SystemColors::orange();
    case 3:
        return SystemColors::red();
    default:
        return SystemColors::gray();
    }
}

// Only a deficit above this is worth a row: less is noise in the drain estimate.
constexpr double shownDeficitW = 0.1;

} // namespace

PowerSaverStatusSection::PowerSaverStatusSection(AppState& state, FormSection* section, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_badge(new CapsuleLabel)
    , m_statusText(PowerSaverWidgets::label())
    , m_levelMode(new SegmentedPicker)
    , m_manualLevel(new QSlider(Qt::Horizontal))
    , m_manualLevelText(PowerSaverWidgets::figures(Style::Body, 110, Qt::AlignRight))
    , m_boost(new QCheckBox(Localized::text("ブースト(AC接続まで最大節電)")))
{
    PowerSaverEngine& engine = state.powerSaver();
    ChargingSettings& settings = state.settings();

    m_badge->setObjectName(QStringLiteral("levelBadge"));
    m_badge->setFont(Style::font(Style::Caption));
    Style::setWeight(m_badge, QFont::Bold);
    m_statusText->setObjectName(QStringLiteral("statusText"));
    section->addRow(Localized::text("オートパイロット"), PowerSaverWidgets::line({m_badge, m_statusText}));

    m_today = section->addTextRow(Localized::text("今日の節電実績"), QStringLiteral("todaySavings"));
    m_runtime = section->addTextRow(Localized::text("推定駆動可能時間"), QStringLiteral("runtime"));
    m_runtimeRow = m_runtime->parentWidget();
    m_runtimeRow->setObjectName(QStringLiteral("runtimeRow"));
    m_target = section->addTextRow(Localized::text("目標(あと)"), QStringLiteral("target"));
    m_targetRow = m_target->parentWidget();
    m_targetRow->setObjectName(QStringLiteral("targetRow"));
    m_deficit = section->addTextRow(Localized::text("削減目標"), QStringLiteral("deficit"));
    m_deficitRow = m_deficit->parentWidget();
    m_deficitRow->setObjectName(QStringLiteral("deficitRow"));

    m_levelMode->setObjectName(QStringLiteral("levelMode"));
    m_levelMode->addSegment(Localized::text("自動調整"), true);
    m_levelMode->addSegment(Localized::text("手動指定"), false);
    section->addRow(Localized::text("省電力レベル"), m_levelMode);

    m_manualLevel->setObjectName(QStringLiteral("manualLevel"));
    m_manualLevel->setRange(1, 3);
    m_manualLevel->setPageStep(1);
    m_manualLevel->setTickPosition(QSlider::TicksBelow);
    WheelGuard::install(m_manualLevel);
    m_manualLevelText->setObjectName(QStringLiteral("manualLevelText"));
    m_manualRow = section->addRow(PowerSaverWidgets::line({PowerSaverWidgets::label(Localized::text("レベル")),
                                                           PowerSaverWidgets::label(QStringLiteral("L1")), m_manualLevel,
                                                           PowerSaverWidgets::label(QStringLiteral("L3")),
                                                           m_manualLevelText}));
    m_manualRow->setObjectName(QStringLiteral("manualLevelRow"));

    m_boost->setObjectName(QStringLiteral("boost"));
    section->addRow(m_boost);

    connect(m_levelMode, &SegmentedPicker::picked, &settings,
            [&settings](const QVariant& automatic) { settings.setPowerLevelAuto(automatic.toBool()); });
    connect(m_manualLevel, &QSlider::valueChanged, &settings,
            [&settings](int level) { settings.setManualPowerLevel(level); });
    // Every flip asks for an evaluation, also one that leaves the engine's value as it was.
    connect(m_boost, &QCheckBox::clicked, this, [this](bool on) {
        m_state.powerSaver().setBoostUntilAC(on);
        Evaluation::start(m_state);
    });

    connect(&engine, &PowerSaverEngine::levelChanged, this, &PowerSaverStatusSection::showLevel);
    connect(&engine, &PowerSaverEngine::statusTextChanged, this, &PowerSaverStatusSection::showLevel);
    connect(&engine, &PowerSaverEngine::extendedTodayMinutesChanged, this, &PowerSaverStatusSection::showToday);
    connect(&engine, &PowerSaverEngine::savedTodayWhChanged, this, &PowerSaverStatusSection::showToday);
    connect(&engine, &PowerSaverEngine::estimatedRuntimeHoursChanged, this, &PowerSaverStatusSection::showRuntime);
    connect(&engine, &PowerSaverEngine::requiredHoursChanged, this, &PowerSaverStatusSection::showTarget);
    connect(&settings, &ChargingSettings::targetAutoLearnChanged, this, &PowerSaverStatusSection::showTarget);
    connect(&engine, &PowerSaverEngine::currentDeficitWChanged, this, &PowerSaverStatusSection::showDeficit);
    connect(&engine, &PowerSaverEngine::expectedSavingsWChanged, this, &PowerSaverStatusSection::showDeficit);
    connect(&settings, &ChargingSettings::autopilotEnabledChanged, this, &PowerSaverStatusSection::showLevelControls);
    connect(&settings, &ChargingSettings::powerLevelAutoChanged, this, &PowerSaverStatusSection::showLevelControls);
    connect(&settings, &ChargingSettings::manualPowerLevelChanged, this, &PowerSaverStatusSection::showManualLevel);
    connect(&engine, &PowerSaverEngine::boostUntilACChanged, this, &PowerSaverStatusSection::showBoost);

    showLevel();
    showToday();
    showRuntime();
    showTarget();
    showDeficit();
    showLevelControls();
    showManualLevel();
    showBoost();
}

QString PowerSaverStatusSection::manualLevelText(int level)
{
    const QStringList titles = PowerSaverEngine::levelNames();
    if (level < 0 || level >= titles.size())
        return Localized::fmt("L%lld", qint64(level));
    return Localized::fmt("L%lld %@", qint64(level), titles.at(level));
}

void PowerSaverStatusSection::showLevel()
{
    const PowerSaverEngine& engine = m_state.powerSaver();
    m_badge->setText(Localized::fmt("L%lld", qint64(engine.level())));
    m_badge->setColors(levelColor(engine.level()));
    m_statusText->setText(engine.statusText());
}

void PowerSaverStatusSection::showToday()
{
    const PowerSaverEngine& engine = m_state.powerSaver();
    if (engine.extendedTodayMinutes() >= 0.5) {
        m_today->setText(Localized::fmt("+%.0f分延命(推定・%.1fWh)", engine.extendedTodayMinutes(), engine.savedTodayWh()));
        Style::setColor(m_today, SystemColors::green());
    } else {
        m_today->setText(Localized::text("まだ実績がありません"));
        Style::setForeground(m_today, Style::Secondary);
    }
}

void PowerSaverStatusSection::showRuntime()
{
    const std::optional<double> hours = m_state.powerSaver().estimatedRuntimeHours();
    m_runtimeRow->setVisible(hours.has_value());
    if (hours)
        m_runtime->setText(PowerSaverView::hoursText(*hours));
}

void PowerSaverStatusSection::showTarget()
{
    if (const std::optional<double> hours = m_state.powerSaver().requiredHours())
        m_target->setText(PowerSaverView::hoursText(*hours));
    else
        m_target->setText(Localized::text("学習中(セッション履歴が3件以上必要)"));
    m_targetRow->setVisible(m_state.powerSaver().requiredHours() || m_state.settings().targetAutoLearn());
}

void PowerSaverStatusSection::showDeficit()
{
    const PowerSaverEngine& engine = m_state.powerSaver();
    m_deficitRow->setVisible(engine.currentDeficitW() > shownDeficitW);
    m_deficit->setText(Localized::fmt("%.1fW(選択済み %.1fW)", engine.currentDeficitW(), engine.expectedSavingsW()));
}

void PowerSaverStatusSection::showLevelControls()
{
    const ChargingSettings& settings = m_state.settings();
    // Turning the autopilot off leaves the choices as they were, only out of reach.
    m_levelMode->setValue(settings.powerLevelAuto());
    m_levelMode->setEnabled(settings.autopilotEnabled());
    m_manualRow->setVisible(!settings.powerLevelAuto());
    m_manualRow->setEnabled(settings.autopilotEnabled());
    m_boost->setEnabled(settings.autopilotEnabled() && settings.powerLevelAuto());
}

void PowerSaverStatusSection::showManualLevel()
{
    const int level = m_state.settings().manualPowerLevel();
    {
        // A stored level outside the slider's range shows at its nearest end, and stays stored.
        const QSignalBlocker blocker(m_manualLevel);
        m_manualLevel->setValue(level);
    }
    m_manualLevelText->setText(manualLevelText(level));
}

void PowerSaverStatusSection::showBoost()
{
    const QSignalBlocker blocker(m_boost);
    m_boost->setChecked(m_state.powerSaver().boostUntilAC());
}

} // namespace kestrune
