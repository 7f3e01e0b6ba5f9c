#include "bench/TrayIdle/ActiveWindow.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace kestrune {

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

} // namespace

ActiveWindow::~ActiveWindow()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool ActiveWindow::show(qint64 pid)
{
    if (!m_connection) {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection)) {
            xcb_disconnect(m_connection);
            m_connection = nullptr;
            return false;
        }
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    const xcb_window_t window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 640, 480, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const auto windowPid = static_cast<uint32_t>(pid);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(m_connection, "_NET_WM_PID"),
        XCB_ATOM_CARDINAL, 32, 1, &windowPid);
    xcb_map_window(m_connection, window);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, root, atom(m_connection, "_NET_ACTIVE_WINDOW"),
        XCB_ATOM_WINDOW, 32, 1, &window);
    // A round trip, so that the window is in front when this returns.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return true;
}

} // namespace kestrune
