#include "Platform/Backlight/BacklightWriter.h"

#include "Platform/Backlight/LogindBacklightWriter.h"
#include "Platform/Backlight/SysfsBacklightWriter.h"

#include <QDBusConnection>
#include <QDir>

namespace kestrune {

std::shared_ptr<BacklightWriter> BacklightWriter::forRoot(const QString& sysfsRoot)
{
    // logind resolves device names under the real /sys: it cannot reach a simulated tree, and
    // would change a real panel that happens to share the simulated one's name.
    if (QDir::cleanPath(sysfsRoot) == QLatin1String("/sys"))
        return std::make_shared<LogindBacklightWriter>(QDBusConnection::systemBus());
    return std::make_shared<SysfsBacklightWriter>(sysfsRoot);
}

} // namespace kestrune
