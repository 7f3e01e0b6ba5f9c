#pragma once

#include <QColor>

namespace kestrune {

// The fixed named colours of the interface (status, levels, kinds of action). Each is one
// value for every palette: its lightness keeps text and symbols at a contrast of at least 3:1
// against both a white window and Breeze Dark's window, so no view has to pick by palette.
class SystemColors {
public:
    static QColor green();
    static QColor orange();
    static QColor red();
    static QColor purple();
    static QColor yellow();
    static QColor gray();
    static QColor blue();
    static QColor teal();
};

} // namespace kestrune
