#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// The first-run window's four steps, and the notification step when notifications are
// unavailable and the helper step while the system waits for the user's approval.
bool onboardingScreens(const ScreenFolder& folder);

} // namespace kestrune
