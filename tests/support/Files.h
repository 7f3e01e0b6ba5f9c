#pragma once

#include <QByteArray>
#include <QString>

namespace kestrune::test {

// A small text file (a sysfs attribute, a /proc entry) without its surrounding blanks;
// empty when it cannot be read.
QString readTrimmed(const QString& path);
// A whole file, byte for byte; empty when it cannot be read.
QByteArray readBytes(const QString& path);

} // namespace kestrune::test
