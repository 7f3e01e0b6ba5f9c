#include "Platform/Backlight/DisplayBrightness.h"
#include "Platform/Backlight/KeyboardBacklight.h"
#include "Platform/Backlight/LogindBacklightWriter.h"
#include "Platform/Backlight/SysfsBacklightWriter.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

// logind's session object as far as brightness goes: records each call, or refuses it.
class FakeLogindSession : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")

public:
    QStringList calls;
    bool refuse = false;

public slots:
    void SetBrightness(const QString& subsystem, const QString& name, uint value)
    {
        calls << QStringLiteral("%1 %2 %3").arg(subsystem, name).arg(value);
        if (refuse)
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NotInControl"), QStringLiteral("not yours"));
    }
};

void writeAttribute(const QString& device, const char* attribute, const QByteArray& value)
{
    QDir().mkpath(device);
    QFile file(device + u'/' + QLatin1String(attribute));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(value + '\n');
}

QByteArray readAttribute(const QString& device, const char* attribute)
{
    QFile file(device + u'/' + QLatin1String(attribute));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

} // namespace

TEST(LogindBacklightWriter, AsksLogindForTheCallersSessionAndTreatsAnErrorAsAFailure)
{
    test::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    LogindBacklightWriter writer(bus.connect(QStringLiteral("app")), std::chrono::milliseconds(2000));
    EXPECT_FALSE(writer.canWrite()) << "no logind on this bus";
    EXPECT_FALSE(writer.write(QStringLiteral("backlight"), QStringLiteral("intel_backlight"), 1));

    // The writer blocks its thread until logind answers, so the fake answers from its own.
    QThread logindThread;
    FakeLogindSession session;
    session.moveToThread(&logindThread);
    logindThread.start();
    const auto stop = qScopeGuard([&] {
        logindThread.quit();
        logindThread.wait();
    });
    QDBusConnection service = bus.connect(QStringLiteral("logind"));
    ASSERT_TRUE(service.registerObject(QString::fromLatin1(LogindBacklightWriter::sessionPath), &session,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QString::fromLatin1(LogindBacklightWriter::service)));
    EXPECT_TRUE(writer.canWrite());

    EXPECT_TRUE(writer.write(QStringLiteral("backlight"), QStringLiteral("intel_backlight"), 13575));
    EXPECT_TRUE(writer.write(QStringLiteral("leds"), QStringLiteral("tpacpi::kbd_backlight"), 0));
    session.refuse = true;
    EXPECT_FALSE(writer.write(QStringLiteral("leds"), QStringLiteral("tpacpi::kbd_backlight"), 2));
    EXPECT_EQ(session.calls, (QStringList{"backlight intel_backlight 13575", "leds tpacpi::kbd_backlight 0",
                                          "leds tpacpi::kbd_backlight 2"}));
    service.unregisterObject(QString::fromLatin1(LogindBacklightWriter::sessionPath));
}

TEST(BacklightWriter, ATreeOtherThanTheRealSysfsIsWrittenDirectly)
{
    EXPECT_NE(dynamic_cast<SysfsBacklightWriter*>(BacklightWriter::forRoot(QStringLiteral("/tmp/machine")).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<LogindBacklightWriter*>(BacklightWriter::forRoot(QStringLiteral("/sys/")).get()), nullptr);

    QTemporaryDir dir;
    const QString root = dir.path();
    ASSERT_TRUE(SimTree::create(root, SimTree::Options()));
    SysfsBacklightWriter writer(root);
    EXPECT_TRUE(writer.write(QStringLiteral("backlight"), QStringLiteral("intel_backlight"), 1234));
    EXPECT_EQ(readAttribute(SimTree::backlightPath(root), "brightness"), "1234");
    EXPECT_FALSE(writer.write(QStringLiteral("backlight"), QStringLiteral("../leds"), 1));
    EXPECT_FALSE(writer.write(QStringLiteral("backlight"), QStringLiteral("missing"), 1));
}

TEST(DisplayBrightness, RoundsDownButNeverToDarkAndGivesBackTheStepItRead)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString panel = root + QStringLiteral("/class/backlight/panel");
    writeAttribute(panel, "max_brightness", "19393");
    writeAttribute(panel, "brightness", "15514");
    DisplayBrightness display(root, std::make_shared<SysfsBacklightWriter>(root));

    float value = 0;
    ASSERT_EQ(display.get(7, &value), DisplayBrightness::success);
    EXPECT_NEAR(value, 0.8, 1e-4);
    EXPECT_EQ(display.set(0, 0.7f), DisplayBrightness::success);
    EXPECT_EQ(readAttribute(panel, "brightness"), "13575"); // 13575.1 rounded down
    ASSERT_EQ(display.get(0, &value), DisplayBrightness::success);
    EXPECT_LE(value, 0.7f);
    EXPECT_EQ(display.set(0, 0.0f), DisplayBrightness::success);
    EXPECT_EQ(readAttribute(panel, "brightness"), "1");

    // On fine scales a step read and set again is that very step, not the one below it.
    for (const int max : {96000, 120000}) {
        writeAttribute(panel, "max_brightness", QByteArray::number(max));
        for (int raw = 80000; raw < 80050; ++raw) {
            writeAttribute(panel, "brightness", QByteArray::number(raw));
            ASSERT_EQ(display.get(0, &value), DisplayBrightness::success);
            ASSERT_EQ(display.set(0, value), DisplayBrightness::success);
            ASSERT_EQ(readAttribute(panel, "brightness"), QByteArray::number(raw)) << "of " << max;
        }
    }

    writeAttribute(panel, "brightness", "25000");
    writeAttribute(panel, "max_brightness", "19393");
    ASSERT_EQ(display.get(0, &value), DisplayBrightness::success);
    EXPECT_EQ(value, 1.0f) << "clamped";
    writeAttribute(panel, "max_brightness", "lots");
    EXPECT_EQ(display.get(0, &value), DisplayBrightness::failure);
    EXPECT_FALSE(display.mainDevice());
}

TEST(KeyboardBacklight, ListsTheKeyboardLedsByNameAndSetsTheNearestStep)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString leds = root + QStringLiteral("/class/leds/");
    writeAttribute(leds + "tpacpi::kbd_backlight", "max_brightness", "2");
    writeAttribute(leds + "tpacpi::kbd_backlight", "brightness", "1");
    writeAttribute(leds + "asus::kbd_backlight", "max_brightness", "3");
    writeAttribute(leds + "asus::kbd_backlight", "brightness", "3");
    writeAttribute(leds + "input3::capslock", "max_brightness", "1");
    KeyboardBacklight keyboard(root, std::make_shared<SysfsBacklightWriter>(root));

    EXPECT_EQ(keyboard.backlightIDs(), (QList<quint64>{0, 1}));
    EXPECT_EQ(keyboard.brightness(0), 1.0f) << "asus sorts first";
    EXPECT_EQ(keyboard.brightness(1), 0.5f);
    EXPECT_FALSE(keyboard.brightness(2));
    EXPECT_TRUE(keyboard.setBrightness(0.4f, 0));
    EXPECT_EQ(readAttribute(leds + "asus::kbd_backlight", "brightness"), "1");
    EXPECT_TRUE(keyboard.setBrightness(0.75f, 1));
    EXPECT_EQ(readAttribute(leds + "tpacpi::kbd_backlight", "brightness"), "2");
    EXPECT_FALSE(keyboard.setBrightness(0.5f, 9));
}

#include "BacklightTest.moc"
