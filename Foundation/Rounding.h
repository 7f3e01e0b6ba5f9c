#pragma once

namespace kestrune {

// Figures shown to the user and stored percentages round half away from zero
// (2.5 -> 3, -2.5 -> -3), never to even.
class Rounding {
public:
    static double halfAwayFromZero(double value);
    // Rounded to `places` decimal places, half away from zero.
    static double toPlaces(double value, int places);
    // Rounded to the nearest integer; non-finite values give 0, out-of-range values saturate.
    static long long toInteger(double value);
    // The whole part, cut toward zero; saturating likewise, and 0 for a value that is not a
    // number.
    static long long towardZero(double value);
};

} // namespace kestrune
