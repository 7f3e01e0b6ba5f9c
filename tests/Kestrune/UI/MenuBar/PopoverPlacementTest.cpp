#include "Kestrune/UI/MenuBar/PopoverPlacement.h"

#include <gtest/gtest.h>

namespace kestrune::test {

TEST(PopoverPlacement, HangsBelowTopPanelsStandsAboveBottomOnesAndStaysOnScreen)
{
    const QSize popover(320, 500);
    const QRect screen(0, 0, 1920, 1080);
    const QRect secondScreen(1920, 0, 1280, 1024);
    const int gap = PopoverPlacement::gap;
    struct Case {
        const char* name;
        QRect anchor;
        QRect available;
        QPoint expected;
    };
    const Case cases[] = {
        // A 24 px icon in a top panel (available area below the panel), centred under it.
        {"top panel", {1000, 4, 24, 24}, {0, 32, 1920, 1048}, {1011 - 160, 28 + gap}},
        // In a bottom panel, above it.
        {"bottom panel", {1000, 1052, 24, 24}, {0, 0, 1920, 1048}, {1011 - 160, 1052 - gap - 500}},
        // At the right edge the popover keeps inside the screen, at the left edge too.
        {"right edge", {1900, 4, 20, 24}, {0, 32, 1920, 1048}, {1920 - 320, 28 + gap}},
        {"left edge", {0, 1052, 24, 24}, {0, 0, 1920, 1048}, {0, 1052 - gap - 500}},
        // A side panel: the icon halfway down the screen counts as bottom half.
        {"side panel", {1890, 600, 24, 24}, {0, 0, 1860, 1080}, {1860 - 320, 600 - gap - 500}},
        // On a second screen, in its own coordinates, below a panel that covers the icon's gap.
        {"second screen", {3150, 2, 22, 22}, secondScreen.adjusted(0, 30, 0, 0), {3200 - 320, 30}},
        // Taller than the screen: its top stays on it.
        {"too tall", {1000, 4, 24, 24}, {0, 32, 1920, 300}, {1011 - 160, 32}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PopoverPlacement::topLeft(c.anchor, popover, c.available), c.expected) << c.name;

    // The tray's own geometry where it tells one; else the point clicked.
    EXPECT_EQ(PopoverPlacement::anchor(QRect(10, 10, 24, 24), QPoint(500, 500)), QRect(10, 10, 24, 24));
    const QRect clicked = PopoverPlacement::anchor(QRect(), QPoint(1910, 40));
    EXPECT_EQ(clicked, QRect(1910, 40, 1, 1));
    EXPECT_EQ(PopoverPlacement::topLeft(clicked, popover, screen), QPoint(1920 - 320, 41 + gap));
    EXPECT_EQ(PopoverPlacement::anchor(QRect(0, 0, 0, 0), QPoint(5, 1070)), QRect(5, 1070, 1, 1));
}

} // namespace kestrune::test
