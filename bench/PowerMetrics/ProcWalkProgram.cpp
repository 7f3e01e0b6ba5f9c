// The bare sampler program the powermetrics stand-in is measured against: two plain walks of
// /proc and nothing else, started the way the daemon starts the tool.

#include "bench/PowerMetrics/PlainProcWalk.h"

int main()
{
    const unsigned long long before = kestrune::bench::plainProcWalk();
    const unsigned long long after = kestrune::bench::plainProcWalk();
    // Only to keep the walks: a process that ended between them may make the sum go down.
    return before + after == 1 ? 1 : 0;
}
