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

// The label's symbols first (nine states the user must tell apart), then every other symbol
// the popover, the windows, onboarding and the card name. An unmapped one would draw nothing.
const QStringList labelSymbols{"battery.0percent", "battery.25percent", "battery.50percent", "battery.75percent",
                               "battery.100percent", "battery.100percent.bolt", "powerplug", "powerplug.fill",
                               "arrow.down.circle"};
const QStringList otherSymbols{
    "bolt.fill", "exclamationmark.triangle.fill", "sparkles", "square.and.arrow.up", "tortoise.fill", "brain.fill",
    "heart", "arrow.triangle.2.circlepath", "thermometer.medium", "leaf", "gauge.with.dots.needle.50percent",
    "slider.horizontal.3", "brain", "gearshape", "exclamationmark.triangle", "heart.fill", "bolt.badge.clock",
    "doc.text.fill", "stethoscope", "hand.raised.fill", "lightbulb.fill", "minus.circle", "gauge.with.needle",
    "leaf.fill", "sun.min.fill", "pause.circle.fill", "hare.fill", "arrow.uturn.backward.circle.fill",
    "chart.line.uptrend.xyaxis", "circle.fill", "bolt.batteryblock.fill", "bell.badge.fill", "bell",
    "checkmark.circle.fill", "bolt.shield.fill", "bolt.shield", "checkmark.seal.fill", "flame.fill",
    "square.and.arrow.up.fill", "command.square.fill"};

QImage drawn(const QString& symbol)
{
    return SymbolIcon::icon(symbol).pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage blank()
{
    QImage image(QSize(32, 32), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

// An icon search path holding the breeze theme and nothing else of the system's.
class SymbolIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString breeze = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("icons/breeze"),
                                                      QStandardPaths::LocateDirectory);
        ASSERT_FALSE(breeze.isEmpty()) << "breeze-icon-theme is missing (scripts/setup installs it)";
        ASSERT_TRUE(QFile::link(breeze, icons.filePath(QStringLiteral("breeze"))));
        QIcon::setThemeSearchPaths({icons.path()});
    }
    void TearDown() override
    {
        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
    }

    QTemporaryDir icons;
    const QStringList savedPaths = QIcon::themeSearchPaths();
    const QString savedTheme = QIcon::themeName();
};

TEST_F(SymbolIconTest, EverySymbolDrawsWithNoThemeWithBreezeAndWithAThemeThatSkipsTheFallback)
{
    EXPECT_EQ(SymbolIcon::symbolNames().size(), labelSymbols.size() + otherSymbols.size());
    for (const QString& symbol : labelSymbols + otherSymbols)
        EXPECT_TRUE(SymbolIcon::symbolNames().contains(symbol)) << symbol.toStdString();

    // Like Adwaita: a theme whose only parent is hicolor, so Qt never reaches the fallback.
    QDir(icons.path()).mkpath(QStringLiteral("Plain"));
    QFile index(icons.filePath(QStringLiteral("Plain/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Plain\nInherits=hicolor\nDirectories=\n");
    index.close();

    for (const QString& theme : {QString(), QStringLiteral("breeze"), QStringLiteral("Plain")}) {
        QIcon::setThemeName(theme);
        for (const QString& symbol : SymbolIcon::symbolNames()) {
            const QString name = SymbolIcon::resolvedName(symbol);
            EXPECT_FALSE(name.isEmpty()) << symbol.toStdString();
            if (theme == u"Plain") {
                EXPECT_EQ(name, SymbolIcon::iconNames(symbol).last()) << symbol.toStdString();
            }
            EXPECT_NE(drawn(symbol), blank()) << symbol.toStdString();
        }
    }

    QIcon::setThemeName(QStringLiteral("breeze"));
    // The battery's health is a heart; breeze's favourite emblem is a star.
    const QImage heart = QIcon::fromTheme(QStringLiteral("love")).pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(drawn("heart"), heart);
    EXPECT_EQ(drawn("heart.fill"), heart);
    for (int i = 0; i < labelSymbols.size(); ++i)
        for (int j = i + 1; j < labelSymbols.size(); ++j)
            EXPECT_NE(drawn(labelSymbols[i]), drawn(labelSymbols[j]))
                << labelSymbols[i].toStdString() << " and " << labelSymbols[j].toStdString();
}

TEST_F(SymbolIconTest, PaintingInOneColourKeepsTheShapeAtTheDevicesScale)
{
    QIcon::setThemeName(QStringLiteral("breeze"));
    const QColor tint(40, 167, 69);
    QImage image(QSize(64, 64), QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    SymbolIcon::paint(painter, QRectF(4, 4, 24, 24), QStringLiteral("bolt.batteryblock.fill"), tint);
    painter.end();

    int solid = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 0)
                continue;
            // Only the opacity varies, and only inside the rectangle at two pixels per point.
            ASSERT_NEAR(pixel.red(), tint.red(), 2);
            ASSERT_NEAR(pixel.green(), tint.green(), 2);
            ASSERT_NEAR(pixel.blue(), tint.blue(), 2);
            ASSERT_TRUE(QRect(8, 8, 48, 48).contains(x, y)) << x << "," << y;
            solid += pixel.alpha() == 255 ? 1 : 0;
        }
    EXPECT_GT(solid, 100); // the darkest strokes draw in full, not faded
}

} // namespace kestrune::test
