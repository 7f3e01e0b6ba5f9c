#include "Kestrune/UI/InsightsView.h"

#include "Foundation/Localized.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/ProportionalBar.h"
#include "Kestrune/UI/SettingToggle.h"
#include "Kestrune/UI/Stepper.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WhileShown.h"
#include "Platform/Symbols/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrune {

namespace {

// One measured application: its name, its bar against the heaviest one, and its figure.
QWidget* processRow(const ProcessPowerSample& process, double share)
{
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("process"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* name = new QLabel(process.name);
    name->setObjectName(QStringLiteral("name"));
    PlainText::apply(name);
    // One line: a long name is cut at the bar rather than pushing it away.
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* bar = new ProportionalBar(QSize(160, 8), 3);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setGradient(true);
    bar->setValue(share);
    auto* figure = new QLabel(QString::asprintf("%.1f", process.energyImpact));
    figure->setObjectName(QStringLiteral("impact"));
    Style::apply(figure, Style::Caption, Style::Secondary);
    Style::setMonospacedDigits(figure);
    figure->setFixedWidth(52);
    figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(name, 1);
    layout->addWidget(bar);
    layout->addWidget(figure);
    return row;
}

} // namespace

InsightsView::InsightsView(AppState& state, QWidget* parent)
    : GroupedForm(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("insights"));
    ChargingSettings& settings = m_state.settings();

    FormSection* jit = addSection(Localized::text("AI充電(ジャストインタイム)"));
    auto* enabled = new SettingToggle(Localized::text("AI充電を有効にする"), settings,
        &ChargingSettings::adaptiveEnabled, &ChargingSettings::setAdaptiveEnabled,
        &ChargingSettings::adaptiveEnabledChanged);
    enabled->setObjectName(QStringLiteral("adaptiveEnabled"));
    jit->addRow(enabled);
    m_buffer = new Stepper(10, 180, 5);
    m_buffer->setObjectName(QStringLiteral("bufferStepper"));
    jit->addRow(m_buffer);
    connect(m_buffer, &Stepper::stepped, &settings, &ChargingSettings::setAdaptiveBufferMinutes);
    jit->addNote(
        Localized::text("普段ケーブルを抜く時刻を学習し、直前まで上限で待機してから満充電に切り替えます。"
                        "上限運用の劣化抑制と、出発時の満充電を両立します。"));

    FormSection* learning = addSection(Localized::text("学習状況"));
    m_prediction = learning->addTextRow(Localized::text("次の取り外し予測"), QStringLiteral("prediction"));
    m_samples = learning->addTextRow(Localized::text("学習サンプル数"), QStringLiteral("sampleCount"));
    m_chargeSpeed = learning->addTextRow(Localized::text("学習した充電速度"), QStringLiteral("chargeSpeed"));
    m_drain = learning->addTextRow(Localized::text("通常のバッテリー消費"), QStringLiteral("typicalDrain"));
    auto* jitActive = new SymbolLabel(QStringLiteral("bolt.badge.clock"),
        Localized::text("現在AI充電ウィンドウ内: 満充電に向けて充電中です"));
    jitActive->setObjectName(QStringLiteral("jitActive"));
    Style::setColor(jitActive, SystemColors::green());
    jitActive->setWordWrap(true);
    m_jitRow = learning->addRow(jitActive);

    FormSection* apps = addSection();
    auto* title = new QWidget;
    auto* titleLayout = new QHBoxLayout(title);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->addWidget(new QLabel(Localized::text("アプリ別電力(相対値)")), 1);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("measuring"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(48, 10);
    titleLayout->addWidget(m_progress);
    m_measure = new QPushButton(Localized::text("計測する"));
    m_measure->setObjectName(QStringLiteral("measure"));
    titleLayout->addWidget(m_measure);
    apps->addRow(title);
    connect(m_measure, &QPushButton::clicked, this,
        [this] { QTimer::singleShot(0, &m_state, [&state = m_state] { state.refreshInsights(); }); });
    auto* warning
        = SymbolLabel::warning(Localized::text("計測にはヘルパーの有効化が必要です(「一般」タブから)"));
    warning->setObjectName(QStringLiteral("helperWarning"));
    m_warningRow = apps->addRow(warning);
    QLabel* hint = apps->addNote(
        Localized::text("「計測する」を押すと、約3秒間サンプリングして消費電力の多いアプリを表示します。"));
    hint->setObjectName(QStringLiteral("hint"));
    m_hintRow = hint->parentWidget();
    auto* empty = new QLabel(Localized::text("計測データがありません。"));
    empty->setObjectName(QStringLiteral("empty"));
    Style::setForeground(empty, Style::Secondary);
    m_emptyRow = apps->addRow(empty);
    m_list = new QWidget;
    m_list->setObjectName(QStringLiteral("processList"));
    auto* listLayout = new QVBoxLayout(m_list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    m_listRow = apps->addRow(m_list);

    connect(&settings, &ChargingSettings::adaptiveBufferMinutesChanged, this, &InsightsView::showBuffer);
    AdaptiveEngine& adaptive = m_state.adaptive();
    for (auto signal : { &AdaptiveEngine::predictedUnplugChanged, &AdaptiveEngine::unplugSampleCountChanged,
             &AdaptiveEngine::minutesPerPercentChanged, &AdaptiveEngine::typicalDrainWattsChanged })
        connect(&adaptive, signal, this, &InsightsView::showLearning);
    connect(&m_state.controller(), &ChargeController::jitActiveChanged, this, &InsightsView::showLearning);
    connect(&m_state, &AppState::snapshotChanged, this, &InsightsView::showLearning);
    connect(&m_state.helper(), &HelperClient::isConnectedChanged, this, &InsightsView::showMeasurement);
    connect(&m_state, &AppState::insightsLoadingChanged, this, &InsightsView::showMeasurement);
    connect(&m_state, &AppState::insightsChanged, this, [this] {
        fillList();
        showMeasurement();
    });
    showBuffer();
    showLearning();
    fillList();
    showMeasurement();

    auto* whileShown = new WhileShown(this);
    whileShown->onShow([this] { m_state.adaptive().refreshPrediction(m_state.clock().now()); });
}

QString InsightsView::predictionText(const std::optional<QDateTime>& predictedUnplug)
{
    if (!predictedUnplug)
        return Localized::text("学習中(取り外しイベントが3件以上必要)");
    // Month, day, weekday, hour in the language's own style, and minutes.
    return QLocale().toString(predictedUnplug->toLocalTime(), Localized::text("M/d(ddd) H:mm"));
}

int InsightsView::remainingPercent(const std::optional<int>& socPercent)
{
    return std::max(0, 100 - socPercent.value_or(100));
}

QList<double> InsightsView::barShares(const PowerMetricsReport& report)
{
    double largest = report.processes.empty() ? 1.0 : report.processes.front().energyImpact;
    for (const ProcessPowerSample& process : report.processes)
        largest = std::max(largest, process.energyImpact);
    const double divisor = std::max(largest, 0.001);
    QList<double> shares;
    for (const ProcessPowerSample& process : report.processes) {
        if (shares.size() == listedProcesses)
            break;
        shares << process.energyImpact / divisor;
    }
    return shares;
}

void InsightsView::showBuffer()
{
    const ChargingSettings& settings = m_state.settings();
    m_buffer->setValue(settings.adaptiveBufferMinutes());
    m_buffer->setText(Localized::fmt("余裕時間: %lld分前に完了", qint64(settings.adaptiveBufferMinutes())));
}

void InsightsView::showLearning()
{
    const AdaptiveEngine& adaptive = m_state.adaptive();
    m_prediction->setText(predictionText(adaptive.predictedUnplug()));
    m_samples->setText(Localized::fmt("%lld件の取り外しイベント", qint64(adaptive.unplugSampleCount())));
    const int remaining = remainingPercent(
        m_state.snapshot() ? std::optional<int>(m_state.snapshot()->socPercent) : std::nullopt);
    const double minutesPerPercent = adaptive.minutesPerPercent();
    m_chargeSpeed->setText(Localized::fmt("約%.1f分/%%(100%%まで残り%d%%なら約%.0f分)", minutesPerPercent,
        qint64(remaining), minutesPerPercent * remaining));
    m_drain->setText(Localized::fmt("約%.1fW", adaptive.typicalDrainWatts()));
    m_jitRow->setVisible(m_state.controller().jitActive());
}

void InsightsView::showMeasurement()
{
    const bool connected = m_state.helper().isConnected();
    const bool loading = m_state.insightsLoading();
    const std::optional<PowerMetricsReport>& report = m_state.insights();
    m_progress->setVisible(loading);
    m_measure->setEnabled(connected && !loading);

    // Exactly one of the four, the first that applies.
    const bool warn = !connected;
    const bool hint = !warn && !report;
    const bool empty = !warn && !hint && report->processes.empty();
    m_warningRow->setVisible(warn);
    m_hintRow->setVisible(hint);
    m_emptyRow->setVisible(empty);
    m_listRow->setVisible(!warn && !hint && !empty);
}

void InsightsView::fillList()
{
    QLayout* layout = m_list->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::optional<PowerMetricsReport>& report = m_state.insights();
    if (!report)
        return;
    const QList<double> shares = barShares(*report);
    for (qsizetype i = 0; i < shares.size(); ++i) {
        QWidget* row = processRow(report->processes[size_t(i)], shares[i]);
        layout->addWidget(row);
        // Counted by the list's layout at once, also while the tab has never been shown.
        row->show();
    }
}

} // namespace kestrune
