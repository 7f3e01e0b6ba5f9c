#pragma once

#include "Kestrune/Program/AppDelegate.h"
#include "Kestrune/UI/WindowRegistry.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace kestrune {

class AppState;
class MenuBarExtra;
class UserDefaults;

// The application as the desktop sees it: the tray item with its popover, and the three
// windows the rest of the program opens by identifier ("main", "share", "onboarding"),
// wired to the delegate's moments.
class KestruneApp : public QObject {
    Q_OBJECT

public:
    // The keys under which the status item's visibility and position are remembered.
    static constexpr auto statusItemVisibleKey = "NSStatusItem Visible Item-0";
    static constexpr auto statusItemPositionKey = "NSStatusItem Preferred Position Item-0";

    struct Options {
        // Whether the desktop has a tray to put the item in.
        bool trayAvailable = true;
    };

    // Builds the scenes over `state` and puts the tray item (or its window) on the desktop.
    KestruneApp(AppState& state, Options options, QObject* parent = nullptr);
    ~KestruneApp() override;

    // A hidden status item is made visible again, and a first run gets the default position.
    // A value of another type than expected is left as it is.
    static void repairStatusItemDefaults(UserDefaults& defaults);

    AppState& state() const { return m_state; }
    WindowRegistry& windows() { return m_windows; }
    MenuBarExtra& menuBar() const { return *m_menuBar; }

    // The launch is complete: called once from the event loop, with the program's arguments.
    void finishLaunching(const QStringList& arguments);
    // The program was launched again while this instance runs.
    void reopen();

private:
    void openWindow(const QString& id);

    AppDelegate m_appDelegate;
    AppState& m_state;
    WindowRegistry m_windows;
    std::unique_ptr<MenuBarExtra> m_menuBar;
};

} // namespace kestrune
