#include "Kestrune/UI/PowerSaverLearningSections.h"

#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/Evaluation.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/PowerSaverWidgets.h"
#include "Kestrune/UI/ProportionalBar.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/SettingToggle.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WheelGuard.h"
#include "Platform/Symbols/SystemColors.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace kestrune {

namespace {

// Five measurements make a learned saving fully trusted.
constexpr double fullConfidenceSamples = 5;
constexpr double trustedConfidence = 0.8;
constexpr double dislikeThreshold = 0.8;
constexpr int weekDays = 7;
// The seven-day line counts from a whole minute gained.
constexpr double shownWeekMinutes = 1;
// The target slider moves in half hours from 1 to 12.
constexpr int stepsPerHour = 2;
constexpr int fewestTargetSteps = 1 * stepsPerHour;
constexpr int mostTargetSteps = 12 * stepsPerHour;

void addToggle(FormSection* section, const char* name, SettingToggle* toggle)
{
    toggle->setObjectName(QString::fromLatin1(name));
    section->addRow(toggle);
}

QWidget* effectRow(const QString& key, const LearnedEffect& effect)
{
    QLabel* name = PowerSaverWidgets::label(PowerActionKeys::displayName(key));
    name->setObjectName(QStringLiteral("effectName"));
    // One line: a long process name is cut at the bar rather than pushing it aside.
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    PlainText::setToolTip(name, name->text());

    const double confidence = std::min(double(effect.samples) / fullConfidenceSamples, 1.0);
    auto* bar = new ProportionalBar(QSize(60, 6), 2);
    bar->setObjectName(QStringLiteral("confidence"));
    bar->setValue(confidence);
    bar->setColor(confidence >= trustedConfidence ? SystemColors::green() : SystemColors::yellow());
    bar->setToolTip(Localized::fmt("信頼度 %lld%%(実測5回で100%%)", Rounding::towardZero(confidence * 100)));

    QLabel* watts = PowerSaverWidgets::figures(Style::Callout, 54, Qt::AlignRight);
    watts->setObjectName(QStringLiteral("effectWatts"));
    watts->setText(Localized::printf(QStringLiteral("%.1fW"), {effect.deltaW}));
    Style::setColor(watts, SystemColors::green());

    QLabel* samples = PowerSaverWidgets::figures(Style::Caption2, 56, Qt::AlignRight);
    samples->setObjectName(QStringLiteral("effectSamples"));
    samples->setText(Localized::fmt("実測%lld回", effect.samples));
    Style::setForeground(samples, Style::Tertiary);

    QWidget* row = PowerSaverWidgets::line({name, bar, watts, samples});
    PowerSaverWidgets::stretch(row, name);
    return row;
}

} // namespace

PowerSaverLearningSections::PowerSaverLearningSections(AppState& state, FormSection* learning, FormSection* settings,
                                                       FormSection* services, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
    fillLearning(learning);
    fillSettings(settings);
    fillServices(services);
    showEffects();
    refresh();
    showTargetControls();
    showTargetHours();
}

PowerSaverLearningSections::~PowerSaverLearningSections() = default;

void PowerSaverLearningSections::refresh()
{
    showDislikes();
    showWeek();
}

void PowerSaverLearningSections::fillLearning(FormSection* section)
{
    m_effects = std::make_unique<PowerSaverRowGroup>(section);
    QLabel* intro = PowerSaverWidgets::label(
        Localized::text("バッテリー駆動中にアクションを適用しながら効果を実測学習します。"), Style::Body, Style::Secondary);
    intro->setWordWrap(true);
    m_introRow = section->addRow(intro);
    m_introRow->setObjectName(QStringLiteral("effectsIntro"));

    m_dislikes = PowerSaverWidgets::label({}, Style::Caption, Style::Secondary);
    m_dislikes->setObjectName(QStringLiteral("dislikes"));
    m_dislikes->setWordWrap(true);
    auto* title = new SymbolLabel(QStringLiteral("hand.raised.fill"), Localized::text("学習した好み(自動で避けます)"));
    Style::apply(title, Style::Caption, SystemColors::orange());
    m_dislikesRow = section->addRow(PowerSaverWidgets::stack({title, m_dislikes}, 3));
    m_dislikesRow->setObjectName(QStringLiteral("dislikesRow"));

    m_week = section->addTextRow(Localized::text("7日間の実績"), QStringLiteral("weekLine"));

    const SavingsModel* savings = &m_state.savings();
    connect(savings, &SavingsModel::effectsChanged, this, &PowerSaverLearningSections::showEffects);
    connect(savings, &SavingsModel::penaltiesChanged, this, &PowerSaverLearningSections::showDislikes);
    const PowerSaverEngine* engine = &m_state.powerSaver();
    connect(engine, &PowerSaverEngine::extendedTodayMinutesChanged, this, &PowerSaverLearningSections::showWeek);
    connect(engine, &PowerSaverEngine::savedTodayWhChanged, this, &PowerSaverLearningSections::showWeek);
    connect(&m_state, &AppState::snapshotChanged, this, &PowerSaverLearningSections::refresh);
}

void PowerSaverLearningSections::fillSettings(FormSection* section)
{
    using Settings = ChargingSettings;
    ChargingSettings* settings = &m_state.settings();
    addToggle(section, "autopilotEnabled",
              new SettingToggle(Localized::text("省電力オートパイロットを有効にする"), *settings, &Settings::autopilotEnabled,
                                &Settings::setAutopilotEnabled, &Settings::autopilotEnabledChanged));
    addToggle(section, "autoDimEnabled",
              new SettingToggle(Localized::text("画面輝度の自動減光"), *settings, &Settings::autoDimEnabled,
                                &Settings::setAutoDimEnabled, &Settings::autoDimEnabledChanged));
    addToggle(section, "kbBacklightOffEnabled",
              new SettingToggle(Localized::text("キーボードバックライトを消灯"), *settings, &Settings::kbBacklightOffEnabled,
                                &Settings::setKbBacklightOffEnabled, &Settings::kbBacklightOffEnabledChanged));
    addToggle(section, "notifyPowerActions",
              new SettingToggle(Localized::text("アクションを通知"), *settings, &Settings::notifyPowerActions,
                                &Settings::setNotifyPowerActions, &Settings::notifyPowerActionsChanged));

    m_targetMode = new SegmentedPicker;
    m_targetMode->setObjectName(QStringLiteral("targetMode"));
    m_targetMode->addSegment(Localized::text("自動学習(使用パターンから予測)"), true);
    m_targetMode->addSegment(Localized::text("手動指定"), false);
    section->addRow(Localized::text("目標駆動時間"), m_targetMode);
    connect(m_targetMode, &SegmentedPicker::picked, settings,
            [settings](const QVariant& learn) { settings->setTargetAutoLearn(learn.toBool()); });

    m_targetHours = new QSlider(Qt::Horizontal);
    m_targetHours->setObjectName(QStringLiteral("targetHours"));
    m_targetHours->setRange(fewestTargetSteps, mostTargetSteps);
    m_targetHours->setPageStep(stepsPerHour);
    WheelGuard::install(m_targetHours);
    m_targetHoursText = PowerSaverWidgets::figures(Style::Body, 70, Qt::AlignRight);
    m_targetHoursText->setObjectName(QStringLiteral("targetHoursText"));
    QPushButton* apply = PowerSaverWidgets::smallButton(Localized::text("今から適用"));
    apply->setObjectName(QStringLiteral("applyTarget"));
    m_targetRow = section->addRow(PowerSaverWidgets::line(
        {PowerSaverWidgets::label(Localized::text("目標")), m_targetHours, m_targetHoursText, apply}));
    m_targetRow->setObjectName(QStringLiteral("targetHoursRow"));
    connect(m_targetHours, &QSlider::valueChanged, settings,
            [settings](int steps) { settings->setManualTargetHours(double(steps) / stepsPerHour); });
    // Applying the same hours again still starts the target's clock anew.
    connect(apply, &QPushButton::clicked, this, [this] {
        m_state.settings().setManualTargetSetAt(m_state.clock().now());
        Evaluation::start(m_state);
    });

    connect(settings, &ChargingSettings::targetAutoLearnChanged, this, &PowerSaverLearningSections::showTargetControls);
    connect(settings, &ChargingSettings::manualTargetHoursChanged, this, &PowerSaverLearningSections::showTargetHours);
}

void PowerSaverLearningSections::fillServices(FormSection* section)
{
    using Settings = ChargingSettings;
    ChargingSettings& settings = m_state.settings();
    addToggle(section, "pauseSpotlight",
              new SettingToggle(Localized::text("Spotlightインデックス作成を一時停止"), settings,
                                &Settings::pauseSpotlightOnBattery, &Settings::setPauseSpotlightOnBattery,
                                &Settings::pauseSpotlightOnBatteryChanged));
    addToggle(section, "pauseTimeMachine",
              new SettingToggle(Localized::text("Time Machine自動バックアップを一時停止"), settings,
                                &Settings::pauseTimeMachineOnBattery, &Settings::setPauseTimeMachineOnBattery,
                                &Settings::pauseTimeMachineOnBatteryChanged));
    section->addNote(Localized::text("どちらもAC再接続時に自動で再開されます。"));
}

void PowerSaverLearningSections::showEffects()
{
    m_effects->clear();
    const std::vector<SavingsModel::KeyEffect> effects = m_state.savings().learnedEffectList();
    for (std::size_t i = 0; i < effects.size() && i < std::size_t(shownEffects); ++i)
        m_effects->add(effectRow(effects[i].key, effects[i].effect))->setObjectName(QStringLiteral("effectRow"));
    m_introRow->setVisible(effects.empty());
}

void PowerSaverLearningSections::showDislikes()
{
    const SavingsModel& savings = m_state.savings();
    const std::vector<SavingsModel::KeyScore> disliked = savings.dislikedActions(dislikeThreshold, m_state.clock().now());
    QStringList lines;
    for (std::size_t i = 0; i < disliked.size() && i < std::size_t(shownDislikes); ++i)
        lines << Localized::fmt("%@ — 巻き戻し傾向 %.1f", PowerActionKeys::displayName(disliked[i].key), disliked[i].score);
    m_dislikes->setText(lines.join(QLatin1Char('\n')));
    m_dislikesRow->setVisible(!lines.isEmpty());
}

void PowerSaverLearningSections::showWeek()
{
    double wh = 0;
    double minutes = 0;
    if (const HistoryStore* history = m_state.history())
        for (const SavingsDailyRecord& day : history->recentSavings(weekDays, m_state.clock().now())) {
            wh += day.savedWh;
            minutes += day.extendedMinutes;
        }
    // The minutes alone decide: watt-hours that bought less than a minute are not shown.
    m_week->setText(minutes >= shownWeekMinutes ? Localized::fmt("+%.0f分延命(%.1fWh)", minutes, wh)
                                                : QStringLiteral("-"));
}

void PowerSaverLearningSections::showTargetControls()
{
    const bool learn = m_state.settings().targetAutoLearn();
    m_targetMode->setValue(learn);
    m_targetRow->setVisible(!learn);
}

void PowerSaverLearningSections::showTargetHours()
{
    const double hours = m_state.settings().manualTargetHours();
    {
        // Hours off the half-hour grid show at the nearest step and stay stored as they are.
        const QSignalBlocker blocker(m_targetHours);
        m_targetHours->setValue(int(Rounding::toInteger(hours * stepsPerHour)));
    }
    m_targetHoursText->setText(Localized::fmt("%.1f時間", hours));
}

} // namespace kestrune
