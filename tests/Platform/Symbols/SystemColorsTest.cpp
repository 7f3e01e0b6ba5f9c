#include "Platform/Symbols/SystemColors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrune::test {

TEST(SystemColorsTest, EveryNamedColourKeeps3To1OnAWhiteAndOnABreezeDarkWindow)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const auto contrast = [&](const QColor& a, const QColor& b) {
        const double la = luminance(a);
        const double lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    const QList<QColor> colours{SystemColors::green(),  SystemColors::orange(), SystemColors::red(),
                                SystemColors::purple(), SystemColors::yellow(), SystemColors::gray(),
                                SystemColors::blue(),   SystemColors::teal()};
    for (const QColor& colour : colours)
        for (const QColor& window : {QColor(Qt::white), QColor(0x31, 0x36, 0x3b), QColor(0x20, 0x23, 0x26)})
            EXPECT_GE(contrast(colour, window), 3.0) << colour.name().toStdString() << " on "
                                                     << window.name().toStdString();
}

} // namespace kestrune::test
