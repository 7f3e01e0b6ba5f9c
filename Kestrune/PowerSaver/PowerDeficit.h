#pragma once

#include <optional>

namespace kestrune {

// How many watts the power saver still has to save: the drain less the drain that would
// last until the user needs the battery (the target). Pure.
class PowerDeficit {
public:
    struct Inputs {
        bool boost = false;                     // save all that can be saved
        std::optional<double> requiredHours;
        double fullWh = 0;                      // the battery's energy when full; 0 unknown
        int socPercent = 0;
        std::optional<double> strategyTargetW;  // the day's strategy's target drain
        int tier = 1;
        double drainWatts = 0;
    };

    // How far a strategy may move the battery's own target, either way.
    static constexpr double strategyLeeway = 0.4;

    // Positive infinity in boost; may be negative below level 3.
    static double compute(const Inputs& in);
};

} // namespace kestrune
