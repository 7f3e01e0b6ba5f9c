#pragma once

#include <QString>

#include <functional>

namespace kestrune {

// The views' way to open another window of the application by its identifier ("main",
// "share", "onboarding"); the program points it at its WindowRegistry.
using OpenWindow = std::function<void(const QString& id)>;

} // namespace kestrune
