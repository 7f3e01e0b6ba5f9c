#pragma once

#include <QDateTime>

#include <optional>

namespace kestrune {

// The rules of charge policy that need no state of their own.
class ChargePolicy {
public:
    ChargePolicy() = delete;

    // Whether a just-in-time full charge runs, and the unplug moment it aims at. The target
    // is present exactly when the charge is active.
    struct JITDecision {
        bool active = false;
        std::optional<QDateTime> latchedUnplug;

        bool operator==(const JITDecision&) const = default;
    };

    // Decides the just-in-time charge for this pass.
    //
    // A charge that has started stays on its latched target until that moment comes or the
    // battery reads 100 %: the start time moves later as the battery fills, and without the
    // latch the charge would stop again half-way. Without a latch a charge starts when the
    // window [chargeStart, predictedUnplug) holds `now` and the battery is not yet full.
    static JITDecision decideJIT(int soc, const QDateTime& now, const std::optional<QDateTime>& latchedUnplug,
        const std::optional<QDateTime>& predictedUnplug, const std::optional<QDateTime>& chargeStart);
};

} // namespace kestrune
