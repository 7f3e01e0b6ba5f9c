#pragma once

#include <QString>

namespace kestrune::test {

// Where the build put its programs (kestrune-helper, kestrune-sim, the stand-in tools).
QString buildDir();
QString sourceDir();

} // namespace kestrune::test
