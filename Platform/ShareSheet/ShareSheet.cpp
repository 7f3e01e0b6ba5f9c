#include "Platform/ShareSheet/ShareSheet.h"

#include "Platform/ShareSheet/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <QVariantMap>

#include <QCoro/QCoroDBusPendingCall>
#include <QCoro/QCoroSignal>

#include <cstdio>
#include <optional>

#include <sys/stat.h>

namespace kestrune {

namespace {

// Writes `data` as a file of our own under `fileName` in `folder`, readable by the user alone
// (the file goes to other applications by descriptor), and answers its path. The bytes go to a
// new file that only then takes the name, replacing our earlier file or anyone's regular file,
// but never writing through what stands there: a link, or anything else that is not a plain
// file, keeps the name, and the card keeps the fresh name it was written under.
std::optional<QString> writeOwnFile(const QString& folder, const QString& fileName, const QByteArray& data)
{
    const QString path = QDir(folder).filePath(fileName);
    const QFileInfo info(path);
    QTemporaryFile file(
        QDir(folder).filePath(info.completeBaseName() + QStringLiteral("-XXXXXX.") + info.suffix()));
    if (!file.open() || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(data) != data.size() || !file.flush())
        return std::nullopt;
    file.setAutoRemove(false);
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::lstat(name.constData(), &status) != 0 || S_ISREG(status.st_mode)) {
        if (::rename(QFile::encodeName(file.fileName()).constData(), name.constData()) == 0)
            return path;
    }
    return file.fileName();
}

} // namespace

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
    if (!QDir().mkpath(m_folder))
        co_return false;
    const std::optional<QString> written = writeOwnFile(m_folder, fileName, data);
    if (!written)
        co_return false;
    const QString path = *written;

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
