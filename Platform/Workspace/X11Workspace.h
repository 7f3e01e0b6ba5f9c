#pragma once

#include "Platform/Workspace/Workspace.h"

#include <QByteArray>

#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

namespace kestrune {

// The desktop on an X11 display. The window manager names the focused window in the root
// window's _NET_ACTIVE_WINDOW; that window's _NET_WM_PID leads to the process, whose
// /proc/<pid>/comm is the application's name and /proc/<pid>/exe its program.
//
// Without a display, or when the display is Xwayland (a Wayland session, where the
// compositor does not tell X clients which native window has the focus), the workspace
// is unavailable: no frontmost application and no activation notices. The same holds for
// windows that do not carry a pid.
class X11Workspace final : public Workspace {
    Q_OBJECT

public:
    // `display` as in DISPLAY (":0"); empty for the session's own display.
    explicit X11Workspace(const QByteArray& display = {}, QObject* parent = nullptr);
    ~X11Workspace() override;

    bool isAvailable() const { return m_connection != nullptr; }
    // Why the workspace is unavailable; empty while it is available.
    QString unavailableReason() const { return m_unavailableReason; }

    std::optional<RunningApplication> frontmostApplication() const override;

    // The application a process belongs to, from /proc (or a tree laid out like it).
    // Nothing when the process is gone or has no name.
    static std::optional<RunningApplication> applicationOfProcess(qint64 pid,
                                                                  const QString& procRoot = QStringLiteral("/proc"));

private:
    void disconnectWith(const QString& reason);
    void processEvents();
    void scheduleEventProcessing() const;
    std::optional<quint32> propertyCardinal(quint32 window, quint32 atom, quint32 type) const;
    // The pid behind the focused window, 0 when none can be told.
    qint64 activePid() const;

    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    quint32 m_activeWindowAtom = 0;
    quint32 m_pidAtom = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    qint64 m_lastActivePid = 0;
    QString m_unavailableReason;
};

} // namespace kestrune
