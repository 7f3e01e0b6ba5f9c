#pragma once

#include <QtGlobal>

struct xcb_connection_t;

namespace kestrune {

// An application's window in front, told as a window manager tells it: a window on the X
// display of DISPLAY, stamped with the application's pid (_NET_WM_PID) and named in the root
// window's _NET_ACTIVE_WINDOW. A bare X server has no window manager to do it.
class ActiveWindow {
public:
    ActiveWindow() = default;
    ~ActiveWindow();

    ActiveWindow(const ActiveWindow&) = delete;
    ActiveWindow& operator=(const ActiveWindow&) = delete;

    // Puts a window of the process `pid` in front; false without an X display.
    bool show(qint64 pid);

private:
    xcb_connection_t* m_connection = nullptr;
};

} // namespace kestrune
