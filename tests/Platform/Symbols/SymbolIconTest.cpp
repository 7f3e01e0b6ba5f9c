#include "Platform/Symbols/SymbolIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

// Every symbol the menu-bar label, the popover, the windows, onboarding and the share card
// name. A symbol missing from the map would draw nothing.
const QStringList viewSymbols{
    "battery.0percent", "battery.25percent", "battery.50percent", "battery.75percent", "battery.100percent",
    "battery.100percent.bolt", "powerplug", "powerplug.fill", "arrow.down.circle", "bolt.fill",
    "exclamationmark.triangle.fill", "sparkles", "square.and.arrow.up", "tortoise.fill", "brain.fill", "heart",
    "arrow.triangle.2.circlepath", "thermometer.medium", "leaf", "gauge.with.dots.needle.50percent",
    "slider.horizontal.3", "brain", "gearshape", "exclamationmark.triangle", "heart.fill", "bolt.badge.clock",
    "doc.text.fill", "stethoscope", "hand.raised.fill", "lightbulb.fill", "minus.circle", "gauge.with.needle",
    "leaf.fill", "sun.min.fill", "pause.circle.fill", "hare.fill", "arrow.uturn.backward.circle.fill",
    "chart.line.uptrend.xyaxis", "circle.fill", "bolt.batteryblock.fill", "bell.badge.fill", "bell",
    "checkmark.circle.fill", "bolt.shield.fill", "bolt.shield", "checkmark.seal.fill", "flame.fill",
    "square.and.arrow.up.fill", "command.square.fill"};

// The label's symbols: one per state the user must tell apart at a glance.
const QStringList labelSymbols{"battery.0percent", "battery.25percent", "battery.50percent", "battery.75percent",
                               "battery.100percent", "battery.100percent.bolt", "powerplug", "powerplug.fill",
                               "arrow.down.circle"};

QImage drawn(const QString& symbol)
{
    return SymbolIcon::icon(symbol).pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool hasInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

} // namespace

// An icon search path that holds the breeze theme and nothing else of the system's.
class SymbolIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedPaths = QIcon::themeSearchPaths();
        savedTheme = QIcon::themeName();
        const QString breeze = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("icons/breeze"),
                                                      QStandardPaths::LocateDirectory);
        ASSERT_FALSE(breeze.isEmpty()) << "breeze-icon-theme is not installed (scripts/setup installs it)";
        ASSERT_TRUE(QFile::link(breeze, icons.filePath(QStringLiteral("breeze"))));
        QIcon::setThemeSearchPaths({icons.path()});
    }
    void TearDown() override
    {
        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
    }

    QTemporaryDir icons;
    QStringList savedPaths;
    QString savedTheme;
};

TEST_F(SymbolIconTest, EveryViewSymbolDrawsWhetherTheDesktopHasATheme)
{
    for (const QString& symbol : viewSymbols)
        EXPECT_FALSE(SymbolIcon::iconNames(symbol).isEmpty()) << symbol.toStdString();
    EXPECT_TRUE(SymbolIcon::iconNames(QStringLiteral("no.such.symbol")).isEmpty());
    EXPECT_TRUE(SymbolIcon::icon(QStringLiteral("no.such.symbol")).isNull());

    // No theme at all (offscreen, a bare X server), then breeze itself.
    for (const QString& theme : {QString(), QStringLiteral("breeze")}) {
        QIcon::setThemeName(theme);
        for (const QString& symbol : SymbolIcon::symbolNames()) {
            EXPECT_FALSE(SymbolIcon::resolvedName(symbol).isEmpty()) << symbol.toStdString();
            EXPECT_TRUE(hasInk(drawn(symbol))) << symbol.toStdString();
        }
    }
}

TEST_F(SymbolIconTest, AThemeThatSkipsTheFallbackStillGetsBreezesDrawings)
{
    // Like Adwaita: a valid theme that names only hicolor as its parent, so Qt never consults
    // the fallback theme. Each symbol then draws breeze's last name.
    QDir(icons.path()).mkpath(QStringLiteral("Plain"));
    QFile index(icons.filePath(QStringLiteral("Plain/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Plain\nInherits=hicolor\nDirectories=\n");
    index.close();
    QIcon::setThemeName(QStringLiteral("Plain"));

    for (const QString& symbol : SymbolIcon::symbolNames()) {
        EXPECT_EQ(SymbolIcon::resolvedName(symbol), SymbolIcon::iconNames(symbol).last()) << symbol.toStdString();
        EXPECT_TRUE(hasInk(drawn(symbol))) << symbol.toStdString();
    }
}

TEST_F(SymbolIconTest, TheLabelsNineStatesDrawNineDifferentIcons)
{
    QIcon::setThemeName(QStringLiteral("breeze"));
    QList<QImage> images;
    for (const QString& symbol : labelSymbols)
        images << drawn(symbol);
    for (int i = 0; i < images.size(); ++i)
        for (int j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i], images[j]) << labelSymbols[i].toStdString() << " and " << labelSymbols[j].toStdString();
}

TEST_F(SymbolIconTest, PaintingInOneColourKeepsTheShapeAtTheDevicesScale)
{
    QIcon::setThemeName(QStringLiteral("breeze"));
    const QColor tint(40, 167, 69);
    QImage image(QSize(64, 64), QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        SymbolIcon::paint(painter, QRectF(4, 4, 24, 24), QStringLiteral("bolt.batteryblock.fill"), tint);
    }
    int opaque = 0;
    int clear = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                ++clear;
                continue;
            }
            // Every visible pixel is the one colour; only its opacity varies.
            ASSERT_NEAR(qRed(pixel), tint.red(), 2);
            ASSERT_NEAR(qGreen(pixel), tint.green(), 2);
            ASSERT_NEAR(qBlue(pixel), tint.blue(), 2);
            opaque += qAlpha(pixel) == 255 ? 1 : 0;
            // Drawn inside its rectangle, at two pixels per point.
            EXPECT_TRUE(x >= 8 && x < 56 && y >= 8 && y < 56) << x << "," << y;
        }
    }
    EXPECT_GT(opaque, 100); // the darkest strokes draw in full, not faded
    EXPECT_GT(clear, 0);
}

} // namespace kestrune::test
