#include "Platform/Notifications/FreedesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

#include <QCoro/QCoroDBusPendingCall>

namespace kestrune {

namespace {

constexpr auto applicationName = "Kestrune";
// The sound theme's name for an ordinary incoming notice.
constexpr auto soundName = "message-new-instant";

} // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus, QObject* parent)
    : NotificationService(parent)
    , m_bus(std::move(bus))
{
    const QString service = QString::fromLatin1(serviceName);
    const QString path = QString::fromLatin1(objectPath);
    const QString interface = QString::fromLatin1(interfaceName);
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void FreedesktopNotifications::post(const QString& requestId, const QString& title, const QString& body)
{
    // Bodies carry text from elsewhere (a model's report, a process name). A service that
    // reads bodies as markup would break at a stray "&" or "<" and turn "<a>" or "<img>" into
    // live links and images, so it gets the text escaped. The capabilities are asked afresh
    // each time: the service may be replaced while the application runs.
    QDBusMessage ask = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                                      QString::fromLatin1(interfaceName), QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, requestId, title, body](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> capabilities = *w;
                // A service that does not answer may still read markup: escape then too.
                const bool markup = capabilities.isError() || capabilities.value().contains(QStringLiteral("body-markup"));
                notify(requestId, title, markup ? escapedMarkup(body) : body);
            });
}

QString FreedesktopNotifications::escapedMarkup(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QStringLiteral("&amp;");
        else if (c == u'<')
            escaped += QStringLiteral("&lt;");
        else if (c == u'>')
            escaped += QStringLiteral("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

void FreedesktopNotifications::notify(const QString& requestId, const QString& title, const QString& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                                       QString::fromLatin1(interfaceName), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("sound-name"), QString::fromLatin1(soundName));
    // A body click arrives as the "default" action; its label is not shown as a button.
    const QStringList actions{QString::fromLatin1(defaultAction), QString()};
    call << QString::fromLatin1(applicationName) << uint(0) << QString() << title << body << actions << hints
         << int(-1);

    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, requestId](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            return;
        m_requests.insert(reply.value(), requestId);
    });
}

namespace {

// A call to the bus daemon itself.
QDBusMessage busCall(const char* method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"),
                                                       QString::fromLatin1(method));
    call.setArguments(arguments);
    return call;
}

} // namespace

QCoro::Task<bool> FreedesktopNotifications::isAvailable()
{
    // Only values cross the awaits: the object may be gone when the answers come.
    QDBusConnection bus = m_bus;
    if (!bus.isConnected())
        co_return false;
    const QString name = QString::fromLatin1(serviceName);

    // (No braced lists in coroutine bodies: g++ 12 cannot place their backing arrays there.)
    QVariantList arguments;
    arguments << name;
    const QDBusPendingReply<bool> owned = co_await bus.asyncCall(busCall("NameHasOwner", arguments));
    if (!owned.isError() && owned.value())
        co_return true;
    const QDBusPendingReply<QStringList> activatable =
        co_await bus.asyncCall(busCall("ListActivatableNames", QVariantList()));
    co_return !activatable.isError() && activatable.value().contains(name);
}

QCoro::Task<> FreedesktopNotifications::requestAuthorization()
{
    QDBusConnection bus = m_bus;
    if (!bus.isConnected())
        co_return;
    QVariantList arguments;
    arguments << QString::fromLatin1(serviceName) << uint(0);
    co_await bus.asyncCall(busCall("StartServiceByName", arguments));
}

void FreedesktopNotifications::onActionInvoked(uint id, const QString& actionKey)
{
    // Ids are the service's, shared by every application: only ours are answered.
    const auto it = m_requests.constFind(id);
    if (it == m_requests.cend() || actionKey != QLatin1String(defaultAction))
        return;
    emit activated(it.value());
}

void FreedesktopNotifications::onNotificationClosed(uint id, uint /*reason*/)
{
    m_requests.remove(id);
}

} // namespace kestrune
