#pragma once

namespace kestrune::bench {

// Every process's user and system time summed, read from /proc the plainest way a C program
// can: the least any sampler of processes pays for one walk.
unsigned long long plainProcWalk();

} // namespace kestrune::bench
