// cpu-burner NAME THREADS: keeps THREADS threads busy under the process name NAME until it
// is ended. The end-to-end tests use it as the heavy background process the power saver is
// to find: the sampler counts one busy core as an energy impact of 100, so the number of
// threads sets how heavy it looks, and the name sets whether it may be lowered at all.

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

[[noreturn]] void spin()
{
    volatile unsigned long turns = 0;
    for (;;)
        turns = turns + 1;
}

} // namespace

int main(int argc, char* argv[])
{
    char* end = nullptr;
    const long threads = argc == 3 ? std::strtol(argv[2], &end, 10) : 0;
    if (argc != 3 || *end != '\0' || threads < 1 || threads > 64) {
        std::fputs("usage: cpu-burner NAME THREADS (1 to 64)\n", stderr);
        return 64;
    }
    // It ends with the test that started it, however the test ends.
    const pid_t parent = getppid();
    if (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0 || getppid() != parent)
        return 1;
    // A session of its own is a scheduling group of its own: on a busy machine it then gets
    // its share apart from the test that started it.
    setsid();
    // Set before the threads start, which inherit it; the kernel keeps the first 15 bytes.
    if (prctl(PR_SET_NAME, argv[1], 0, 0, 0) != 0) {
        std::perror("cpu-burner");
        return 1;
    }
    std::vector<std::thread> workers;
    for (long i = 1; i < threads; ++i)
        workers.emplace_back(spin);
    spin();
}
