#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QWidget>

class QPushButton;
class QToolButton;

namespace kestrune {

class AppState;

// The popover's last row: open the dashboard, check for updates (while the updater can start
// a check), and quit, which first gives charging and power saving back to the system.
class MenuBarFooter : public QWidget {
    Q_OBJECT

public:
    MenuBarFooter(AppState& state, OpenWindow openWindowAndActivate, QWidget* parent = nullptr);

private:
    AppState& m_state;
    QToolButton* m_update;
};

} // namespace kestrune
