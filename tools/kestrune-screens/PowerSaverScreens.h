#pragma once

#include "tools/kestrune-screens/ScreenFolder.h"

namespace kestrune {

// The power saver tab at its full length, over the seeded demo application: a fresh
// installation (no history, no helper, no strategy), a busy battery session (a raised level
// with watts still to save, slowed processes, the day's strategy, a report and a diagnosis,
// learned effects and dislikes, a proposed exclusion, exclusions and a full action log), and
// the level chosen by hand.
bool powerSaverScreens(const ScreenFolder& folder);

} // namespace kestrune
