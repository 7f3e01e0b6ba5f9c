#pragma once

namespace kestrune {

class AppState;

// What a view does after a change that charge control or the power saver depends on.
class Evaluation {
public:
    // Starts AppState::evaluateNow() once control returns to the event loop; the caller does
    // not wait for it. Every call starts its own evaluation: none is merged or cancelled.
    static void start(AppState& state);
};

} // namespace kestrune
