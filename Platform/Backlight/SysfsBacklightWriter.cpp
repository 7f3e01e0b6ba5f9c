#include "Platform/Backlight/SysfsBacklightWriter.h"

#include "Platform/Sysfs/PowerSupplyTree.h"

namespace kestrune {

SysfsBacklightWriter::SysfsBacklightWriter(QString sysfsRoot)
    : m_root(std::move(sysfsRoot))
{
}

bool SysfsBacklightWriter::write(const QString& subsystem, const QString& name, quint32 value)
{
    // A name that leaves its class folder is not a device of that class.
    if (name.isEmpty() || name.contains(u'/') || name == QLatin1String("..") || name == QLatin1String("."))
        return false;
    return PowerSupplyTree::write(m_root + QStringLiteral("/class/") + subsystem + u'/' + name,
                                  QStringLiteral("brightness"), QString::number(value));
}

} // namespace kestrune
