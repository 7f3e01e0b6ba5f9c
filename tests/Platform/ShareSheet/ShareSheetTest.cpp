#include "Platform/ShareSheet/ShareSheet.h"

#include "tests/support/PrivateBus.h"

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
    QString parentWindow;
    QVariantMap options;
    int calls = 0;

public slots:
    QDBusObjectPath OpenFile(const QString& parent, const QDBusUnixFileDescriptor& fd, const QVariantMap& opts)
    {
        ++calls;
        parentWindow = parent;
        options = opts;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(fd.fileDescriptor(), buffer, sizeof buffer)) > 0)
            received.append(buffer, n);
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/kestrune"));
    }
};

// Records what the desktop would have opened when no portal answers.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

class ShareSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        for (int i = 0; i < 5000; ++i)
            card.append(char(i * 7)); // every byte value, NULs included
    }
    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    bool share(const QString& folder)
    {
        ShareSheet sheet(bus.connect(QStringLiteral("app")), folder);
        return QCoro::waitFor(sheet.share(card, QStringLiteral("Kestrune-week.png")));
    }

    PrivateBus bus;
    QTemporaryDir home;
    UrlRecorder recorder;
    QByteArray card;
};

TEST_F(ShareSheetTest, ThePortalGetsAPrivateCopyOfTheExactBytesAndAsksWhichApplication)
{
    FakeOpenUriPortal portal;
    QDBusConnection portalBus = bus.connect(QStringLiteral("portal"));
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    const QString folder = home.filePath(QStringLiteral("cache/kestrune"));
    ASSERT_TRUE(share(folder));
    EXPECT_EQ(portal.calls, 1);
    EXPECT_EQ(portal.received, card);
    EXPECT_EQ(portal.options.value(QStringLiteral("ask")), QVariant(true));
    EXPECT_TRUE(portal.parentWindow.isEmpty());
    EXPECT_TRUE(recorder.opened.isEmpty());

    const QFileInfo file(folder + QStringLiteral("/Kestrune-week.png"));
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_TRUE(file.permissions().testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_FALSE(file.permissions() & others); // 0600
    // A second share of the same period replaces the file.
    card = "second";
    portal.received.clear();
    ASSERT_TRUE(share(folder));
    EXPECT_EQ(portal.received, "second");
}

TEST_F(ShareSheetTest, WithoutAPortalTheFileOpensInTheDefaultApplication)
{
    const QString folder = home.filePath(QStringLiteral("cache"));
    ASSERT_TRUE(share(folder));
    ASSERT_EQ(recorder.opened.size(), 1);
    const QString path = recorder.opened.first().toLocalFile();
    EXPECT_EQ(path, folder + QStringLiteral("/Kestrune-week.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), card);

    // A cache that cannot be written offers nothing.
    QFile blocker(home.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(share(home.filePath(QStringLiteral("blocked/cache"))));
    EXPECT_EQ(recorder.opened.size(), 1);
}

} // namespace kestrune::test

#include "ShareSheetTest.moc"
