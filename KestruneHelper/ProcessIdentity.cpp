#include "KestruneHelper/ProcessIdentity.h"

#include <QFile>
#include <QList>
#include <QString>

namespace kestrune {

namespace {

QByteArray readProc(std::int32_t pid, const char* file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::optional<std::uint32_t> effectiveUid(std::int32_t pid)
{
    // "Uid:\treal\teffective\tsaved\tfilesystem"
    for (const QByteArray& line : readProc(pid, "status").split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
        bool ok = false;
        const uint uid = fields.value(1).toUInt(&ok);
        return ok ? std::optional<std::uint32_t>(uid) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<quint64> startTicks(std::int32_t pid)
{
    // "pid (name) state ppid ... starttime ...": the name may hold spaces and parentheses, so
    // fields are counted after its last ")"; the start time is the 22nd field of the line.
    const QByteArray stat = readProc(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    constexpr qsizetype startTimeAfterName = 22 - 3;
    bool ok = false;
    const quint64 ticks = fields.value(startTimeAfterName).toULongLong(&ok);
    return ok ? std::optional<quint64>(ticks) : std::nullopt;
}

} // namespace

std::optional<ProcessIdentity> ProcessIdentity::of(std::int32_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    const auto uid = effectiveUid(pid);
    const auto started = startTicks(pid);
    if (!uid || !started)
        return std::nullopt;
    return ProcessIdentity{*uid, *started};
}

} // namespace kestrune
