#include "Kestrune/PowerSaver/PowerActionKeys.h"

#include "Foundation/Localized.h"

namespace kestrune {

namespace {

constexpr qsizetype throttlePrefixLength = 9; // "throttle:"

} // namespace

QString PowerActionKeys::throttleKey(const QString& processName)
{
    return QLatin1String(throttlePrefix) + processName;
}

bool PowerActionKeys::isThrottleKey(const QString& key)
{
    return key.startsWith(QLatin1String(throttlePrefix));
}

QString PowerActionKeys::throttledProcessName(const QString& key)
{
    return isThrottleKey(key) ? key.mid(throttlePrefixLength) : QString();
}

QString PowerActionKeys::displayName(const QString& key)
{
    // The key names the setting as the other platform does; both languages name what the
    // action switches here, the desktop's power-saver profile.
    if (key == QLatin1String(lowPowerMode))
        return Localized::text("Low Power Mode");
    if (key == QLatin1String(keyboardOff))
        return Localized::text("キーボードバックライトOFF");
    if (key == QLatin1String(dim70))
        return Localized::text("画面輝度70%制限");
    if (key == QLatin1String(dim50))
        return Localized::text("画面輝度50%制限");
    if (key == QLatin1String(spotlight))
        return Localized::text("Spotlight一時停止");
    if (key == QLatin1String(timeMachine))
        return Localized::text("Time Machine一時停止");
    if (isThrottleKey(key))
        return Localized::fmt("%@ を減速", throttledProcessName(key));
    return key;
}

QString PowerActionKeys::logCategory(const QString& key)
{
    if (key == QLatin1String(lowPowerMode))
        return QStringLiteral("lpm");
    if (key == QLatin1String(keyboardOff) || key == QLatin1String(dim70) || key == QLatin1String(dim50))
        return QStringLiteral("dim");
    if (key == QLatin1String(spotlight) || key == QLatin1String(timeMachine))
        return QStringLiteral("service");
    return QStringLiteral("throttle");
}

} // namespace kestrune
