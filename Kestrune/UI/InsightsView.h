#pragma once

#include "Kestrune/UI/GroupedForm.h"
#include "Shared/PowerMetricsReport.h"

#include <QDateTime>
#include <QString>

#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrune {

class AppState;
class Stepper;
class SymbolLabel;

// The AI insights: just-in-time charging and its margin, what the unplug learning has learnt
// (the next predicted unplug, the events behind it, the charge speed and the usual drain),
// and, on demand, which applications draw the most power, measured by the helper.
class InsightsView : public GroupedForm {
    Q_OBJECT

public:
    // The most applications the list shows.
    static constexpr int listedProcesses = 12;

    explicit InsightsView(AppState& state, QWidget* parent = nullptr);

    // The next predicted unplug as the row shows it, or the note that learning goes on.
    static QString predictionText(const std::optional<QDateTime>& predictedUnplug);
    // Percent left to full: from the reading's charge, none without a reading.
    static int remainingPercent(const std::optional<int>& socPercent);
    // The width of each listed process's bar, as a share of the track: against the largest
    // impact of the whole report, never less than 0.001.
    static QList<double> barShares(const PowerMetricsReport& report);

private:
    void showBuffer();
    void showLearning();
    void showMeasurement();
    void fillList();

    AppState& m_state;
    Stepper* m_buffer;
    QLabel* m_prediction;
    QLabel* m_samples;
    QLabel* m_chargeSpeed;
    QLabel* m_drain;
    QWidget* m_jitRow;
    QProgressBar* m_progress;
    QPushButton* m_measure;
    QWidget* m_warningRow;
    QWidget* m_hintRow;
    QWidget* m_emptyRow;
    QWidget* m_listRow;
    QWidget* m_list;
};

} // namespace kestrune
