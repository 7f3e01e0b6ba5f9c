#include "tests/support/BusyProcess.h"

#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace kestrune::test {

namespace {

constexpr qsizetype longestName = 15;

} // namespace

QString BusyProcess::program()
{
    return buildDir() + QStringLiteral("/tests/support/cpu-burner");
}

bool BusyProcess::isBuilt()
{
    return QFileInfo(program()).isExecutable();
}

bool BusyProcess::start(const QString& name, int threads)
{
    if (name.toUtf8().size() > longestName)
        return false;
    m_name = name;
    const QStringList arguments { name, QString::number(threads) };
    const bool started = geteuid() == 0
        ? m_child.start(QStringLiteral("setpriv"),
            QStringList { QStringLiteral("--reuid"), QStringLiteral("1000"), QStringLiteral("--regid"),
                QStringLiteral("1000"), QStringLiteral("--clear-groups"), program() }
                + arguments)
        : m_child.start(program(), arguments);
    if (!started || !waitUntil([&] { return readTrimmed(QStringLiteral("/proc/%1/comm").arg(pid())) == name; }))
        return false;
    // Its session is a scheduling group of its own, which a busy machine gives no more of its
    // cores than any other session: too few for the process to look heavy. Where the tests may
    // (as root), the group weighs as much as about ten others.
    if (geteuid() == 0) {
        QFile group(QStringLiteral("/proc/%1/autogroup").arg(pid()));
        if (group.open(QIODevice::WriteOnly))
            group.write("-10");
    }
    return true;
}

int BusyProcess::nice() const
{
    // Field 19 of /proc/PID/stat; the name in parentheses may hold anything, so fields are
    // counted after the last ')'.
    const QString stat = readTrimmed(QStringLiteral("/proc/%1/stat").arg(pid()));
    const QStringList fields = stat.mid(stat.lastIndexOf(u')') + 2).split(u' ');
    return fields.value(16, QStringLiteral("-99")).toInt();
}

} // namespace kestrune::test
