#pragma once

#include <functional>

namespace kestrune::test {

// Runs the Qt event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for about `ms` milliseconds.
void spin(int ms);

} // namespace kestrune::test
