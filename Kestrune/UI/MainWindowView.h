#pragma once

#include "Kestrune/UI/GeneralView.h"
#include "Kestrune/UI/OpenWindow.h"

#include <QSize>
#include <QWidget>

class QTabWidget;

namespace kestrune {

class AppState;
class DashboardView;

// The main window's content: five tabs in a fixed order (power saver, dashboard, charge
// rules, AI insights, general), each built over the one AppState, opening on the first. The
// dashboard's period picker stands at the top of the window while the dashboard is in front.
//
// The window deletes its content when it closes, so each opening starts afresh, with the
// General tab's launch-at-login and language read from the system again.
class MainWindowView : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize firstSize { 880, 640 };
    static constexpr QSize smallestSize { 860, 560 };

    MainWindowView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);

    // Where the General tab starts: whether the login item is enabled, and the stored
    // language ("system", "ja" or "en"; anything else, or nothing, follows the system).
    static GeneralView::Seeds generalSeeds(AppState& state);

    QTabWidget* tabs() const { return m_tabs; }

private:
    void addTab(QWidget* view, const char* title, const QString& symbol);

    QTabWidget* m_tabs;
    DashboardView* m_dashboard;
};

} // namespace kestrune
