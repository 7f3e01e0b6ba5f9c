#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

class QWidget;

namespace kestrune {

// The views' one vocabulary of looks: text styles as fonts relative to the application font,
// the secondary and tertiary foregrounds, and symbols drawn in a colour. The named colours
// themselves are SystemColors; this only applies them.
class Style {
public:
    enum TextStyle { Body, Title, Title2, Title3, Headline, Callout, Caption, Caption2 };
    enum Foreground { Primary, Secondary, Tertiary };

    // `style` scaled from `base` (the application font unless given). Headline is semibold,
    // the others keep the base's weight.
    static QFont font(TextStyle style);
    static QFont font(TextStyle style, const QFont& base);

    // `font`, or a font of the same size and weight whose digits all have one width, so that
    // changing figures do not make their line jitter.
    static QFont monospacedDigits(const QFont& font);

    // The text colour of `foreground` derived from the primary text colour `text`.
    static QColor foreground(Foreground foreground, const QColor& text);

    // Set on a label (or any widget that draws its text in its foreground role).
    static void apply(QWidget* widget, TextStyle style, Foreground foreground = Primary);
    static void apply(QWidget* widget, TextStyle style, const QColor& color);
    static void setForeground(QWidget* widget, Foreground foreground);
    static void setColor(QWidget* widget, const QColor& color);
    static void setWeight(QWidget* widget, QFont::Weight weight);
    static void setMonospacedDigits(QWidget* widget);

    // `symbol` drawn in `color` into a square of `side` logical pixels at `devicePixelRatio`.
    static QPixmap symbol(const QString& symbol, const QColor& color, int side, qreal devicePixelRatio = 1.0);
};

} // namespace kestrune
