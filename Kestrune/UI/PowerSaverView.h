#pragma once

#include "Kestrune/Storage/PowerActionRecord.h"
#include "Kestrune/UI/OpenWindow.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

namespace kestrune {

class AppState;
class PowerSaverAISections;
class PowerSaverLearningSections;
class PowerSaverProcessSections;

// The main window's power saver tab: what the autopilot is doing and how to steer it, in ten
// sections (status and level, achievements, the language-model planner, the AI's strategy and
// reports, learned effects, settings, background services, slowed processes, exclusions and
// the action log).
//
// The action log is read from the history when the tab is shown and each time the autopilot's
// status line changes, so that it follows the autopilot's decisions without a timer. While the
// tab is shown, a change of the settings the autopilot decides by starts an evaluation.
class PowerSaverView : public QWidget {
    Q_OBJECT

public:
    // `openWindow` opens the share window.
    explicit PowerSaverView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);
    ~PowerSaverView() override;

    // The action log's records as last read, newest first.
    const QList<PowerActionRecord>& actions() const { return m_actions; }

    // Hours as "2時間15分" (below one hour "45分"), each part cut toward zero; "-" for a
    // figure that is not a number of hours at all.
    static QString hoursText(double hours);
    // The action log's symbol and colour for a kind of action; a kind of its own ("share",
    // or one this build does not know) gets a plain dot in the secondary colour.
    static QString iconFor(const QString& action);
    static QColor colorFor(const QString& action);

private:
    void loadActions();

    AppState& m_state;
    PowerSaverAISections* m_ai;
    PowerSaverLearningSections* m_learning;
    PowerSaverProcessSections* m_processes;
    QList<PowerActionRecord> m_actions;
};

} // namespace kestrune
