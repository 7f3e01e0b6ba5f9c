#include "Platform/ShareSheet/ShareSheet.h"

#include "Foundation/AtomicFile.h"
#include "Platform/ShareSheet/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>
#include <QVariantMap>

#include <QCoro/QCoroDBusPendingCall>
#include <QCoro/QCoroSignal>

namespace kestrune {

ShareSheet::ShareSheet(QDBusConnection bus, QString folder, DesktopOpener::Open open)
    : m_bus(std::move(bus))
    , m_folder(std::move(folder))
    , m_open(std::move(open))
{
}

QString ShareSheet::standardFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

QCoro::Task<bool> ShareSheet::share(QByteArray data, QString fileName)
{
    // Only values cross the await: the sheet may be gone when the portal answers.
    QDBusConnection bus = m_bus;
    const DesktopOpener::Open open = m_open;
    const QString path = QDir(m_folder).filePath(fileName);
    // The file goes to other applications by descriptor, so no one else needs to read it.
    if (!QDir().mkpath(m_folder)
        || !AtomicFile::write(path, data, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        co_return false;

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"));
    QFile file(path);
    if (bus.isConnected() && file.open(QIODevice::ReadOnly)) {
        PortalRequest request(bus);
        QVariantMap options;
        options.insert(QStringLiteral("ask"), true); // the chooser, even where a default exists
        options.insert(QStringLiteral("handle_token"), request.token());
        call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle())) << options;
        QDBusPendingCall pending = bus.asyncCall(call);
        file.close(); // the message holds its own copy of the descriptor
        const QDBusMessage reply = co_await pending;
        if (reply.type() == QDBusMessage::ReplyMessage) {
            request.setPath(reply.arguments().value(0).value<QDBusObjectPath>().path());
            if (!request.response())
                co_await qCoro(&request, &PortalRequest::answered);
            // A cancelled chooser is the user's answer; only a failure goes on to the default.
            if (request.response() == PortalRequest::success)
                co_return true;
            if (request.response() == PortalRequest::cancelled)
                co_return false;
        }
    }
    co_return co_await open(QUrl::fromLocalFile(path));
}

} // namespace kestrune
