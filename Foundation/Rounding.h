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
};

} // namespace kestrune
