#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// The share window with its card, without one (rendering failed), while a post uploads the
// card, and after a post, with the paste hint.
bool shareWindowScreens(const ScreenFolder& folder);

} // namespace kestrune
