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

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTextStream>
#include <QThread>

#include <plist/plist.h>

#include <algorithm>
#include <optional>

#include <unistd.h>

namespace {

struct Task {
    QString name;
    qulonglong ticks = 0; // user + system CPU time in clock ticks
};

QHash<int, Task> readTasks()
{
    QHash<int, Task> tasks;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        // "pid (name) state ppid ..."; the name may itself hold spaces and parentheses.
        const qsizetype open = stat.indexOf('(');
        const qsizetype close = stat.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
        if (fields.size() < 13)
            continue;
        // utime and stime are the 14th and 15th fields of the line, the 12th and 13th after the name.
        tasks.insert(pid, Task{QString::fromUtf8(stat.mid(open + 1, close - open - 1)),
                               fields.at(11).toULongLong() + fields.at(12).toULongLong()});
    }
    return tasks;
}

plist_t taskEntry(const QString& name, std::optional<int> pid, double cpuNs, double seconds)
{
    const double msPerS = cpuNs / 1e6 / seconds;
    const double impact = msPerS / 10.0;
    plist_t entry = plist_new_dict();
    plist_dict_set_item(entry, "name", plist_new_string(name.toUtf8().constData()));
    if (pid)
        plist_dict_set_item(entry, "pid", plist_new_uint(static_cast<uint64_t>(*pid)));
    plist_dict_set_item(entry, "cputime_ns", plist_new_uint(static_cast<uint64_t>(cpuNs)));
    plist_dict_set_item(entry, "cputime_ms_per_s", plist_new_real(msPerS));
    plist_dict_set_item(entry, "energy_impact", plist_new_real(impact));
    plist_dict_set_item(entry, "energy_impact_per_s", plist_new_real(impact));
    return entry;
}

int usage()
{
    QTextStream(stderr) << "usage: powermetrics --samplers tasks --show-process-energy -i MS -n 1 -f plist\n";
    return 64;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    int intervalMs = -1;
    bool tasksSampler = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const QString value = arguments.value(i + 1);
        bool ok = true;
        if (argument == QLatin1String("--samplers")) {
            tasksSampler = value == QLatin1String("tasks");
            ok = tasksSampler;
            ++i;
        } else if (argument == QLatin1String("--show-process-energy")) {
        } else if (argument == QLatin1String("-i")) {
            intervalMs = value.toInt(&ok);
            ok = ok && intervalMs > 0;
            ++i;
        } else if (argument == QLatin1String("-n")) {
            ok = value == QLatin1String("1");
            ++i;
        } else if (argument == QLatin1String("-f")) {
            ok = value == QLatin1String("plist");
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
    QElapsedTimer elapsed;
    elapsed.start();
    const QHash<int, Task> before = readTasks();
    QThread::msleep(static_cast<unsigned long>(intervalMs));
    const QHash<int, Task> after = readTasks();
    const double seconds = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;

    plist_t tasks = plist_new_array();
    double totalNs = 0;
    QList<int> pids = after.keys();
    std::sort(pids.begin(), pids.end());
    for (int pid : pids) {
        const Task& task = after[pid];
        const auto earlier = before.constFind(pid);
        // A process started during the interval spent all its CPU time within it.
        const qulonglong start = earlier != before.cend() && earlier->ticks <= task.ticks ? earlier->ticks : 0;
        const double cpuNs = static_cast<double>(task.ticks - start) * nsPerTick;
        totalNs += cpuNs;
        plist_array_append_item(tasks, taskEntry(task.name, pid, cpuNs, seconds));
    }
    plist_array_append_item(tasks, taskEntry(QStringLiteral("ALL_TASKS"), std::nullopt, totalNs, seconds));
    plist_array_append_item(tasks, taskEntry(QStringLiteral("DEAD_TASKS"), std::nullopt, 0, seconds));

    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "elapsed_ns", plist_new_uint(static_cast<uint64_t>(elapsed.nsecsElapsed())));
    plist_dict_set_item(root, "tasks", tasks);
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    plist_free(root);
    if (!xml) {
        QTextStream(stderr) << "powermetrics: cannot write the sample\n";
        return 1;
    }
    const qint64 written = fwrite(xml, 1, length, stdout);
    plist_to_xml_free(xml);
    return written == length ? 0 : 1;
}
