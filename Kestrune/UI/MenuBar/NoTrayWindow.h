#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QWidget>

namespace kestrune {

class AppState;
class MenuBarLabel;
class MenuBarView;

// Where the desktop has no tray (GNOME without its tray extension, a bare X server), the
// popover's content in an ordinary window, so that the application stays within reach: the
// label's icon is its icon and the label's text its title's. Closing it only hides it; the
// next launch of the program brings it back.
class NoTrayWindow : public QWidget {
    Q_OBJECT

public:
    NoTrayWindow(AppState& state, MenuBarLabel& label, OpenWindow openWindow, QWidget* parent = nullptr);

    MenuBarView* view() const { return m_view; }

private:
    void followLabel();

    MenuBarLabel& m_label;
    MenuBarView* m_view;
};

} // namespace kestrune
