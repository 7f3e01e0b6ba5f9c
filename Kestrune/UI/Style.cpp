#include "Kestrune/UI/Style.h"

#include "Platform/Symbols/SymbolIcon.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QWidget>

#include <cmath>
#include <functional>

namespace kestrune {

namespace {

// Sizes against the body text. Linux desktops set their body text smaller than the 13 points
// these styles were drawn for (10 or 11 points), so the small styles shrink less than the
// large ones grow: a caption of three quarters of 10 points would no longer be readable.
qreal scaleOf(Style::TextStyle style)
{
    switch (style) {
    case Style::Title:
        return 1.7;
    case Style::Title2:
        return 1.3;
    case Style::Title3:
        return 1.15;
    case Style::Callout:
        return 0.93;
    case Style::Caption:
        return 0.86;
    case Style::Caption2:
        return 0.8;
    case Style::Body:
    case Style::Headline:
        break;
    }
    return 1.0;
}

void copySize(const QFont& from, QFont& to)
{
    if (from.pointSizeF() > 0)
        to.setPointSizeF(from.pointSizeF());
    else
        to.setPixelSize(from.pixelSize());
}

bool digitsShareOneWidth(const QFont& font)
{
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (std::abs(metrics.horizontalAdvance(QLatin1Char(digit)) - zero) > 0.01)
            return false;
    return true;
}

// Sets the colour the widget draws its text in, per colour group; a disabled widget shows the
// same colour faded, as disabled text is everywhere else.
void setTextColors(QWidget* widget, const std::function<QColor(QPalette::ColorGroup)>& colorOf)
{
    QPalette palette = widget->palette();
    const QPalette::ColorRole role = widget->foregroundRole();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, colorOf(group));
    widget->setPalette(palette);
}

QColor faded(QColor color, qreal opacity)
{
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

} // namespace

QFont Style::font(TextStyle style)
{
    return font(style, QApplication::font());
}

QFont Style::font(TextStyle style, const QFont& base)
{
    QFont font = base;
    const qreal scale = scaleOf(style);
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * scale);
    else
        font.setPixelSize(std::max(1, int(std::lround(base.pixelSize() * scale))));
    if (style == Headline)
        font.setWeight(QFont::DemiBold);
    return font;
}

QFont Style::monospacedDigits(const QFont& font)
{
    // Qt 6.4 cannot ask a font for its tabular figures. Most desktop faces (DejaVu, Noto,
    // Liberation) draw their digits at one width anyway; where the face does not, the
    // desktop's fixed-width face stands in for the whole text.
    if (digitsShareOneWidth(font))
        return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    copySize(font, fixed);
    fixed.setWeight(font.weight());
    fixed.setItalic(font.italic());
    return fixed;
}

QColor Style::foreground(Foreground foreground, const QColor& text)
{
    // Fainter than the text, but kept at a contrast of at least 3:1 on the window for the
    // small texts these styles mostly carry.
    switch (foreground) {
    case Secondary:
        return faded(text, 0.62);
    case Tertiary:
        return faded(text, 0.46);
    case Primary:
        break;
    }
    return text;
}

void Style::apply(QWidget* widget, TextStyle style, Foreground foreground)
{
    widget->setFont(font(style));
    setForeground(widget, foreground);
}

void Style::apply(QWidget* widget, TextStyle style, const QColor& color)
{
    widget->setFont(font(style));
    setColor(widget, color);
}

void Style::setForeground(QWidget* widget, Foreground foreground)
{
    // Derived from the colours the widget would have without ours, so that applying twice
    // does not fade twice.
    const QPalette inherited = widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette();
    const QPalette::ColorRole role = widget->foregroundRole();
    setTextColors(widget, [&](QPalette::ColorGroup group) {
        return Style::foreground(foreground, inherited.color(group, role));
    });
}

void Style::setColor(QWidget* widget, const QColor& color)
{
    setTextColors(widget, [&](QPalette::ColorGroup group) {
        return group == QPalette::Disabled ? faded(color, 0.5) : color;
    });
}

void Style::setWeight(QWidget* widget, QFont::Weight weight)
{
    QFont font = widget->font();
    font.setWeight(weight);
    widget->setFont(font);
}

void Style::setMonospacedDigits(QWidget* widget)
{
    widget->setFont(monospacedDigits(widget->font()));
}

QPixmap Style::symbol(const QString& symbol, const QColor& color, int side, qreal devicePixelRatio)
{
    const int pixels = int(std::ceil(side * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    SymbolIcon::paint(painter, QRectF(0, 0, side, side), symbol, color);
    return pixmap;
}

} // namespace kestrune
