#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QObject>
#include <QPoint>
#include <QRect>

class QSystemTrayIcon;

namespace kestrune {

class AppState;
class MenuBarLabel;
class MenuBarView;
class NoTrayWindow;

// The application's place on the desktop: the tray item, drawn by the label, whose click
// opens and closes the popover. Where the desktop has no tray, the popover's content lives
// in a window of its own instead, shown at every launch.
class MenuBarExtra : public QObject {
    Q_OBJECT

public:
    MenuBarExtra(AppState& state, OpenWindow openWindow, bool trayAvailable, QObject* parent = nullptr);
    ~MenuBarExtra() override;

    MenuBarLabel& label() const { return *m_label; }
    // The tray item, or null without a tray.
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // The popover's content, once it has opened; null without a tray.
    MenuBarView* popover() const { return m_popover; }
    // The window standing in for the tray, or null where there is a tray.
    NoTrayWindow* window() const { return m_window; }

    // Puts the item on the desktop (or shows the window); the label appears.
    void show();
    // The popover opens at `anchor` (beside the tray icon, or where the user clicked), or
    // closes when it is open.
    void togglePopover(const QRect& anchor);
    // The program was launched again: without a tray the window comes back to the front.
    void reopen();

signals:
    // The popover (or the window standing in for it) was opened.
    void popoverOpened();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OpenWindow popoverOpening(OpenWindow openWindow);
    void trayClicked();
    // Puts the popover where its present size belongs beside the anchor it opened at.
    void place();

    AppState& m_state;
    OpenWindow m_openWindow;
    MenuBarLabel* m_label;
    QSystemTrayIcon* m_tray = nullptr;
    // Owned here; neither is deleted when closed.
    QWidget* m_popup = nullptr;
    MenuBarView* m_popover = nullptr;
    QRect m_anchor;
    NoTrayWindow* m_window = nullptr;
};

} // namespace kestrune
