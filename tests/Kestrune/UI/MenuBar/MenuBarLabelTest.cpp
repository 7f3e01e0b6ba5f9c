#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/MenuBar/MenuBarLabel.h"
#include "tests/Kestrune/App/AppStateFixture.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>

namespace kestrune::test {

namespace {

std::optional<BatterySnapshot> reading(int soc, bool externalConnected, bool charging = false)
{
    BatterySnapshot snapshot;
    snapshot.socPercent = soc;
    snapshot.externalConnected = externalConnected;
    snapshot.isCharging = charging;
    return snapshot;
}

} // namespace

TEST(MenuBarLabelSymbol, BandsAtTheirEdgesAndTheStatesOfExternalPower)
{
    struct Case {
        int soc;
        const char* symbol;
    };
    for (const Case& c : {Case{0, "battery.0percent"}, {12, "battery.0percent"}, {13, "battery.25percent"},
                          {37, "battery.25percent"}, {38, "battery.50percent"}, {62, "battery.50percent"},
                          {63, "battery.75percent"}, {87, "battery.75percent"}, {88, "battery.100percent"},
                          {100, "battery.100percent"}}) {
        // Holding and discharging belong to external power; on battery only the charge counts.
        EXPECT_EQ(MenuBarLabel::symbolName(reading(c.soc, false), true, true), c.symbol) << c.soc;
    }
    EXPECT_EQ(MenuBarLabel::symbolName(std::nullopt, true, true), "battery.50percent");

    // On external power the charge plays no part; a forced discharge wins over charging,
    // charging over holding.
    for (const int soc : {5, 80, 100}) {
        EXPECT_EQ(MenuBarLabel::symbolName(reading(soc, true), false, false), "powerplug");
        EXPECT_EQ(MenuBarLabel::symbolName(reading(soc, true), false, true), "powerplug.fill");
        EXPECT_EQ(MenuBarLabel::symbolName(reading(soc, true, true), false, true), "battery.100percent.bolt");
        EXPECT_EQ(MenuBarLabel::symbolName(reading(soc, true, true), true, true), "arrow.down.circle");
    }
}

using MenuBarLabelTest = AppStateFixture;

TEST_F(MenuBarLabelTest, DrawsTheReadingAndOpensRequestedWindowsOnce)
{
    preset({{"backendEnabled", false}});
    AppState& app = launch();
    QStringList opened;
    MenuBarLabel label(app, [&](const QString& id) { opened << id; });
    QSignalSpy redrawn(&label, &MenuBarLabel::changed);

    EXPECT_EQ(label.symbolName(), "battery.50percent");
    EXPECT_EQ(label.text(), QString()) << "no reading, no figure";

    // The launch's request, made before the label appears, opens the window when it does; a
    // share request from before opens nothing.
    app.start();
    app.requestWindow();
    app.routeNotificationTap(QStringLiteral("milestone-daily30-1"));
    spin(20);
    EXPECT_TRUE(opened.isEmpty());
    label.appear();
    label.appear();
    spin(20);
    EXPECT_EQ(opened, QStringList{"onboarding"});

    // The reading: 70 % and charging on the simulated machine.
    EXPECT_EQ(label.text(), "70%");
    EXPECT_EQ(label.toolTip(), "70%");
    EXPECT_EQ(label.symbolName(), "battery.100percent.bolt");
    EXPECT_GE(redrawn.size(), 1);

    // The icon is drawn at the size asked for, once: asked again, it gives the same picture.
    const QIcon icon = label.icon();
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{22, 22}, {44, 44}}));
    const QPixmap picture = icon.pixmap(QSize(24, 24), 2.0);
    EXPECT_EQ(picture.size(), QSize(48, 48));
    EXPECT_EQ(picture.toImage(), MenuBarLabel::draw("battery.100percent.bolt", "70%", 24, 2.0).toImage());
    EXPECT_EQ(icon.pixmap(QSize(24, 24), 2.0).cacheKey(), picture.cacheKey());
    QImage painted(QSize(40, 30), QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    QPainter painter(&painted);
    icon.paint(&painter, painted.rect());
    painter.end();
    EXPECT_EQ(painted.copy(5, 0, 30, 30), MenuBarLabel::draw("battery.100percent.bolt", "70%", 30).toImage())
        << "centred, at the height it is given";

    // A reading that changes neither the symbol nor the text leaves the icon as it is.
    const qsizetype before = redrawn.size();
    app.monitor().refresh();
    spin(20);
    EXPECT_EQ(redrawn.size(), before);
    EXPECT_EQ(label.icon().cacheKey(), icon.cacheKey());
    app.settings().setShowPercentInMenuBar(false);
    EXPECT_EQ(label.text(), QString());
    EXPECT_EQ(redrawn.size(), before + 1);
    EXPECT_NE(label.icon().cacheKey(), icon.cacheKey());

    // Requests made together open the window once; onboarding done, it is the main window.
    app.completeOnboarding();
    opened.clear();
    app.requestWindow();
    app.requestWindow();
    spin(20);
    EXPECT_EQ(opened, QStringList{"main"});
    EXPECT_EQ(label.handledTick(), app.windowRequestTick());
    app.routeNotificationTap(QStringLiteral("milestone-streak7-1"));
    app.routeNotificationTap(QStringLiteral("milestone-total6h-1"));
    spin(20);
    EXPECT_EQ(opened, (QStringList{"main", "share"}));
    EXPECT_EQ(label.handledShareTick(), app.shareRequestTick());
}

TEST(MenuBarLabelDrawing, TheFigureSharesTheSquareAtEverySize)
{
    // The sizes trays ask for.
    for (const int side : {16, 22, 24, 32, 48}) {
        for (const qreal ratio : {1.0, 2.0}) {
            const QImage alone = MenuBarLabel::draw("powerplug.fill", QString(), side, ratio).toImage();
            const QImage withText = MenuBarLabel::draw("powerplug.fill", "80%", side, ratio).toImage();
            EXPECT_EQ(alone.size(), QSize(side, side) * ratio);
            EXPECT_EQ(withText.size(), alone.size());
            EXPECT_NE(alone, withText) << side;
            // The figure keeps to the lower part of the square.
            const QImage figure = MenuBarLabel::draw("no.such.symbol", "100%", side, ratio).toImage();
            auto inkIn = [&](int fromRow, int toRow) {
                int ink = 0;
                for (int y = fromRow; y < toRow; ++y)
                    for (int x = 0; x < figure.width(); ++x)
                        ink += qAlpha(figure.pixel(x, y)) > 0 ? 1 : 0;
                return ink;
            };
            EXPECT_EQ(inkIn(0, figure.height() / 2), 0) << side;
            EXPECT_GT(inkIn(figure.height() / 2, figure.height()), 0) << side;
        }
    }
}

} // namespace kestrune::test
