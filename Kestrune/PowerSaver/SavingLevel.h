#pragma once

#include <QDateTime>

#include <optional>

namespace kestrune {

// How hard the power saver saves, from 1 (standard) to 3 (maximum). Levels rise at once
// and fall slowly: only after 180 s at the present level and with a margin, so that the
// actions of a level are not switched on and off at every reading. Pure.
class SavingLevel {
public:
    struct Inputs {
        int soc = 0;                // charge, %
        QDateTime now;
        bool automatic = true;      // false: the user's manual level holds
        int manualLevel = 2;
        bool boost = false;         // maximum saving until external power returns
        std::optional<double> estimatedRuntimeHours;
        std::optional<double> requiredHours;
        std::optional<qint64> strategyThreshold; // the day's strategy's escalation charge, %
        int level = 0;              // the level in force
        QDateTime lastLevelChange;
    };

    static constexpr int lowChargePercent = 20;
    static constexpr int defaultThresholdPercent = 40;
    static constexpr qint64 minimumStayMs = 180'000;

    // The wanted level, 1 to 3.
    static int decide(const Inputs& in);
};

} // namespace kestrune
