#pragma once

#include <QByteArray>
#include <QString>

namespace kestrune::test {

// A small text file (a sysfs attribute, a /proc entry) without its surrounding blanks;
// empty when it cannot be read.
QString readTrimmed(const QString& path);
// A whole file, byte for byte; empty when it cannot be read.
QByteArray readBytes(const QString& path);
// A program that does nothing at `path`, its folders made, runnable by the user unless
// `executable` is false. False when it cannot be made.
bool writeProgram(const QString& path, bool executable = true);

} // namespace kestrune::test
