#include "Platform/Backlight/KeyboardBacklight.h"

#include "Platform/Sysfs/PowerSupplyTree.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace kestrune {

KeyboardBacklight::KeyboardBacklight(QString sysfsRoot, std::shared_ptr<BacklightWriter> writer)
    : m_classPath(sysfsRoot + QStringLiteral("/class/leds"))
    , m_writer(std::move(writer))
{
    const QStringList names
        = QDir(m_classPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names)
        if (name.endsWith(QLatin1String(":kbd_backlight")))
            m_names << name;
}

QList<quint64> KeyboardBacklight::backlightIDs() const
{
    QList<quint64> ids;
    for (qsizetype i = 0; i < m_names.size(); ++i)
        ids << quint64(i);
    return ids;
}

std::optional<QString> KeyboardBacklight::devicePath(quint64 id) const
{
    if (id >= quint64(m_names.size()))
        return std::nullopt;
    return m_classPath + u'/' + m_names.at(qsizetype(id));
}

std::optional<float> KeyboardBacklight::brightness(quint64 id) const
{
    const auto path = devicePath(id);
    if (!path)
        return std::nullopt;
    const auto max = PowerSupplyTree::readInteger(*path, QStringLiteral("max_brightness"));
    const auto now = PowerSupplyTree::readInteger(*path, QStringLiteral("brightness"));
    if (!max || *max <= 0 || !now)
        return std::nullopt;
    return static_cast<float>(std::clamp(double(*now) / double(*max), 0.0, 1.0));
}

bool KeyboardBacklight::setBrightness(float value, quint64 id)
{
    const auto path = devicePath(id);
    if (!path || !std::isfinite(value))
        return false;
    const auto max = PowerSupplyTree::readInteger(*path, QStringLiteral("max_brightness"));
    if (!max || *max <= 0)
        return false;
    const double step = std::round(double(std::clamp(value, 0.0f, 1.0f)) * double(*max));
    return m_writer->write(QStringLiteral("leds"), m_names.at(qsizetype(id)), static_cast<quint32>(step));
}

} // namespace kestrune
