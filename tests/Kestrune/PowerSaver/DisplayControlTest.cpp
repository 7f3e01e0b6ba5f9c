#include "Kestrune/PowerSaver/DisplayControl.h"

#include "Platform/Backlight/SysfsBacklightWriter.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

// A writer that is reachable but whose writes all fail.
class RefusingWriter final : public BacklightWriter {
public:
    bool canWrite() const override { return true; }
    bool write(const QString&, const QString&, quint32) override { return false; }
};

class DisplayControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(SimTree::create(root, SimTree::Options()));
        setRaw(panel(), "max_brightness", 1000);
        setRaw(panel(), "brightness", 720);
        setRaw(keyboard(), "max_brightness", 10);
        setRaw(keyboard(), "brightness", 5);
    }

    QString panel() const { return SimTree::backlightPath(root); }
    QString keyboard() const { return SimTree::keyboardBacklightPath(root); }
    static void setRaw(const QString& device, const char* attribute, int value)
    {
        QDir().mkpath(device);
        QFile file(device + u'/' + QLatin1String(attribute));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::number(value) + '\n');
    }
    static void setText(const QString& device, const char* attribute, const char* text)
    {
        QFile file(device + u'/' + QLatin1String(attribute));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    static int raw(const QString& device)
    {
        QFile file(device + QStringLiteral("/brightness"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : -1;
    }
    DisplayControl control() const { return DisplayControl(root, std::make_shared<SysfsBacklightWriter>(root)); }

    QTemporaryDir dir;
    QString root = dir.path();
};

} // namespace

TEST_F(DisplayControlTest, CapsRememberTheUsersBrightnessAndRestoreItUnlessTheyChangedIt)
{
    DisplayControl display(root, std::make_shared<SysfsBacklightWriter>(root));
    ASSERT_TRUE(display.getBrightnessFn && display.setBrightnessFn);

    setRaw(panel(), "brightness", 705);
    EXPECT_FALSE(display.applyBrightnessCap(0.7f)) << "not 0.01 above the cap";
    EXPECT_FALSE(display.savedBrightness);

    setRaw(panel(), "brightness", 720);
    EXPECT_TRUE(display.applyBrightnessCap(0.7f));
    EXPECT_EQ(raw(panel()), 700);
    EXPECT_EQ(display.savedBrightness, 0.72f);
    EXPECT_EQ(display.lastSetBrightness, 0.7f);
    EXPECT_TRUE(display.applyBrightnessCap(0.5f));
    EXPECT_EQ(display.savedBrightness, 0.72f) << "only the first cap is remembered";

    setRaw(panel(), "brightness", 600); // the user, well above our 0.5
    display.restoreBrightness();
    EXPECT_EQ(raw(panel()), 600);
    EXPECT_FALSE(display.savedBrightness);
    EXPECT_FALSE(display.lastSetBrightness);

    EXPECT_TRUE(display.applyBrightnessCap(0.5f));
    setRaw(panel(), "brightness", 550); // within the margin
    display.restoreBrightness();
    EXPECT_EQ(raw(panel()), 600);

    EXPECT_TRUE(display.applyBrightnessCap(0.02f));
    EXPECT_EQ(raw(panel()), 50) << "never below 0.05";
    display.savedBrightness.reset();
    display.restoreBrightness();
    EXPECT_EQ(raw(panel()), 50);
    EXPECT_FALSE(display.lastSetBrightness);
}

TEST_F(DisplayControlTest, TheKeyboardBacklightComesBackUnlessTheUserTurnedItOn)
{
    DisplayControl display = control();
    ASSERT_TRUE(display.kbClient && display.kbID);

    display.turnOffKeyboardBacklight();
    EXPECT_EQ(raw(keyboard()), 0);
    EXPECT_EQ(display.savedKeyboardBrightness, 0.5f);
    display.turnOffKeyboardBacklight();
    EXPECT_EQ(display.savedKeyboardBrightness, 0.5f);
    display.restoreKeyboardBacklight();
    EXPECT_EQ(raw(keyboard()), 5);
    EXPECT_FALSE(display.savedKeyboardBrightness);

    display.turnOffKeyboardBacklight();
    setRaw(keyboard(), "brightness", 3);
    display.restoreKeyboardBacklight();
    EXPECT_EQ(raw(keyboard()), 3);

    // Off already: 0 is remembered, and putting 0 back is nothing to do.
    setRaw(keyboard(), "brightness", 0);
    display.turnOffKeyboardBacklight();
    EXPECT_EQ(display.savedKeyboardBrightness, 0.0f);
    setRaw(keyboard(), "brightness", 4);
    display.restoreKeyboardBacklight();
    EXPECT_EQ(raw(keyboard()), 4);
    EXPECT_FALSE(display.savedKeyboardBrightness);
}

TEST_F(DisplayControlTest, TheFirmwareInterfaceOfAPanelWinsOverItsRawOne)
{
    const QString firmware = root + QStringLiteral("/class/backlight/acpi_video0");
    setRaw(firmware, "max_brightness", 100);
    setRaw(firmware, "brightness", 40);
    setText(firmware, "type", "firmware\n");
    const QString broken = root + QStringLiteral("/class/backlight/aaa");
    setRaw(broken, "max_brightness", 0);
    setText(broken, "type", "firmware\n");

    DisplayControl display = control();
    float value = 0;
    ASSERT_EQ(display.getBrightnessFn(DisplayControl::mainDisplayID, &value), 0);
    EXPECT_FLOAT_EQ(value, 0.4f);
    EXPECT_TRUE(display.applyBrightnessCap(0.2f));
    EXPECT_EQ(raw(firmware), 20);
    EXPECT_EQ(raw(panel()), 720);
}

TEST_F(DisplayControlTest, WithoutDevicesNothingIsOfferedAndNothingHappens)
{
    QDir(root + QStringLiteral("/class/backlight")).removeRecursively();
    QDir(root + QStringLiteral("/class/leds")).removeRecursively();
    DisplayControl display = control();
    EXPECT_FALSE(display.getBrightnessFn);
    EXPECT_FALSE(display.setBrightnessFn);
    EXPECT_FALSE(display.kbClient);
    EXPECT_FALSE(display.kbID);
    EXPECT_FALSE(display.applyBrightnessCap(0.5f));
    display.restoreBrightness();
    display.turnOffKeyboardBacklight();
    display.restoreKeyboardBacklight();
    EXPECT_FALSE(display.savedBrightness);
    EXPECT_FALSE(display.savedKeyboardBrightness);
}

TEST_F(DisplayControlTest, ACapThatCannotBeSetFailsButRemembersTheBrightnessItFound)
{
    DisplayControl display(root, std::make_shared<RefusingWriter>());
    EXPECT_FALSE(display.applyBrightnessCap(0.5f));
    EXPECT_EQ(display.savedBrightness, 0.72f);
    EXPECT_FALSE(display.lastSetBrightness);
    EXPECT_EQ(raw(panel()), 720);
}
