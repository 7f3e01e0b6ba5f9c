#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// The tray label and the popover of the real application core on a simulated laptop, in three
// states: holding at the limit on AC; on battery with a load the target cannot meet and the
// autopilot at work; and without the helper daemon installed.
bool trayScreens(const ScreenFolder& folder);

} // namespace kestrune
