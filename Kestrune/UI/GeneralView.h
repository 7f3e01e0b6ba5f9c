#pragma once

#include <QWidget>

namespace kestrune {

class AppState;

// The General tab. Its two helper actions are shared with the onboarding window and the
// menu-bar popover.
class GeneralView : public QWidget {
    Q_OBJECT
public:
    explicit GeneralView(AppState& state, QWidget* parent = nullptr);

    // Connects to the helper (whatever the outcome), then evaluates; the caller does not wait.
    static void reconnectAndEvaluate(AppState& state);
    // Opens the place where the user allows the helper; false where this desktop has none
    // (ServiceManagement::enableInstructions() then says what to do).
    static bool openLoginItemsSettings(AppState& state);

private:
    AppState& m_state;
};

} // namespace kestrune
