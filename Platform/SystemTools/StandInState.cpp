#include "Platform/SystemTools/StandInState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kestrune {

QString StandInState::path(const QString& sysfsRoot, const QString& name)
{
    if (sysfsRoot == QLatin1String("/sys"))
        return QLatin1String(stateFolder) + u'/' + name;
    return sysfsRoot + QStringLiteral("/kestrune-sim/") + name;
}

std::optional<QString> StandInState::read(const QString& sysfsRoot, const QString& name)
{
    QFile file(path(sysfsRoot, name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.read(64 * 1024)).trimmed();
}

bool StandInState::write(const QString& sysfsRoot, const QString& name, const QString& value, QString* error)
{
    const QString file = path(sysfsRoot, name);
    QDir().mkpath(QFileInfo(file).path());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(value.toUtf8() + '\n') < 0 || !out.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

bool StandInState::remove(const QString& sysfsRoot, const QString& name, QString* error)
{
    QFile file(path(sysfsRoot, name));
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return false;
}

} // namespace kestrune
