#pragma once

#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Storage/BatterySample.h"
#include "Kestrune/UI/DashboardCharts.h"

#include <QDateTime>
#include <QList>
#include <QScrollArea>
#include <QString>

#include <optional>

class QLabel;

namespace kestrune {

class AppState;
class SegmentedPicker;

// The main window's dashboard: the battery as it is now in four cards (charge, capacity
// against the design, cycles, temperature and power) and its recent history in three charts
// over a period the user picks in the window's toolbar. It only reads.
//
// The charts are fetched again when the dashboard is shown, when the period changes and,
// while it is shown, with each new reading. Their time axis spans the period, or, while the
// history is younger than the period, from its first reading (a quarter hour at least) to now.
class DashboardView : public QScrollArea {
    Q_OBJECT

public:
    enum class Range { Day, Week, Month };
    // The most readings a chart draws.
    static constexpr int chartPoints = 800;
    // The shortest stretch the time axis spans.
    static constexpr qint64 leastSpanSeconds = 15 * 60;

    explicit DashboardView(AppState& state, QWidget* parent = nullptr);

    static QString rawValue(Range range);
    static qint64 spanSeconds(Range range);

    Range range() const { return m_range; }
    const QList<BatterySample>& samples() const { return m_samples; }
    DashboardCharts* charts() const { return m_charts; }
    // The period picker, for the window's toolbar. The dashboard owns it until the window
    // takes it.
    SegmentedPicker* periodPicker() const { return m_picker; }

    // The four cards' texts, from a reading (none: before the first) and the controller's
    // status line.
    struct Cards {
        QString charge;
        QString chargeDetail;
        QString capacity;
        QString cycles;
        QString cycleDetail;
        QString temperature;
        QString powerDetail;
    };
    static Cards cardsFor(const std::optional<BatterySnapshot>& snapshot, const QString& status);

    // The charts' time axis for `range` up to `now`, for a history whose oldest reading is
    // `historyStart` (none: no readings at all).
    static DashboardCharts::TimeAxis timeAxis(
        Range range, const QDateTime& now, const std::optional<QDateTime>& historyStart);

    // Fetches the chosen period's readings from the history store, thinned to chartPoints.
    void reload();

signals:
    // After every fetch.
    void reloaded();

private:
    QWidget* statCard(const char* title, const QString& symbol, const QString& name);
    void showCards();
    void chooseRange(Range range);
    void snapshotDateChanged();

    AppState& m_state;
    Range m_range = Range::Day;
    QList<BatterySample> m_samples;
    std::optional<QDateTime> m_snapshotDate;
    SegmentedPicker* m_picker;
    DashboardCharts* m_charts;
};

} // namespace kestrune
