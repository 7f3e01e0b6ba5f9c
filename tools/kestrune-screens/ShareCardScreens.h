#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// The savings card for each period of a good week, an empty one, and one whose figure is too
// long for the card.
bool shareCardScreens(const ScreenFolder& folder);

} // namespace kestrune
