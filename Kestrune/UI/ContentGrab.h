#pragma once

#include <QPixmap>

class QScrollArea;
class QWidget;

namespace kestrune {

// Pictures of views for review: a view is drawn whole, with every scroll area in it grown to
// its content, so that a long form shows its last section too.
class ContentGrab {
public:
    // Shows `widget` if it is not shown (so that it loads as it does on screen), grows its
    // height until no visible scroll area in it, itself included, has content out of sight,
    // and draws it. It grows no taller than `maxHeight`.
    static QPixmap whole(QWidget& widget, int maxHeight = 16000);

    // How much taller the viewport of `area` would have to be to show all its content.
    static int hiddenHeight(const QScrollArea& area);
};

} // namespace kestrune
