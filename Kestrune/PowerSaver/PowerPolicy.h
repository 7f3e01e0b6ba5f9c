#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kestrune {

// Picks the power-saving actions for a saving level so that their expected savings cover
// the power deficit. Pure: the engine builds the candidates, this only chooses.
class PowerPolicy {
public:
    struct Candidate {
        QString key;        // action key (PowerActionKeys)
        double watts = 0;   // expected saving in W
        double score = 0;   // ranking value, higher is better; may be negative
        int minTier = 1;    // lowest saving level (1 to 3) at which it may run
        bool isBase = false; // runs at any level from minTier up, whatever the deficit

        bool operator==(const Candidate&) const = default;
    };

    struct Selection {
        QStringList chosen;          // in the order of the ranked walk
        double expectedSavingsW = 0; // sum of the chosen watts, each at least 0

        bool operator==(const Selection&) const = default;
    };

    // Ranks by score (stable, so equal scores keep the caller's order), then walks once:
    // a base action is taken while its score is above -1, any other while the running
    // total is still below the deficit and its score is above 0.05. The deficit may be 0
    // or infinite.
    static Selection select(const std::vector<Candidate>& candidates, double deficitW, int tier);
};

} // namespace kestrune
