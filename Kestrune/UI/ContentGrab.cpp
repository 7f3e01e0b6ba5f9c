#include "Kestrune/UI/ContentGrab.h"

#include <QApplication>
#include <QScrollArea>

#include <algorithm>

namespace kestrune {

QPixmap ContentGrab::whole(QWidget& widget, int maxHeight)
{
    widget.show();
    // Each pass grows by what the most hidden area lacks; nested areas and text that wraps
    // differently once a scroll bar goes away settle in a few passes.
    for (int pass = 0; pass < 10; ++pass) {
        QApplication::processEvents();
        QList<QScrollArea*> areas = widget.findChildren<QScrollArea*>();
        if (auto* self = qobject_cast<QScrollArea*>(&widget))
            areas << self;
        int missing = 0;
        for (const QScrollArea* area : std::as_const(areas))
            missing = std::max(missing, hiddenHeight(*area));
        const int height = std::min(maxHeight, widget.height() + missing);
        if (height == widget.height())
            break;
        widget.resize(widget.width(), height);
    }
    QApplication::processEvents();
    return widget.grab();
}

int ContentGrab::hiddenHeight(const QScrollArea& area)
{
    const QWidget* content = area.widget();
    if (!content || !area.isVisible())
        return 0;
    int needed = content->height();
    if (area.widgetResizable()) {
        const int width = area.viewport()->width();
        needed = content->hasHeightForWidth() ? content->heightForWidth(width) : content->sizeHint().height();
        needed = std::max(needed, content->minimumSizeHint().height());
    }
    return std::max(0, needed - area.viewport()->height());
}

} // namespace kestrune
