#include "Kestrune/UI/MenuBar/PopoverPlacement.h"

#include <QtGlobal>

namespace kestrune {

QRect PopoverPlacement::anchor(const QRect& trayGeometry, const QPoint& cursor)
{
    if (trayGeometry.isValid() && !trayGeometry.isEmpty())
        return trayGeometry;
    return QRect(cursor, QSize(1, 1));
}

QPoint PopoverPlacement::topLeft(const QRect& anchor, const QSize& size, const QRect& available)
{
    const bool topHalf = anchor.center().y() < available.center().y();
    const int x = anchor.center().x() - size.width() / 2;
    const int y = topHalf ? anchor.bottom() + 1 + gap : anchor.top() - gap - size.height();
    // A popover larger than the screen keeps its top-left corner on it.
    return QPoint(qMax(available.left(), qMin(x, available.right() + 1 - size.width())),
                  qMax(available.top(), qMin(y, available.bottom() + 1 - size.height())));
}

} // namespace kestrune
