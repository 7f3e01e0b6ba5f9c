#include "Platform/ShareSheet/ShareSheet.h"

#include "Foundation/AtomicFile.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>
#include <QVariantMap>

#include <QCoro/QCoroDBusPendingCall>

namespace kestrune {

ShareSheet::ShareSheet(QDBusConnection bus, QString folder)
    : m_bus(std::move(bus))
    , m_folder(std::move(folder))
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
        QVariantMap options;
        options.insert(QStringLiteral("ask"), true); // the chooser, even where a default exists
        call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle())) << options;
        QDBusPendingCall pending = bus.asyncCall(call);
        file.close(); // the message holds its own copy of the descriptor
        const QDBusMessage reply = co_await pending;
        if (reply.type() == QDBusMessage::ReplyMessage)
            co_return true;
    }
    co_return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace kestrune
