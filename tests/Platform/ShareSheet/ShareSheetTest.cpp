#include "Platform/ShareSheet/ShareSheet.h"

#include "tests/support/Files.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/UrlRecorder.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrune::test {

// The desktop portal's file opener: reads what it is handed, as the chosen application would,
// and answers as the portal does, on the request named after the caller and its token, once
// the user has chosen.
class FakeOpenUriPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.OpenURI")

public:
    explicit FakeOpenUriPortal(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }

    QByteArray received;
    QVariantMap options;
    // How the chooser ends: 0 an application took the file, 1 the user cancelled, 2 none could.
    uint response = 0;

public slots:
    QDBusObjectPath OpenFile(const QString&, const QDBusUnixFileDescriptor& fd, const QVariantMap& opts)
    {
        options = opts;
        received.clear();
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd.fileDescriptor(), buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
        const QString caller = message().service();
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(caller.mid(1).replace(u'.', u'_'), opts.value(QStringLiteral("handle_token")).toString());
        QDBusMessage answer = QDBusMessage::createTargetedSignal(caller, path, QStringLiteral("org.freedesktop.portal.Request"),
                                                                 QStringLiteral("Response"));
        answer << response << QVariantMap();
        QTimer::singleShot(50, this, [this, answer] { m_bus.send(answer); });
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

TEST(ShareSheetTest, TheCardGoesPrivatelyToThePortalsChooserOrElseToTheDefaultApplication)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QTemporaryDir home;
    UrlRecorder desktop;
    QByteArray card;
    for (int i = 0; i < 5000; ++i)
        card.append(char(i * 7)); // every byte value, NULs included
    const auto share = [&](const QString& folder) {
        ShareSheet sheet(bus.connect(QStringLiteral("app")), folder, desktop.opener());
        return QCoro::waitFor(sheet.share(card, QStringLiteral("Kestrune-week.png")));
    };
    const QString folder = home.filePath(QStringLiteral("cache/kestrune"));
    const QString path = folder + QStringLiteral("/Kestrune-week.png");

    // No portal on the bus: the file opens in the default application, or with none, nowhere.
    ASSERT_TRUE(share(folder));
    ASSERT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), card);
    EXPECT_EQ(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner); // 0600
    desktop.takes = false;
    EXPECT_FALSE(share(folder));

    // With the portal: it reads the exact bytes and asks which application, even with a
    // default. What the user chose is the answer, a cancel included.
    QDBusConnection portalBus = bus.connect(QStringLiteral("portal"));
    FakeOpenUriPortal portal(portalBus);
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    card = "the next card replaces the file";
    EXPECT_TRUE(share(folder));
    EXPECT_EQ(portal.received, card);
    EXPECT_EQ(portal.options.value(QStringLiteral("ask")), QVariant(true));
    portal.response = 1;
    EXPECT_FALSE(share(folder));
    desktop.takes = true;
    EXPECT_EQ(desktop.opened.size(), 1);

    // No application of the chooser could take it: the default application still may.
    portal.response = 2;
    EXPECT_TRUE(share(folder));
    EXPECT_EQ(desktop.opened.size(), 2);
    desktop.takes = false;
    EXPECT_FALSE(share(folder));

    portal.response = 0;
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
    desktop.takes = true;
    EXPECT_FALSE(share(path + QStringLiteral("/under-a-file")));
    EXPECT_EQ(desktop.opened.size(), 2);
}

} // namespace kestrune::test

#include "ShareSheetTest.moc"
