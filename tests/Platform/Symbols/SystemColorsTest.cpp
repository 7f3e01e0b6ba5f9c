#include "Platform/Symbols/SystemColors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrune::test {

namespace {

double luminance(const QColor& color)
{
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(SystemColorsTest, EveryNamedColourReadsOnLightAndDarkWindows)
{
    const QList<std::pair<const char*, QColor>> colours{
        {"green", SystemColors::green()},   {"orange", SystemColors::orange()}, {"red", SystemColors::red()},
        {"purple", SystemColors::purple()}, {"yellow", SystemColors::yellow()}, {"gray", SystemColors::gray()},
        {"blue", SystemColors::blue()},     {"teal", SystemColors::teal()}};
    // A white window and Breeze Dark's window, older and newer.
    const QList<QColor> windows{Qt::white, QColor(0x31, 0x36, 0x3b), QColor(0x20, 0x23, 0x26)};
    for (const auto& [name, colour] : colours) {
        EXPECT_EQ(colour.alpha(), 255) << name;
        for (const QColor& window : windows)
            EXPECT_GE(contrast(colour, window), 3.0) << name << " on " << window.name().toStdString();
    }
}

} // namespace kestrune::test
