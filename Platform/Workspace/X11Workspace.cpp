#include "Platform/Workspace/X11Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace kestrune {

namespace {

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

quint32 internAtom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, &error));
    std::free(error);
    return reply ? reply->atom : 0;
}

bool hasExtension(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_query_extension(connection, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(connection, cookie, &error));
    std::free(error);
    return reply && reply->present;
}

} // namespace

X11Workspace::X11Workspace(const QByteArray& display, QObject* parent)
    : Workspace(parent)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        m_unavailableReason = QStringLiteral("no X display to ask which application is in front");
        return;
    }
    m_connection = connection;

    if (hasExtension(connection, "XWAYLAND")) {
        disconnectWith(QStringLiteral("a Wayland session does not tell which application is in front"));
        return;
    }

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0 || !screens.data) {
        disconnectWith(QStringLiteral("the X display has no screen %1").arg(screenNumber));
        return;
    }
    m_root = screens.data->root;
    m_activeWindowAtom = internAtom(connection, "_NET_ACTIVE_WINDOW");
    m_pidAtom = internAtom(connection, "_NET_WM_PID");
    if (m_activeWindowAtom == 0 || m_pidAtom == 0) {
        disconnectWith(QStringLiteral("the X display did not answer"));
        return;
    }

    // The window manager rewrites the root's _NET_ACTIVE_WINDOW on every focus change.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11Workspace::processEvents);

    // The application in front at start is not an activation.
    m_lastActivePid = activePid();
}

X11Workspace::~X11Workspace()
{
    m_notifier.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11Workspace::disconnectWith(const QString& reason)
{
    m_notifier.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_unavailableReason = reason;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    const qint64 pid = activePid();
    if (pid <= 0)
        return std::nullopt;
    return applicationOfProcess(pid);
}

std::optional<quint32> X11Workspace::propertyCardinal(quint32 window, quint32 atom, quint32 type) const
{
    if (!m_connection)
        return std::nullopt;
    const auto cookie = xcb_get_property(m_connection, 0, window, atom, type, 0, 1);
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, &error));
    std::free(error);
    // Replies can carry events in with them, which the socket notifier will not announce.
    scheduleEventProcessing();
    if (!reply || reply->type != type || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    quint32 value = 0;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

qint64 X11Workspace::activePid() const
{
    const auto window = propertyCardinal(m_root, m_activeWindowAtom, XCB_ATOM_WINDOW);
    if (!window || *window == 0)
        return 0;
    const auto pid = propertyCardinal(*window, m_pidAtom, XCB_ATOM_CARDINAL);
    return pid ? static_cast<qint64>(*pid) : 0;
}

void X11Workspace::scheduleEventProcessing() const
{
    QMetaObject::invokeMethod(const_cast<X11Workspace*>(this), &X11Workspace::processEvents, Qt::QueuedConnection);
}

void X11Workspace::processEvents()
{
    if (!m_connection)
        return;
    bool activeWindowChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (notify->window == m_root && notify->atom == m_activeWindowAtom)
                activeWindowChanged = true;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        disconnectWith(QStringLiteral("the connection to the X display was lost"));
        return;
    }
    if (!activeWindowChanged)
        return;

    // Focus moving between windows of one application is no activation; focus on the
    // desktop (no window) ends the run, so coming back to the same application counts.
    const qint64 pid = activePid();
    if (pid == m_lastActivePid)
        return;
    m_lastActivePid = pid;
    if (pid <= 0)
        return;
    if (const auto application = applicationOfProcess(pid))
        emit applicationActivated(*application);
}

std::optional<RunningApplication> X11Workspace::applicationOfProcess(qint64 pid, const QString& procRoot)
{
    const QString folder = procRoot + u'/' + QString::number(pid);
    QFile comm(folder + QStringLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString name = QString::fromUtf8(comm.readAll()).trimmed();
    if (name.isEmpty())
        return std::nullopt;
    RunningApplication application;
    application.localizedName = name;
    application.pid = pid;
    // Unreadable for other users' processes; the name alone still identifies it.
    application.executablePath = QFileInfo(folder + QStringLiteral("/exe")).symLinkTarget();
    return application;
}

} // namespace kestrune
