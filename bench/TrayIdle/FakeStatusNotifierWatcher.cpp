#include "bench/TrayIdle/FakeStatusNotifierWatcher.h"

namespace kestrune {

namespace {

const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString path = QStringLiteral("/StatusNotifierWatcher");

} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    m_registered = m_bus.registerObject(path, this,
                                        QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals
                                            | QDBusConnection::ExportAllProperties)
        && m_bus.registerService(service);
}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher()
{
    m_bus.unregisterService(service);
    m_bus.unregisterObject(path);
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString& item)
{
    m_items << item;
    emit StatusNotifierItemRegistered(item);
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierHost(const QString&)
{
    emit StatusNotifierHostRegistered();
}

} // namespace kestrune
