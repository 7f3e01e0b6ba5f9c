#pragma once

#include "Kestrune/Storage/BatterySample.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QWidget>

class QAreaSeries;
class QChart;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace kestrune {

// The dashboard's three charts of stored readings, each in a titled box: the charge level
// (0–100 %, a green line over a green fading area), the temperature (orange) and the power
// into or out of the battery (green bars at 0 W and above, orange below). Until there are two
// readings to draw, a note that data is being collected lies over each chart.
//
// The power bars are areas of steps: each reading's bar stands from its own time to the next
// reading's, so the bars keep their place on the time axis where the machine slept and
// nothing was read (a bar series would space them evenly).
class DashboardCharts : public QWidget {
    Q_OBJECT

public:
    // The stretch of time the charts span, and how its labels read.
    struct TimeAxis {
        QDateTime from;
        QDateTime to;
        QString format; // a QDateTime format
        int ticks = 7;
    };

    explicit DashboardCharts(QWidget* parent = nullptr);

    // Replaces what the charts draw with `samples`, oldest first; one reading alone draws nothing.
    void setSamples(const QList<BatterySample>& samples, const TimeAxis& time);

    QChart* socChart() const { return m_soc; }
    QChart* temperatureChart() const { return m_temperature; }
    QChart* wattsChart() const { return m_watts; }
    // The bars of readings at 0 W and above, and below.
    QAreaSeries* chargeBars() const { return m_chargeBars; }
    QAreaSeries* drainBars() const { return m_drainBars; }

private:
    QChart* addChart(const QString& title, const QString& name, int height);
    QDateTimeAxis* addTimeAxis(QChart* chart);
    QValueAxis* addValueAxis(QChart* chart);
    void drawBars(const QList<BatterySample>& samples);

    QChart* m_soc;
    QChart* m_temperature;
    QChart* m_watts;
    QList<QDateTimeAxis*> m_timeAxes;
    QList<QLabel*> m_placeholders;

    QLineSeries* m_socLine;
    QLineSeries* m_socAreaTop;
    QValueAxis* m_temperatureAxis;
    QLineSeries* m_temperatureLine;
    QValueAxis* m_wattsAxis;
    QAreaSeries* m_chargeBars;
    QAreaSeries* m_drainBars;
};

} // namespace kestrune
