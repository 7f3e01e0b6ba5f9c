#include "Platform/ShareSheet/ShareSheet.h"

#include "tests/support/Files.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/UrlRecorder.h"

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrune::test {

// The desktop portal's file opener: reads what it is handed, as the chosen application would.
class FakeOpenUriPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.OpenURI")

public:
    QByteArray received;
    QVariantMap options;

public slots:
    QDBusObjectPath OpenFile(const QString&, const QDBusUnixFileDescriptor& fd, const QVariantMap& opts)
    {
        options = opts;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd.fileDescriptor(), buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t"));
    }
};

TEST(ShareSheetTest, TheCardGoesPrivatelyToThePortalsChooserOrElseToTheDefaultApplication)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QTemporaryDir home;
    UrlRecorder desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    QByteArray card;
    for (int i = 0; i < 5000; ++i)
        card.append(char(i * 7)); // every byte value, NULs included
    const auto share = [&](const QString& folder) {
        ShareSheet sheet(bus.connect(QStringLiteral("app")), folder);
        return QCoro::waitFor(sheet.share(card, QStringLiteral("Kestrune-week.png")));
    };
    const QString folder = home.filePath(QStringLiteral("cache/kestrune"));
    const QString path = folder + QStringLiteral("/Kestrune-week.png");

    // No portal on the bus: the file opens in the default application.
    ASSERT_TRUE(share(folder));
    ASSERT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), card);
    EXPECT_EQ(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner); // 0600

    // With the portal: it reads the exact bytes and asks which application, even with a default.
    FakeOpenUriPortal portal;
    QDBusConnection portalBus = bus.connect(QStringLiteral("portal"));
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    card = "the next card replaces the file";
    ASSERT_TRUE(share(folder));
    EXPECT_EQ(portal.received, card);
    EXPECT_EQ(portal.options.value(QStringLiteral("ask")), QVariant(true));
    EXPECT_EQ(desktop.opened.size(), 1);

    // A link at the card's name is never written through: it keeps pointing where it pointed,
    // its target keeps its bytes and mode, a dangling one makes no file, and the card goes
    // under a fresh name.
    const QString notes = home.filePath(QStringLiteral("notes.txt"));
    const QString nowhere = home.filePath(QStringLiteral("nowhere.png"));
    ASSERT_TRUE(QFile::copy(path, notes) && QFile::setPermissions(notes, QFileDevice::ReadOwner));
    card = "a card beside the link";
    for (const QString& target : {notes, nowhere}) {
        ASSERT_TRUE(QFile::remove(path) && QFile::link(target, path));
        portal.received.clear();
        ASSERT_TRUE(share(folder));
        EXPECT_EQ(portal.received, card);
        EXPECT_EQ(QFileInfo(path).symLinkTarget(), target);
    }
    EXPECT_EQ(readBytes(notes), "the next card replaces the file");
    EXPECT_EQ(QFile::permissions(notes) & QFileDevice::WriteOwner, 0);
    EXPECT_FALSE(QFile::exists(nowhere));

    // A cache that cannot be written offers nothing.
    EXPECT_FALSE(share(path + QStringLiteral("/under-a-file")));
    EXPECT_EQ(desktop.opened.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace kestrune::test

#include "ShareSheetTest.moc"
