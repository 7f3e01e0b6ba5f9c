#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace kestrune {

// The interface's symbols, named as the views name them ("battery.50percent", "leaf.fill"),
// drawn from the desktop's icon theme. Each symbol has an ordered list of freedesktop icon
// names: the standard name first, so that the desktop's own look wins where its theme has
// one, and last a name that the breeze theme has, which is always installed with Kestrune.
class SymbolIcon {
public:
    // Every symbol name the views use, in a stable order.
    static QStringList symbolNames();
    // The icon names for `symbol`, in the order they are tried; empty for an unknown symbol.
    static QStringList iconNames(const QString& symbol);

    // The icon name that draws `symbol` here, or empty when none can be found.
    static QString resolvedName(const QString& symbol);
    // The icon of `symbol`: the first of its names that the theme has, else breeze's drawing
    // of the last one. Null for an unknown symbol or when breeze is missing.
    static QIcon icon(const QString& symbol);

    // Draws `symbol` in the one colour `color`, the way a symbol stands in a line of text of
    // that colour: the icon's dark strokes take the colour and its light parts stay clear.
    static void paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color);
};

} // namespace kestrune
