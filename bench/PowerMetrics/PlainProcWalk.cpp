#include "bench/PowerMetrics/PlainProcWalk.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace kestrune::bench {

unsigned long long plainProcWalk()
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    unsigned long long ticks = 0;
    char path[300];
    char stat[1024];
    while (const dirent* entry = ::readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])))
            continue;
        std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t n = ::read(fd, stat, sizeof stat - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        stat[n] = '\0';
        const char* field = std::strrchr(stat, ')');
        // utime and stime are the 12th and 13th fields after the name.
        for (int skip = 0; field && skip < 12; ++skip)
            field = std::strchr(field + 1, ' ');
        if (!field)
            continue;
        char* end = nullptr;
        ticks += std::strtoull(field + 1, &end, 10);
        ticks += std::strtoull(end, nullptr, 10);
    }
    ::closedir(proc);
    return ticks;
}

} // namespace kestrune::bench
