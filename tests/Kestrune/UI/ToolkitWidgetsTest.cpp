#include "Kestrune/UI/CapsuleLabel.h"
#include "Kestrune/UI/ProportionalBar.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrune;

namespace {

bool digitsShareOneWidth(const QFont& font)
{
    const QFontMetricsF metrics(font);
    for (char digit = '1'; digit <= '9'; ++digit)
        if (std::abs(metrics.horizontalAdvance(QLatin1Char(digit)) - metrics.horizontalAdvance('0')) > 0.01)
            return false;
    return true;
}

} // namespace

TEST(Style, TextStylesKeepTheirOrderAndFiguresKeepTheirWidth)
{
    QFont base("DejaVu Sans");
    base.setPointSizeF(10);
    const auto size = [&](Style::TextStyle style) { return Style::font(style, base).pointSizeF(); };
    EXPECT_GT(size(Style::Title), size(Style::Title2));
    EXPECT_GT(size(Style::Title2), size(Style::Title3));
    EXPECT_GT(size(Style::Title3), size(Style::Body));
    EXPECT_EQ(size(Style::Headline), size(Style::Body));
    EXPECT_EQ(Style::font(Style::Headline, base).weight(), QFont::DemiBold);
    EXPECT_GT(size(Style::Body), size(Style::Callout));
    EXPECT_GT(size(Style::Callout), size(Style::Caption));
    EXPECT_GT(size(Style::Caption), size(Style::Caption2));
    EXPECT_GE(size(Style::Caption2), 7.5) << "small texts stay readable on a 10-point desktop";
    QFont pixels = base;
    pixels.setPixelSize(20);
    EXPECT_EQ(Style::font(Style::Title2, pixels).pixelSize(), 26);

    // Whatever face comes in (the serif's digits are proportional), the one that goes out
    // draws every digit at one width, at the size and weight asked for.
    for (const char* family : {"DejaVu Sans", "Noto Sans CJK JP", "Noto Serif CJK JP"}) {
        QFont font(family);
        font.setPointSizeF(13);
        font.setWeight(QFont::DemiBold);
        const QFont figures = Style::monospacedDigits(font);
        EXPECT_TRUE(digitsShareOneWidth(figures)) << family;
        EXPECT_EQ(figures.pointSizeF(), 13);
        EXPECT_EQ(figures.weight(), QFont::DemiBold);
    }

    // Secondary and tertiary are fainter versions of the text colour, applied once however
    // often a view applies them.
    QWidget parent;
    auto* note = new QLabel("note", &parent);
    const QColor text = parent.palette().color(QPalette::WindowText);
    Style::apply(note, Style::Caption, Style::Secondary);
    Style::setForeground(note, Style::Secondary);
    const QColor secondary = note->palette().color(QPalette::WindowText);
    EXPECT_EQ(secondary.rgb(), text.rgb());
    EXPECT_LT(secondary.alphaF(), 0.8);
    EXPECT_LT(Style::foreground(Style::Tertiary, text).alphaF(), secondary.alphaF());
    EXPECT_EQ(note->font().pointSizeF(), Style::font(Style::Caption).pointSizeF());
    Style::setColor(note, SystemColors::orange());
    EXPECT_EQ(note->palette().color(QPalette::Active, QPalette::WindowText), SystemColors::orange());
}

TEST(SegmentedPicker, OnlyTheUsersChoiceOfAnotherSegmentIsReported)
{
    SegmentedPicker picker;
    QAbstractButton* eighty = picker.addSegment("80%", 80);
    QAbstractButton* hundred = picker.addSegment("100%", 100);
    QVariantList picked;
    QObject::connect(&picker, &SegmentedPicker::picked, [&](const QVariant& value) { picked << value; });

    // A stored value is shown without a word back; one no segment stands for shows none.
    picker.setValue(80);
    EXPECT_TRUE(eighty->isChecked());
    picker.setValue(85);
    EXPECT_FALSE(eighty->isChecked() || hundred->isChecked());
    EXPECT_FALSE(picker.value().isValid());
    EXPECT_TRUE(picked.isEmpty());

    eighty->click();
    hundred->click();
    hundred->click(); // the segment already chosen
    EXPECT_EQ(picked, (QVariantList{80, 100}));
    EXPECT_EQ(picker.value(), 100);
    EXPECT_FALSE(eighty->isChecked());
    EXPECT_EQ(picker.segment(100), hundred);
    EXPECT_EQ(picker.segment(85), nullptr);
}

TEST(ToolkitWidgets, BarsBadgesAndSymbolLabelsShowWhatTheyAreGiven)
{
    ProportionalBar bar(QSize(60, 6), 2);
    EXPECT_EQ(bar.size(), QSize(60, 6));
    bar.setValue(0.6);
    EXPECT_DOUBLE_EQ(bar.value(), 0.6);
    bar.setValue(-0.2);
    EXPECT_EQ(bar.value(), 0);
    bar.setValue(7);
    EXPECT_EQ(bar.value(), 1);
    bar.setValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(bar.value(), 0);
    // A sliver drawn into a tiny bar stays inside its track.
    bar.setColor(QColor(255, 0, 0));
    bar.setValue(0.01);
    const QImage sliver = bar.grab().toImage();
    for (int x = 3; x < sliver.width(); ++x)
        EXPECT_LT(sliver.pixelColor(x, 3).red() - sliver.pixelColor(x, 3).green(), 60) << x;

    CapsuleLabel badge;
    badge.setText("<b>L3</b>");
    badge.setColors(SystemColors::red());
    EXPECT_EQ(badge.textFormat(), Qt::PlainText);
    EXPECT_EQ(badge.fill(), SystemColors::red());
    EXPECT_EQ(badge.textColor(), QColor(Qt::white));
    badge.resize(badge.sizeHint());
    const QImage capsule = badge.grab().toImage();
    EXPECT_NE(capsule.pixelColor(0, 0).rgb(), SystemColors::red().rgb()) << "rounded ends leave the corners clear";
    EXPECT_EQ(capsule.pixelColor(capsule.width() / 2, 1).rgb(), SystemColors::red().rgb());

    SymbolLabel* warning = SymbolLabel::warning("<i>ヘルパー未接続</i>");
    EXPECT_EQ(warning->symbol(), "exclamationmark.triangle");
    EXPECT_EQ(warning->text(), "<i>ヘルパー未接続</i>");
    auto* text = warning->findChild<QLabel*>("text");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_EQ(text->palette().color(QPalette::Active, QPalette::WindowText), SystemColors::orange());
    EXPECT_LT(text->font().pointSizeF(), QApplication::font().pointSizeF());
    // The symbol is drawn in the label's colour, and again when the colour changes.
    const auto symbolHas = [&](const QColor& color) {
        const QImage symbol = warning->findChild<QLabel*>("symbol")->pixmap().toImage();
        for (int y = 0; y < symbol.height(); ++y)
            for (int x = 0; x < symbol.width(); ++x)
                if (symbol.pixelColor(x, y).alpha() > 200 && symbol.pixelColor(x, y).rgb() == color.rgb())
                    return true;
        return false;
    };
    EXPECT_TRUE(symbolHas(SystemColors::orange()));
    Style::setColor(warning, SystemColors::green());
    EXPECT_TRUE(symbolHas(SystemColors::green()));
    delete warning;
}
