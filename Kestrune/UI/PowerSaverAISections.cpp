#include "Kestrune/UI/PowerSaverAISections.h"

#include "Foundation/Localized.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Share/SavingsStats.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/PowerSaverWidgets.h"
#include "Kestrune/UI/SettingToggle.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace kestrune {

namespace {

// Less than half a minute rounds to nothing worth a "+".
constexpr double shownMinutes = 0.5;
constexpr int shownStreakDays = 2;
// Between the strategy's small facts, which wrap as one text when they are long.
constexpr QLatin1StringView factGap{"   "};

void showMinutes(QLabel* label, double minutes)
{
    if (minutes >= shownMinutes) {
        label->setText(QLatin1Char('+') + SavingsStats::formattedDuration(minutes));
        Style::setColor(label, SystemColors::green());
    } else {
        label->setText(QStringLiteral("-"));
        Style::setForeground(label, Style::Secondary);
    }
}

// A list of process names as one text, or nothing when there is none to show.
std::optional<QString> joined(const std::optional<QStringList>& names)
{
    if (!names || names->isEmpty())
        return std::nullopt;
    return names->join(Localized::text("、"));
}

void showOptional(QLabel* label, const std::optional<QString>& text)
{
    label->setVisible(text.has_value());
    label->setText(text.value_or(QString()));
}

SymbolLabel* blockTitle(const char* symbol, const QString& text, const QColor& color)
{
    auto* title = new SymbolLabel(QString::fromLatin1(symbol), text);
    Style::apply(title, Style::Caption, color);
    return title;
}

QLabel* paragraph(Style::TextStyle style)
{
    QLabel* label = PowerSaverWidgets::label({}, style);
    label->setWordWrap(true);
    return label;
}

} // namespace

PowerSaverAISections::PowerSaverAISections(AppState& state, OpenWindow openWindow, FormSection* achievements,
                                           FormSection* engine, FormSection* report, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_openWindow(std::move(openWindow))
{
    fillAchievements(achievements);
    fillEngine(engine);
    fillReport(report);
    refresh();
    showUsage();
    showReports();
}

void PowerSaverAISections::refresh()
{
    showAchievements();
    showStrategy();
}

void PowerSaverAISections::fillAchievements(FormSection* section)
{
    m_week = section->addTextRow(Localized::text("今週の合計"), QStringLiteral("weekSavings"));
    m_total = section->addTextRow(Localized::text("累計"), QStringLiteral("totalSavings"));
    m_streak = section->addTextRow(Localized::text("継続実績"), QStringLiteral("streak"));
    m_streakRow = m_streak->parentWidget();
    m_streakRow->setObjectName(QStringLiteral("streakRow"));

    auto* share = new QPushButton(Localized::text("実績をシェア"));
    share->setObjectName(QStringLiteral("share"));
    share->setIcon(Style::symbol(QStringLiteral("square.and.arrow.up"), share->palette().color(QPalette::ButtonText),
                                 share->fontMetrics().height()));
    share->setAutoDefault(false);
    share->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QLabel* note = PowerSaverWidgets::label(Localized::text("実績カードを画像にしてSNSでシェアできます。"), Style::Caption,
                                            Style::Secondary);
    note->setWordWrap(true);
    QWidget* shareLine = PowerSaverWidgets::line({share, note});
    PowerSaverWidgets::stretch(shareLine, note);
    section->addRow(shareLine);
    // The share window comes to the front, above whatever else is open.
    connect(share, &QPushButton::clicked, this, [this] {
        if (m_openWindow)
            m_openWindow(QStringLiteral("share"));
    });

    // The summary is taken anew whenever the ledger moves; the clock's own progress (a new
    // week, a streak that lapses overnight) shows at the next reading or the next showing.
    const PowerSaverEngine* saver = &m_state.powerSaver();
    connect(saver, &PowerSaverEngine::extendedTodayMinutesChanged, this, &PowerSaverAISections::showAchievements);
    connect(saver, &PowerSaverEngine::totalExtendedMinutesChanged, this, &PowerSaverAISections::showAchievements);
    connect(&m_state, &AppState::snapshotChanged, this, &PowerSaverAISections::showAchievements);
}

void PowerSaverAISections::fillEngine(FormSection* section)
{
    using Settings = ChargingSettings;
    ChargingSettings& settings = m_state.settings();
    auto* planner = new SettingToggle(Localized::text("LLM戦略プランナーを有効にする"), settings, &Settings::llmEnabled,
                                      &Settings::setLlmEnabled, &Settings::llmEnabledChanged);
    planner->setObjectName(QStringLiteral("llmEnabled"));
    section->addRow(planner);
    auto* reports = new SettingToggle(Localized::text("セッション終了時にAIレポートを生成"), settings,
                                      &Settings::llmSessionReports, &Settings::setLlmSessionReports,
                                      &Settings::llmSessionReportsChanged);
    reports->setObjectName(QStringLiteral("llmSessionReports"));
    section->addRow(reports);
    m_usage = section->addTextRow(Localized::text("本日の使用量"), QStringLiteral("usage"));

    const AIStrategist* strategist = &m_state.strategist();
    connect(strategist, &AIStrategist::callsTodayChanged, this, &PowerSaverAISections::showUsage);
    connect(strategist, &AIStrategist::tokensTodayChanged, this, &PowerSaverAISections::showUsage);
}

void PowerSaverAISections::fillReport(FormSection* section)
{
    m_reasoning = paragraph(Style::Body);
    m_reasoning->setObjectName(QStringLiteral("reasoning"));
    m_facts = paragraph(Style::Caption2);
    Style::setForeground(m_facts, Style::Tertiary);
    m_facts->setObjectName(QStringLiteral("strategyFacts"));
    m_updated = PowerSaverWidgets::label({}, Style::Caption2, Style::Tertiary);
    m_updated->setObjectName(QStringLiteral("strategyUpdated"));
    m_strategyRow = section->addRow(PowerSaverWidgets::stack(
        {blockTitle("brain.fill", Localized::text("現在のAI戦略"), SystemColors::purple()), m_reasoning, m_facts, m_updated},
        4));
    m_strategyRow->setObjectName(QStringLiteral("strategyRow"));
    m_placeholder = paragraph(Style::Body);
    Style::setForeground(m_placeholder, Style::Secondary);
    m_placeholder->setObjectName(QStringLiteral("strategyPlaceholder"));
    m_placeholderRow = section->addRow(m_placeholder);

    m_generate = new QPushButton(Localized::text("戦略を今すぐ生成"));
    m_generate->setObjectName(QStringLiteral("generateStrategy"));
    m_generate->setAutoDefault(false);
    m_generate->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_calling = new QProgressBar;
    m_calling->setObjectName(QStringLiteral("strategyProgress"));
    m_calling->setRange(0, 0);
    m_calling->setTextVisible(false);
    m_calling->setFixedSize(48, 8);
    m_note = PowerSaverWidgets::label({}, Style::Caption);
    m_note->setObjectName(QStringLiteral("strategyNote"));
    // One line at most: a long error is cut at the row's end and read whole in its tooltip.
    m_note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QWidget* actions = PowerSaverWidgets::line({m_generate, m_calling, m_note});
    PowerSaverWidgets::stretch(actions, m_note);
    section->addRow(actions);
    connect(m_generate, &QPushButton::clicked, this, &PowerSaverAISections::requestStrategy);

    m_report = paragraph(Style::Callout);
    m_report->setObjectName(QStringLiteral("sessionReport"));
    m_reportAt = PowerSaverWidgets::label({}, Style::Caption2, Style::Tertiary);
    m_reportRow = section->addRow(PowerSaverWidgets::stack(
        {blockTitle("doc.text.fill", Localized::text("最新のセッションレポート"), SystemColors::blue()), m_report,
         m_reportAt},
        4));
    m_diagnosis = paragraph(Style::Callout);
    m_diagnosis->setObjectName(QStringLiteral("diagnosis"));
    m_diagnosisRow = section->addRow(PowerSaverWidgets::stack(
        {blockTitle("stethoscope", Localized::text("直近のAI異常診断"), SystemColors::orange()), m_diagnosis}, 4));

    // Readiness follows the planner switch and the backend's state; the button also follows
    // the external-power flag of each reading.
    const AIStrategist* strategist = &m_state.strategist();
    const BackendClient* backend = &m_state.backend();
    const ChargingSettings* settings = &m_state.settings();
    for (auto signal : {&AIStrategist::currentStrategyChanged, &AIStrategist::strategyUpdatedAtChanged,
                        &AIStrategist::lastErrorChanged})
        connect(strategist, signal, this, &PowerSaverAISections::showStrategy);
    connect(strategist, &AIStrategist::isCallingChanged, this, &PowerSaverAISections::showStrategy);
    for (auto signal : {&BackendClient::lastHealthChanged, &BackendClient::deviceIDChanged})
        connect(backend, signal, this, &PowerSaverAISections::showStrategy);
    connect(backend, &BackendClient::networkAvailableChanged, this, &PowerSaverAISections::showStrategy);
    connect(backend, &BackendClient::serverReachableChanged, this, &PowerSaverAISections::showStrategy);
    connect(settings, &ChargingSettings::llmEnabledChanged, this, &PowerSaverAISections::showStrategy);
    connect(settings, &ChargingSettings::backendEnabledChanged, this, &PowerSaverAISections::showStrategy);
    connect(settings, &ChargingSettings::llmProviderChanged, this, &PowerSaverAISections::showStrategy);
    connect(&m_state, &AppState::snapshotChanged, this, &PowerSaverAISections::showStrategy);
    for (auto signal : {&AIStrategist::lastSessionReportChanged, &AIStrategist::lastSessionReportAtChanged,
                        &AIStrategist::lastDiagnosisChanged})
        connect(strategist, signal, this, &PowerSaverAISections::showReports);
}

void PowerSaverAISections::showAchievements()
{
    const SavingsStats::Summary summary = m_state.powerSaver().savingsSummary(m_state.clock().now());
    showMinutes(m_week, summary.weekMinutes);
    showMinutes(m_total, summary.totalMinutes);
    m_streakRow->setVisible(summary.streakDays >= shownStreakDays);
    m_streak->setText(Localized::fmt("%lld日連続", qint64(summary.streakDays)));
}

void PowerSaverAISections::showUsage()
{
    const AIStrategist& strategist = m_state.strategist();
    m_usage->setText(Localized::fmt("%lld回 / 約%lldトークン", strategist.callsToday(), strategist.tokensToday()));
}

void PowerSaverAISections::showStrategy()
{
    const AIStrategist& strategist = m_state.strategist();
    const std::optional<AIStrategist::Strategy> strategy = strategist.activeStrategy();
    m_strategyRow->setVisible(strategy.has_value());
    m_placeholderRow->setVisible(!strategy);
    if (strategy) {
        showOptional(m_reasoning, strategy->reasoning);
        QStringList facts;
        if (strategy->targetDrainWatts)
            facts << Localized::fmt("目標 %.1fW", *strategy->targetDrainWatts);
        if (const std::optional<QString> recommended = joined(strategy->throttleRecommended))
            facts << Localized::fmt("推奨減速: %@", *recommended);
        if (const std::optional<QString> avoid = joined(strategy->throttleAvoid))
            facts << Localized::fmt("回避: %@", *avoid);
        showOptional(m_facts, facts.isEmpty() ? std::nullopt : std::optional(facts.join(factGap)));
        const std::optional<QDateTime> updated = strategist.strategyUpdatedAt();
        showOptional(m_updated, updated ? std::optional(Localized::fmt("更新: %@", PowerSaverWidgets::dateText(
                                                                                      *updated, m_state.calendar(),
                                                                                      Localized::text("H:mm"))))
                                        : std::nullopt);
    } else {
        m_placeholder->setText(strategist.isReady() ? Localized::text("バッテリー駆動中に自動で戦略が生成されます。")
                                                    : Localized::text("LLM未接続(オンデバイス学習のみで動作中)。"));
    }

    // Today is asked of the clock at every showing, so the button comes back after midnight.
    const QString today = m_state.calendar().dayOf(m_state.clock().now()).toString(Qt::ISODate);
    const bool generatedToday = strategist.strategyDay() == today;
    const std::optional<BatterySnapshot>& snapshot = m_state.snapshot();
    m_generate->setEnabled(strategist.isReady() && !generatedToday && snapshot && !snapshot->externalConnected);
    m_calling->setVisible(strategist.isCalling());

    const std::optional<QString> error = strategist.lastError();
    if (generatedToday) {
        m_note->setText(Localized::text("本日分は生成済み(生成は1日1回)"));
        Style::setForeground(m_note, Style::Secondary);
    } else if (error) {
        m_note->setText(*error);
        Style::setColor(m_note, SystemColors::orange());
    } else {
        // Left empty rather than hidden: it keeps the button at the row's leading edge.
        m_note->clear();
    }
    PlainText::setToolTip(m_note, generatedToday || !error ? QString() : *error);
}

void PowerSaverAISections::showReports()
{
    const AIStrategist& strategist = m_state.strategist();
    const std::optional<QString> report = strategist.lastSessionReport();
    m_reportRow->setVisible(report.has_value());
    m_report->setText(report.value_or(QString()));
    const std::optional<QDateTime> at = strategist.lastSessionReportAt();
    showOptional(m_reportAt, at ? std::optional(PowerSaverWidgets::dateText(*at, m_state.calendar(),
                                                                             Localized::text("yyyy/MM/dd H:mm")))
                                : std::nullopt);
    const std::optional<QString> diagnosis = strategist.lastDiagnosis();
    m_diagnosisRow->setVisible(diagnosis.has_value());
    m_diagnosis->setText(diagnosis.value_or(QString()));
}

void PowerSaverAISections::requestStrategy()
{
    // Asked with the reading and the level of the moment the task runs; without a reading
    // there is nothing to plan from.
    QTimer::singleShot(0, &m_state, [state = &m_state] {
        if (const std::optional<BatterySnapshot>& snapshot = state->snapshot())
            state->powerSaver().requestStrategyUpdate(*snapshot, state->powerSaver().level(), true);
    });
}

} // namespace kestrune
