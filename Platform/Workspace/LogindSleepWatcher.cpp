#include "Platform/Workspace/LogindSleepWatcher.h"

namespace kestrune {

LogindSleepWatcher::LogindSleepWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent)
{
    m_watching = bus.connect(QString::fromLatin1(service), QString::fromLatin1(path), QString::fromLatin1(interface),
                             QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void LogindSleepWatcher::prepareForSleep(bool start)
{
    if (start)
        emit willSleep();
    else
        emit didWake();
}

} // namespace kestrune
