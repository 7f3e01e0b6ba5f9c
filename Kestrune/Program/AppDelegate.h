#pragma once

#include <QStringList>

namespace kestrune {

class AppState;

// What the application does at the desktop's four moments: launch, becoming active, being
// launched again while it runs, and quitting.
class AppDelegate {
public:
    explicit AppDelegate(AppState& state);

    // Starts the application and, unless the session started it at login, asks for its
    // window (the onboarding window until onboarding is complete).
    void applicationDidFinishLaunching(const QStringList& arguments);
    // A reconnection to the helper in the background, if it is not connected.
    void applicationDidBecomeActive();
    // The user launched the program again: one more window request.
    void applicationShouldHandleReopen();
    // Gives charging and power saving back to the system, then the display's brightness and
    // the keyboard's backlight; returns when done (or when the helper did not answer in time).
    void applicationWillTerminate();

    // Whether the launch came from the session's autostart entry, which alone passes the
    // login-item argument.
    static bool launchedAsLoginItem(const QStringList& arguments);

private:
    AppState& m_state;
};

} // namespace kestrune
