#include "Kestrune/UI/DashboardCharts.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/UI/Style.h"
#include "Platform/Symbols/SystemColors.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QLinearGradient>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrune {

namespace {

qreal msOf(const QDateTime& date)
{
    return qreal(date.toMSecsSinceEpoch());
}

QPen linePen(const QColor& color)
{
    QPen pen(color);
    pen.setWidthF(1.5);
    return pen;
}

// Sets `axis` to whole steps of 1, 2 or 5 (times a power of ten) around the finite values,
// at most four of them, reaching to 0 when asked; nothing to show gets 0 to 1.
void fitAxis(QValueAxis* axis, const QList<double>& values, bool includeZero)
{
    double low = includeZero ? 0 : std::numeric_limits<double>::max();
    double high = includeZero ? 0 : std::numeric_limits<double>::lowest();
    for (const double value : values) {
        if (!std::isfinite(value))
            continue;
        low = std::min(low, value);
        high = std::max(high, value);
    }
    if (low > high) {
        low = 0;
        high = 1;
    }
    // Whole numbers at least: the labels show no decimals.
    const double span = std::max(high - low, 4.0);
    const double magnitude = std::pow(10.0, std::floor(std::log10(span / 4)));
    double step = magnitude;
    for (const double factor : { 1.0, 2.0, 5.0, 10.0 }) {
        step = factor * magnitude;
        if (span / step <= 4)
            break;
    }
    low = std::floor(low / step) * step;
    high = std::max(std::ceil(high / step) * step, low + step);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    axis->setRange(low, high);
}

} // namespace

DashboardCharts::DashboardCharts(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    m_soc = addChart(Localized::text("残量の推移"), QStringLiteral("socChart"), 180);
    m_temperature = addChart(Localized::text("温度の推移"), QStringLiteral("tempChart"), 140);
    m_watts = addChart(Localized::text("充放電電力"), QStringLiteral("wattsChart"), 140);

    const QColor green = SystemColors::green();
    // The area first, under the line.
    m_socAreaTop = new QLineSeries(m_soc);
    auto* area = new QAreaSeries(m_socAreaTop);
    QColor top = green;
    top.setAlphaF(0.25);
    QColor clear = green;
    clear.setAlphaF(0);
    QLinearGradient fade(0, 0, 0, 1);
    fade.setCoordinateMode(QGradient::ObjectBoundingMode);
    fade.setColorAt(0, top);
    fade.setColorAt(1, clear);
    area->setBrush(fade);
    area->setPen(Qt::NoPen);
    m_soc->addSeries(area);
    m_socLine = new QLineSeries;
    m_socLine->setPen(linePen(green));
    m_soc->addSeries(m_socLine);
    QDateTimeAxis* socTime = addTimeAxis(m_soc);
    QValueAxis* socValue = addValueAxis(m_soc);
    socValue->setRange(0, 100);
    for (auto* series : { static_cast<QAbstractSeries*>(area), static_cast<QAbstractSeries*>(m_socLine) }) {
        series->attachAxis(socTime);
        series->attachAxis(socValue);
    }

    m_temperatureLine = new QLineSeries;
    m_temperatureLine->setPen(linePen(SystemColors::orange()));
    m_temperature->addSeries(m_temperatureLine);
    m_temperatureLine->attachAxis(addTimeAxis(m_temperature));
    m_temperatureAxis = addValueAxis(m_temperature);
    m_temperatureLine->attachAxis(m_temperatureAxis);

    // Charge above the zero line, drain below it; each area is closed by a line at 0 W.
    m_chargeBars = new QAreaSeries(new QLineSeries(m_watts), new QLineSeries(m_watts));
    m_drainBars = new QAreaSeries(new QLineSeries(m_watts), new QLineSeries(m_watts));
    m_chargeBars->setColor(green);
    m_drainBars->setColor(SystemColors::orange());
    QDateTimeAxis* wattsTime = addTimeAxis(m_watts);
    m_wattsAxis = addValueAxis(m_watts);
    for (QAreaSeries* bars : { m_chargeBars, m_drainBars }) {
        bars->setPen(Qt::NoPen);
        m_watts->addSeries(bars);
        bars->attachAxis(wattsTime);
        bars->attachAxis(m_wattsAxis);
    }
    const QDateTime now = QDateTime::currentDateTime();
    setSamples({}, TimeAxis { now.addDays(-1), now, QStringLiteral("H:mm"), 7 });
}

QChart* DashboardCharts::addChart(const QString& title, const QString& name, int height)
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));
    auto* view = new QChartView(chart);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFixedHeight(height);
    view->setFrameShape(QFrame::NoFrame);
    view->setStyleSheet(QStringLiteral("background: transparent"));

    auto* placeholder = new QLabel(Localized::text("データを収集中です(1分ごとに記録されます)"));
    placeholder->setObjectName(QStringLiteral("placeholder"));
    Style::apply(placeholder, Style::Caption, Style::Secondary);
    m_placeholders << placeholder;

    auto* box = new QGroupBox(title);
    box->setObjectName(name + QStringLiteral("Box"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(8, 4, 8, 8);
    grid->addWidget(view, 0, 0);
    grid->addWidget(placeholder, 0, 0, Qt::AlignCenter);
    layout()->addWidget(box);
    return chart;
}

QDateTimeAxis* DashboardCharts::addTimeAxis(QChart* chart)
{
    auto* axis = new QDateTimeAxis;
    axis->setLabelsFont(Style::font(Style::Caption2));
    chart->addAxis(axis, Qt::AlignBottom);
    m_timeAxes << axis;
    return axis;
}

QValueAxis* DashboardCharts::addValueAxis(QChart* chart)
{
    auto* axis = new QValueAxis;
    axis->setLabelsFont(Style::font(Style::Caption2));
    axis->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axis, Qt::AlignLeft);
    return axis;
}

void DashboardCharts::setSamples(const QList<BatterySample>& given, const TimeAxis& time)
{
    // A single reading draws no line: the charts keep their note until a second one comes.
    const QList<BatterySample> samples = given.size() >= 2 ? given : QList<BatterySample>();
    QList<QPointF> soc;
    QList<QPointF> temperature;
    QList<double> temperatures;
    soc.reserve(samples.size());
    temperature.reserve(samples.size());
    temperatures.reserve(samples.size());
    for (const BatterySample& sample : samples) {
        const qreal x = msOf(sample.timestamp);
        soc.append(QPointF(x, qreal(sample.soc)));
        if (std::isfinite(sample.temperature)) {
            temperature.append(QPointF(x, sample.temperature));
            temperatures.append(sample.temperature);
        }
    }
    m_socAreaTop->replace(soc);
    m_socLine->replace(soc);
    m_temperatureLine->replace(temperature);
    fitAxis(m_temperatureAxis, temperatures, false);
    drawBars(samples);

    for (QDateTimeAxis* axis : std::as_const(m_timeAxes)) {
        axis->setFormat(time.format);
        axis->setTickCount(time.ticks);
        axis->setRange(time.from, time.to);
    }
    for (QLabel* placeholder : std::as_const(m_placeholders))
        placeholder->setVisible(samples.isEmpty());
}

void DashboardCharts::drawBars(const QList<BatterySample>& samples)
{
    // A bar lasts until the next reading, but no longer than twice the usual spacing: a
    // longer gap is time nothing was read, and stays empty.
    const qsizetype count = samples.size();
    const qreal usual = count > 1
        ? (msOf(samples.last().timestamp) - msOf(samples.first().timestamp)) / qreal(count - 1)
        : qreal(AppState::sampleSpacingSeconds) * 1000;
    QList<QPointF> charge;
    QList<QPointF> drain;
    QList<double> watts;
    charge.reserve(count * 4);
    drain.reserve(count * 4);
    watts.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const qreal start = msOf(samples[i].timestamp);
        const qreal next = i + 1 < count ? msOf(samples[i + 1].timestamp) : start + usual;
        const qreal end = start + std::min(next - start, 2 * usual);
        const double value = std::isfinite(samples[i].watts) ? samples[i].watts : 0;
        watts.append(value);
        const double up = value >= 0 ? value : 0;
        const double down = value < 0 ? value : 0;
        charge << QPointF(start, 0) << QPointF(start, up) << QPointF(end, up) << QPointF(end, 0);
        drain << QPointF(start, 0) << QPointF(start, down) << QPointF(end, down) << QPointF(end, 0);
    }
    const QList<QPointF> zero = count == 0
        ? QList<QPointF>()
        : QList<QPointF> { QPointF(charge.first().x(), 0), QPointF(charge.last().x(), 0) };
    m_chargeBars->upperSeries()->replace(charge);
    m_chargeBars->lowerSeries()->replace(zero);
    m_drainBars->upperSeries()->replace(zero);
    m_drainBars->lowerSeries()->replace(drain);
    fitAxis(m_wattsAxis, watts, true);
}

} // namespace kestrune
