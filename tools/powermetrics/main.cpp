// powermetrics: Kestrune's stand-in for the per-process energy sampler.
//
//   powermetrics --samplers tasks --show-process-energy -i MS -n 1 -f plist
//
// Samples every process's CPU time from /proc over MS milliseconds and prints one XML
// property list: a dictionary whose "tasks" array holds, per process, "name", "pid",
// "cputime_ns", "cputime_ms_per_s", "energy_impact" and "energy_impact_per_s", followed by
// the summary rows "ALL_TASKS" (every process together) and "DEAD_TASKS" (processes that
// ended during the interval). There is no energy meter per process, so the energy impact
// is derived from CPU time: one busy core is an impact of 100. Exit status 0 on success,
// 1 on failure, 64 for a command line it does not know.
//
// The daemon starts it for every sample, on battery too, so it is a plain program: no
// toolkit or library to load, no event loop: two walks of /proc and one write.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Task {
    long pid = 0;
    std::string name;
    unsigned long long ticks = 0; // user + system CPU time in clock ticks
};

std::int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A whole number in decimal, with an optional sign and white space around it.
std::optional<int> parseInt(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// How many bytes the character that `lead` starts takes; 0 for a byte no character starts with.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The name as valid UTF-8: the kernel cuts a name at 15 bytes, often inside a character, and
// any process may name itself with any bytes. Each byte that starts no whole character
// becomes U+FFFD.
std::string validUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
        const unsigned char lead = byte(i);
        std::size_t length = sequenceLength(lead);
        if (length > bytes.size() - i)
            length = 0;
        // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        for (std::size_t k = 1; k < length; ++k) {
            if (byte(i + k) < (k == 1 ? low : 0x80) || byte(i + k) > (k == 1 ? high : 0xBF))
                length = 0;
        }
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(bytes.substr(i, length));
            i += length;
        }
    }
    return text;
}

// One read takes a whole stat line; a longer file is read on to its end.
std::optional<std::string> readStat(int proc, const char* pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "%.40s/stat", pid);
    const int fd = openat(proc, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0)
            content.append(buffer, std::size_t(n));
        if (n < ssize_t(sizeof buffer))
            break;
    }
    close(fd);
    return content;
}

// "pid (name) state ppid ...": the name may itself hold spaces and parentheses, so the fields
// are counted from its last ")". utime and stime are the 12th and 13th fields after it.
std::optional<Task> readTask(int proc, long pid, const char* entry)
{
    const auto stat = readStat(proc, entry);
    if (!stat)
        return std::nullopt;
    const std::size_t open = stat->find('(');
    const std::size_t close = stat->rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    std::string_view rest = std::string_view(*stat).substr(close + 1);
    std::string_view fields[13];
    std::size_t count = 0;
    while (count < std::size(fields)) {
        while (!rest.empty() && isSpace(rest.front()))
            rest.remove_prefix(1);
        if (rest.empty())
            return std::nullopt;
        std::size_t length = 0;
        while (length < rest.size() && !isSpace(rest[length]))
            ++length;
        fields[count++] = rest.substr(0, length);
        rest.remove_prefix(length);
    }
    const auto number = [](std::string_view field) {
        unsigned long long value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        return error == std::errc() && end == field.data() + field.size() ? value : 0;
    };
    return Task{pid, validUtf8(std::string_view(*stat).substr(open + 1, close - open - 1)),
                number(fields[11]) + number(fields[12])};
}

// Every process, by pid.
std::vector<Task> readTasks()
{
    std::vector<Task> tasks;
    DIR* proc = opendir("/proc");
    if (!proc)
        return tasks;
    while (const dirent* entry = readdir(proc)) {
        const std::string_view name(entry->d_name);
        long pid = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (error != std::errc() || end != name.data() + name.size() || pid <= 0)
            continue;
        if (auto task = readTask(dirfd(proc), pid, entry->d_name))
            tasks.push_back(std::move(*task));
    }
    closedir(proc);
    std::sort(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) { return a.pid < b.pid; });
    return tasks;
}

void sleepFor(int milliseconds)
{
    timespec left{milliseconds / 1000, long(milliseconds % 1000) * 1'000'000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// The property list is written as libplist writes one, which is what the daemon reads it
// with: tab indentation, integers in decimal, reals with 17 significant digits ("0.0" for
// zero), and &, < and > escaped in text.
void appendText(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
}

void appendInteger(std::string& out, std::int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendReal(std::string& out, double value)
{
    char digits[40];
    const int length = value == 0 ? std::snprintf(digits, sizeof digits, "0.0")
                                  : std::snprintf(digits, sizeof digits, "%.17g", value);
    out.append(digits, std::size_t(length));
}

// One task's dictionary, an item of the "tasks" array.
void appendTask(std::string& out, std::string_view name, std::optional<long> pid, double cpuNs, double seconds)
{
    const double msPerS = cpuNs / 1e6 / seconds;
    const double impact = msPerS / 10.0;
    out += "\t\t<dict>\n\t\t\t<key>name</key>\n\t\t\t<string>";
    appendText(out, name);
    out += "</string>\n";
    if (pid) {
        out += "\t\t\t<key>pid</key>\n\t\t\t<integer>";
        appendInteger(out, *pid);
        out += "</integer>\n";
    }
    out += "\t\t\t<key>cputime_ns</key>\n\t\t\t<integer>";
    appendInteger(out, static_cast<std::int64_t>(cpuNs));
    out += "</integer>\n\t\t\t<key>cputime_ms_per_s</key>\n\t\t\t<real>";
    appendReal(out, msPerS);
    for (const char* key : {"energy_impact", "energy_impact_per_s"}) {
        out += "</real>\n\t\t\t<key>";
        out += key;
        out += "</key>\n\t\t\t<real>";
        appendReal(out, impact);
    }
    out += "</real>\n\t\t</dict>\n";
}

int usage()
{
    std::fputs("usage: powermetrics --samplers tasks --show-process-energy -i MS -n 1 -f plist\n", stderr);
    return 64;
}

} // namespace

int main(int argc, char* argv[])
{
    int intervalMs = -1;
    bool tasksSampler = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::string_view value = i + 1 < argc ? argv[i + 1] : "";
        bool ok = true;
        if (argument == "--samplers") {
            tasksSampler = value == "tasks";
            ok = tasksSampler;
            ++i;
        } else if (argument == "--show-process-energy") {
        } else if (argument == "-i") {
            const auto interval = parseInt(value);
            ok = interval && *interval > 0;
            intervalMs = interval.value_or(0);
            ++i;
        } else if (argument == "-n") {
            ok = value == "1";
            ++i;
        } else if (argument == "-f") {
            ok = value == "plist";
            ++i;
        } else {
            ok = false;
        }
        if (!ok)
            return usage();
    }
    if (!tasksSampler || intervalMs < 0)
        return usage();

    const double nsPerTick = 1e9 / static_cast<double>(sysconf(_SC_CLK_TCK));
    const std::int64_t started = monotonicNs();
    const std::vector<Task> before = readTasks();
    sleepFor(intervalMs);
    const std::vector<Task> after = readTasks();
    const double seconds = static_cast<double>(monotonicNs() - started) / 1e9;

    std::string tasks;
    tasks.reserve(after.size() * 400);
    double totalNs = 0;
    for (const Task& task : after) {
        const auto earlier = std::lower_bound(before.begin(), before.end(), task.pid,
                                              [](const Task& t, long pid) { return t.pid < pid; });
        // A process started during the interval spent all its CPU time within it.
        const bool seen = earlier != before.end() && earlier->pid == task.pid && earlier->ticks <= task.ticks;
        const double cpuNs = static_cast<double>(task.ticks - (seen ? earlier->ticks : 0)) * nsPerTick;
        totalNs += cpuNs;
        appendTask(tasks, task.name, task.pid, cpuNs, seconds);
    }
    appendTask(tasks, "ALL_TASKS", std::nullopt, totalNs, seconds);
    appendTask(tasks, "DEAD_TASKS", std::nullopt, 0, seconds);

    std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                        "<plist version=\"1.0\">\n<dict>\n\t<key>elapsed_ns</key>\n\t<integer>";
    appendInteger(plist, monotonicNs() - started);
    plist += "</integer>\n\t<key>tasks</key>\n\t<array>\n";
    plist += tasks;
    plist += "\t</array>\n</dict>\n</plist>\n";
    // A sample that did not reach the reader whole is a failure, even when only the final
    // flush finds out.
    const bool written = std::fwrite(plist.data(), 1, plist.size(), stdout) == plist.size() && std::fflush(stdout) == 0;
    return written ? 0 : 1;
}
