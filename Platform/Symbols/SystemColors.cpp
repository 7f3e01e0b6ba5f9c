#include "Platform/Symbols/SystemColors.h"

namespace kestrune {

// Relative luminance between about 0.21 and 0.30: the band where 3:1 holds on both sides.
QColor SystemColors::green() { return QColor(0x28, 0xa7, 0x45); }
QColor SystemColors::orange() { return QColor(0xe0, 0x78, 0x00); }
QColor SystemColors::red() { return QColor(0xff, 0x3b, 0x30); }
QColor SystemColors::purple() { return QColor(0xb4, 0x5e, 0xe2); }
QColor SystemColors::yellow() { return QColor(0xb5, 0x8e, 0x00); }
QColor SystemColors::gray() { return QColor(0x8e, 0x8e, 0x93); }
QColor SystemColors::blue() { return QColor(0x1a, 0x80, 0xff); }
QColor SystemColors::teal() { return QColor(0x1b, 0x9a, 0xaa); }

} // namespace kestrune
