#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestrune {

// Where the popover opens beside the tray item: hanging below an item in the top half of the
// screen (a top panel) and standing above one in the bottom half, centred on it, and always
// inside the screen's available area.
//
// On Wayland the compositor places top-level windows itself and ignores the position asked
// for: the popover opens where the compositor puts it.
class PopoverPlacement {
public:
    // Between the item and the popover.
    static constexpr int gap = 4;

    // What the popover hangs from: the tray icon's geometry where the tray tells it (XEmbed
    // trays), else the point clicked (a StatusNotifierItem host never tells where the icon is).
    static QRect anchor(const QRect& trayGeometry, const QPoint& cursor);

    // The popover's top-left corner for a popover of `size` at `anchor` on a screen whose
    // available area is `available`.
    static QPoint topLeft(const QRect& anchor, const QSize& size, const QRect& available);
};

} // namespace kestrune
