#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// A form built from the views' toolkit (sections, rows, notes, badges, bars, symbols, the
// warning label and a picker), taller than its window, so that the conventions can be judged
// side by side and a form is seen rendered whole.
bool toolkitScreens(const ScreenFolder& folder);

} // namespace kestrune
