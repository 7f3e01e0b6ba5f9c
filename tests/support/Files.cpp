#include "tests/support/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrune::test {

QString readTrimmed(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeProgram(const QString& path, bool executable)
{
    QFile file(path);
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
        && file.write("#!/bin/sh\n") > 0
        && file.setPermissions(executable ? mode | QFileDevice::ExeOwner : mode);
}

} // namespace kestrune::test
