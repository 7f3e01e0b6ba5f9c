#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// The main window over a month of use: the window as it opens on the dashboard, and the
// dashboard (over a day and over the month), charge rules, AI insights and general tabs at
// their full length; then the dashboard of a new installation before its first reading and
// twenty minutes into its use, the general tab with the helper missing, and the charge rules
// of a machine with only the firmware's 80 % limit.
bool mainWindowScreens(const ScreenFolder& folder);

} // namespace kestrune
