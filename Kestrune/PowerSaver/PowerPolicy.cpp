#include "Kestrune/PowerSaver/PowerPolicy.h"

#include <algorithm>
#include <cmath>

namespace kestrune {

namespace {

constexpr double baseVetoScore = -1.0;
constexpr double minimumScore = 0.05;

// Orders not-a-number scores last, so that the comparison stays a strict weak ordering;
// such a candidate is never chosen anyway.
bool rankedBefore(const PowerPolicy::Candidate& a, const PowerPolicy::Candidate& b)
{
    if (std::isnan(a.score))
        return false;
    if (std::isnan(b.score))
        return true;
    return a.score > b.score;
}

} // namespace

PowerPolicy::Selection PowerPolicy::select(const std::vector<Candidate>& candidates, double deficitW, int tier)
{
    std::vector<Candidate> ranked = candidates;
    std::stable_sort(ranked.begin(), ranked.end(), rankedBefore);

    Selection selection;
    for (const Candidate& candidate : ranked) {
        if (tier < candidate.minTier)
            continue;
        const bool take = candidate.isBase
            ? candidate.score > baseVetoScore
            : selection.expectedSavingsW < deficitW && candidate.score > minimumScore;
        if (!take)
            continue;
        selection.chosen << candidate.key;
        // Watts that are not a number fail the comparison and add nothing.
        if (candidate.watts > 0)
            selection.expectedSavingsW += candidate.watts;
    }
    return selection;
}

} // namespace kestrune
