#include "Platform/Sysfs/PowerSupplyTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kestrune {

PowerSupplyTree::PowerSupplyTree(QString sysfsRoot)
    : m_root(std::move(sysfsRoot))
{
}

QString PowerSupplyTree::classPath() const
{
    return m_root + QStringLiteral("/class/power_supply");
}

QList<PowerSupplyTree::Supply> PowerSupplyTree::supplies() const
{
    QList<Supply> result;
    const QDir dir(classPath());
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        const auto type = read(path, QStringLiteral("type"));
        if (!type)
            continue;
        // Only batteries tell apart whether they power the machine or a device.
        const bool battery = *type == QLatin1String("Battery");
        result.push_back({name, path, *type, battery ? read(path, QStringLiteral("scope")).value_or(QString()) : QString()});
    }
    return result;
}

QList<PowerSupplyTree::Supply> PowerSupplyTree::systemBatteries() const
{
    QList<Supply> result;
    for (const Supply& s : supplies()) {
        if (s.type == QLatin1String("Battery") && s.scope != QLatin1String("Device")
            && readInteger(s.path, QStringLiteral("present")).value_or(1) != 0)
            result.push_back(s);
    }
    return result;
}

std::optional<PowerSupplyTree::Supply> PowerSupplyTree::systemBattery() const
{
    const QList<Supply> batteries = systemBatteries();
    if (batteries.isEmpty())
        return std::nullopt;
    return batteries.constFirst();
}

QList<PowerSupplyTree::Supply> PowerSupplyTree::externalSupplies() const
{
    QList<Supply> result;
    for (const Supply& s : supplies()) {
        if (s.type == QLatin1String("Mains") || s.type.startsWith(QLatin1String("USB")))
            result.push_back(s);
    }
    return result;
}

std::optional<QString> PowerSupplyTree::read(const QString& supplyPath, const QString& attribute)
{
    // Attributes are one short line, which the kernel hands out in one read; a bound keeps a
    // strange file from being slurped whole. Plain calls: the daemon reads these on every
    // operation, and a QFile costs twice the system calls.
    const QByteArray path = QFile::encodeName(supplyPath + u'/' + attribute);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[4096];
    ssize_t count = 0;
    do {
        count = ::read(fd, buffer, sizeof buffer);
    } while (count < 0 && errno == EINTR);
    ::close(fd);
    if (count < 0)
        return std::nullopt;
    QByteArray bytes(buffer, static_cast<qsizetype>(count));
    while (!bytes.isEmpty() && (bytes.back() == '\n' || bytes.back() == '\r' || bytes.back() == ' '))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

std::optional<qint64> PowerSupplyTree::readInteger(const QString& supplyPath, const QString& attribute)
{
    const auto text = read(supplyPath, attribute);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const qint64 value = text->trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

bool PowerSupplyTree::exists(const QString& supplyPath, const QString& attribute)
{
    return QFileInfo::exists(supplyPath + u'/' + attribute);
}

bool PowerSupplyTree::write(const QString& supplyPath, const QString& attribute, const QString& value,
                            QString* error)
{
    QFile file(supplyPath + u'/' + attribute);
    // Truncate so a plain file holds just the new value; sysfs ignores the flag.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = value.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace kestrune
