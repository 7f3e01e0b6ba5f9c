#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QObject>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace kestrune {

class AppState;
class FormSection;

// The power saver tab's achievements (the week's and all-time savings, the streak, the way to
// the share window), the language-model planner's switches and daily usage, and the AI's
// strategy, session report and diagnosis with the button that asks for today's strategy.
class PowerSaverAISections : public QObject {
    Q_OBJECT

public:
    PowerSaverAISections(AppState& state, OpenWindow openWindow, FormSection* achievements, FormSection* engine,
                         FormSection* report, QObject* parent = nullptr);

    // Takes the figures that depend on the time afresh: the savings summary, and whether
    // today's strategy is already there.
    void refresh();

private:
    void fillAchievements(FormSection* section);
    void fillEngine(FormSection* section);
    void fillReport(FormSection* section);

    void showAchievements();
    void showUsage();
    void showStrategy();
    void showReports();
    void requestStrategy();

    AppState& m_state;
    OpenWindow m_openWindow;

    QLabel* m_week = nullptr;
    QLabel* m_total = nullptr;
    QWidget* m_streakRow = nullptr;
    QLabel* m_streak = nullptr;
    QLabel* m_usage = nullptr;

    QWidget* m_strategyRow = nullptr;
    QLabel* m_reasoning = nullptr;
    QLabel* m_facts = nullptr;
    QLabel* m_updated = nullptr;
    QWidget* m_placeholderRow = nullptr;
    QLabel* m_placeholder = nullptr;
    QPushButton* m_generate = nullptr;
    QProgressBar* m_calling = nullptr;
    QLabel* m_note = nullptr;
    QWidget* m_reportRow = nullptr;
    QLabel* m_report = nullptr;
    QLabel* m_reportAt = nullptr;
    QWidget* m_diagnosisRow = nullptr;
    QLabel* m_diagnosis = nullptr;
};

} // namespace kestrune
