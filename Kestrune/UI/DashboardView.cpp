#include "Kestrune/UI/DashboardView.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/DashboardCharts.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WhileShown.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrune {

namespace {

QString dash()
{
    return QStringLiteral("-");
}

QString powerDetailOf(const BatterySnapshot& s)
{
    if (!s.externalConnected)
        // Adding 0 turns a drain of -0.0 W (no current at all) into 0.0.
        return Localized::fmt("放電 %.1fW", -(s.amperageA * s.voltageV) + 0.0);
    const QString adapter
        = s.adapterWatts ? Localized::fmt("アダプタ%lldW ", qint64(*s.adapterWatts)) : QString();
    return adapter + Localized::fmt("充放電 %+.1fW", s.voltageV * s.amperageA);
}

} // namespace

DashboardView::DashboardView(AppState& state, QWidget* parent)
    : QScrollArea(parent)
    , m_state(state)
    , m_picker(new SegmentedPicker(this))
    , m_charts(new DashboardCharts)
{
    setObjectName(QStringLiteral("dashboard"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->addWidget(statCard(QT_TRANSLATE_NOOP("Kestrune", "残量"), QStringLiteral("battery.100percent"),
                        QStringLiteral("chargeCard")),
        0, 0);
    grid->addWidget(statCard(QT_TRANSLATE_NOOP("Kestrune", "最大容量"), QStringLiteral("heart.fill"),
                        QStringLiteral("capacityCard")),
        0, 1);
    grid->addWidget(statCard(QT_TRANSLATE_NOOP("Kestrune", "サイクル数"),
                        QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("cycleCard")),
        1, 0);
    grid->addWidget(statCard(QT_TRANSLATE_NOOP("Kestrune", "温度"), QStringLiteral("thermometer.medium"),
                        QStringLiteral("temperatureCard")),
        1, 1);
    layout->addLayout(grid);
    layout->addWidget(m_charts);
    layout->addStretch(1);
    setWidget(content);

    // Out of sight until the window puts it in its toolbar.
    m_picker->hide();
    m_picker->setObjectName(QStringLiteral("periodPicker"));
    m_picker->setAccessibleName(Localized::text("期間"));
    m_picker->addSegment(Localized::text("24時間"), rawValue(Range::Day));
    m_picker->addSegment(Localized::text("7日間"), rawValue(Range::Week));
    m_picker->addSegment(Localized::text("30日間"), rawValue(Range::Month));
    m_picker->setValue(rawValue(m_range));
    connect(m_picker, &SegmentedPicker::picked, this, [this](const QVariant& value) {
        for (const Range range : { Range::Day, Range::Week, Range::Month })
            if (rawValue(range) == value.toString())
                chooseRange(range);
    });

    // The cards follow every reading and status line, shown or not.
    connect(&m_state, &AppState::snapshotChanged, this, &DashboardView::showCards);
    connect(&m_state.controller(), &ChargeController::statusTextChanged, this, &DashboardView::showCards);
    showCards();

    auto* whileShown = new WhileShown(this);
    whileShown->onShow([this] {
        m_snapshotDate = m_state.snapshot() ? std::optional(m_state.snapshot()->date) : std::nullopt;
        reload();
    });
    whileShown->connect(&m_state, &AppState::snapshotChanged, [this] { snapshotDateChanged(); });
}

QString DashboardView::rawValue(Range range)
{
    switch (range) {
    case Range::Day:
        return QStringLiteral("day");
    case Range::Week:
        return QStringLiteral("week");
    case Range::Month:
        return QStringLiteral("month");
    }
    return QStringLiteral("day");
}

qint64 DashboardView::spanSeconds(Range range)
{
    switch (range) {
    case Range::Day:
        return 86400;
    case Range::Week:
        return 604800;
    case Range::Month:
        return 2592000;
    }
    return 86400;
}

DashboardView::Cards DashboardView::cardsFor(
    const std::optional<BatterySnapshot>& snapshot, const QString& status)
{
    const BatterySnapshot s = snapshot.value_or(BatterySnapshot());
    Cards cards;
    cards.charge = QString::number(s.socPercent) + u'%';
    cards.chargeDetail = status;
    // Without a reading every card reads zero; a reading whose capacity is unknown says so.
    const std::optional<double> health = BatterySample::healthPercentOf(s.designCapacitymAh, s.nominalCapacitymAh);
    cards.capacity = !snapshot || health ? QString::asprintf("%.1f%%", health.value_or(0)) : dash();
    cards.cycles = Localized::fmt("%lld回", qint64(s.cycleCount));
    cards.cycleDetail = !snapshot || s.designCapacitymAh < 1
        ? dash()
        : Localized::fmt(
            "実効 %lld / 設計 %lld mAh", qint64(s.nominalCapacitymAh), qint64(s.designCapacitymAh));
    cards.temperature = QString::asprintf("%.1f°C", s.temperatureC);
    cards.powerDetail = snapshot ? powerDetailOf(s) : dash();
    return cards;
}

QWidget* DashboardView::statCard(const char* title, const QString& symbol, const QString& name)
{
    auto* card = new QGroupBox;
    card->setObjectName(name);
    auto* layout = new QVBoxLayout(card);
    layout->setSpacing(4);
    auto* heading = new SymbolLabel(symbol, Localized::text(title));
    Style::apply(heading, Style::Caption, Style::Secondary);
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("value"));
    PlainText::apply(value);
    Style::apply(value, Style::Title2);
    Style::setWeight(value, QFont::DemiBold);
    Style::setMonospacedDigits(value);
    auto* detail = new QLabel;
    detail->setObjectName(QStringLiteral("detail"));
    PlainText::apply(detail);
    Style::apply(detail, Style::Caption2, Style::Tertiary);
    // One line: a long status is cut at the card's edge rather than widening it.
    detail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(heading);
    layout->addWidget(value);
    layout->addWidget(detail);
    return card;
}

void DashboardView::showCards()
{
    const Cards cards = cardsFor(m_state.snapshot(), m_state.controller().statusText());
    const auto set = [this](const char* card, const char* part, const QString& text) {
        findChild<QWidget*>(QLatin1String(card))->findChild<QLabel*>(QLatin1String(part))->setText(text);
    };
    set("chargeCard", "value", cards.charge);
    set("chargeCard", "detail", cards.chargeDetail);
    set("capacityCard", "value", cards.capacity);
    set("capacityCard", "detail", Localized::text("設計容量比の実効容量"));
    set("cycleCard", "value", cards.cycles);
    set("cycleCard", "detail", cards.cycleDetail);
    set("temperatureCard", "value", cards.temperature);
    set("temperatureCard", "detail", cards.powerDetail);
}

void DashboardView::chooseRange(Range range)
{
    if (range == m_range)
        return;
    m_range = range;
    reload();
}

void DashboardView::snapshotDateChanged()
{
    const std::optional<QDateTime> date
        = m_state.snapshot() ? std::optional(m_state.snapshot()->date) : std::nullopt;
    if (date == m_snapshotDate)
        return;
    m_snapshotDate = date;
    reload();
}

DashboardCharts::TimeAxis DashboardView::timeAxis(
    Range range, const QDateTime& now, const std::optional<QDateTime>& historyStart)
{
    // A history younger than the period, as in the first hours of use, is spread over the
    // width instead of squeezed against its right edge. An older one keeps the period, with
    // the time nothing was read (the machine asleep or off) left empty.
    QDateTime from = now.addSecs(-spanSeconds(range));
    if (historyStart && *historyStart > from.addSecs(leastSpanSeconds))
        from = std::min(*historyStart, now.addSecs(-leastSpanSeconds));
    // Over the whole periods: labels every four hours, every day, every five days. Over a
    // few days, a label a day at most, so that no day is named twice.
    const qint64 seconds = from.secsTo(now);
    if (seconds <= spanSeconds(Range::Day))
        return { from, now, QStringLiteral("H:mm"), 7 };
    if (seconds <= spanSeconds(Range::Week))
        return { from, now, Localized::text("M/d(ddd)"), int(std::min<qint64>(8, seconds / 86400 + 1)) };
    return { from, now, Localized::text("M/d"), 7 };
}

void DashboardView::reload()
{
    const HistoryStore* history = m_state.history();
    const QDateTime now = m_state.clock().now();
    const QDateTime since = now.addSecs(-spanSeconds(m_range));
    m_samples = history ? history->thinnedSamples(since, chartPoints) : QList<BatterySample>();
    const QList<BatterySample> oldest
        = history ? history->samples(QDateTime::fromSecsSinceEpoch(0, Qt::UTC), 1) : QList<BatterySample>();
    m_charts->setSamples(m_samples,
        timeAxis(m_range, now, oldest.isEmpty() ? std::nullopt : std::optional(oldest.first().timestamp)));
    emit reloaded();
}

} // namespace kestrune
