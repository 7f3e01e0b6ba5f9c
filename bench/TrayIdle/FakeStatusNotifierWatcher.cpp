#include "bench/TrayIdle/FakeStatusNotifierWatcher.h"

#include <QDBusConnectionInterface>

namespace kestrune {

namespace {

const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString path = QStringLiteral("/StatusNotifierWatcher");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");

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

std::optional<FakeStatusNotifierWatcher::Clock::time_point> FakeStatusNotifierWatcher::registeredAt(
    qint64 pid) const
{
    const auto at = m_registeredAt.constFind(pid);
    return at == m_registeredAt.cend() ? std::nullopt : std::optional(*at);
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString& item)
{
    const Clock::time_point now = Clock::now();
    // An item names its service, or only its object path on the caller's connection.
    const bool pathOnly = item.startsWith(u'/');
    const QString itemService = pathOnly ? message().service() : item;
    const QString itemPath = pathOnly ? item : QStringLiteral("/StatusNotifierItem");
    m_registeredAt.insert(m_bus.interface()->servicePid(message().service()).value(), now);
    m_items << item;
    for (const char* announcement : { "NewIcon", "NewToolTip", "NewTitle", "NewStatus" })
        m_bus.connect(itemService, itemPath, itemInterface, QString::fromLatin1(announcement), this,
            SLOT(readItem(QDBusMessage)));
    emit StatusNotifierItemRegistered(item);
    readItem(itemService, itemPath);
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierHost(const QString&)
{
    emit StatusNotifierHostRegistered();
}

void FakeStatusNotifierWatcher::readItem(const QDBusMessage& announcement)
{
    readItem(announcement.service(), announcement.path());
}

void FakeStatusNotifierWatcher::readItem(const QString& itemService, const QString& itemPath)
{
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        itemService, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    getAll << itemInterface;
    // The answer is read and dropped, as a tray draws it and forgets it.
    m_bus.asyncCall(getAll);
}

} // namespace kestrune
