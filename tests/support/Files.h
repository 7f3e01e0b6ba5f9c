#pragma once

#include <QString>

namespace kestrune::test {

// A small text file (a sysfs attribute, a /proc entry) without its surrounding blanks;
// empty when it cannot be read.
QString readTrimmed(const QString& path);

} // namespace kestrune::test
