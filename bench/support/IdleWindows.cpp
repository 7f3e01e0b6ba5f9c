#include "bench/support/IdleWindows.h"

#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrune {

namespace {

// Runs the event loop as a program does, sleeping until there is work.
void idle(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

void IdleWindows::readFlags(int& argc, char** argv)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--warmup-seconds=", 17) == 0)
            warmupSeconds = std::atoi(argv[i] + 17);
        else if (std::strncmp(argv[i], "--window-seconds=", 17) == 0)
            windowSeconds = std::max(1, std::atoi(argv[i] + 17));
        else
            rest.push_back(argv[i]);
    }
    argc = int(rest.size());
    std::copy(rest.begin(), rest.end(), argv);
}

double IdleWindows::cpuSecondsPerHour(const std::function<double()>& cpuSeconds)
{
    double before = 0;
    double after = 0;
    measure([&] { before = cpuSeconds(); }, [&] { after = cpuSeconds(); });
    return (after - before) / windowSeconds * 3600.0;
}

void IdleWindows::measure(const std::function<void()>& atStart, const std::function<void()>& atEnd)
{
    idle(warmupSeconds);
    atStart();
    idle(windowSeconds);
    atEnd();
}

double IdleWindows::statusMegabytes(const QString& process, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB$").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toDouble() / 1024.0;
}

} // namespace kestrune
