#include "Platform/Workspace/Workspace.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace kestrune {

QSet<qint64> Workspace::processTrees(const QList<qint64>& pids, const QString& procRoot)
{
    QSet<qint64> tree;
    QList<qint64> pending;
    for (qint64 pid : pids) {
        if (pid > 0 && QFile::exists(procRoot + u'/' + QString::number(pid)))
            pending << pid;
    }
    if (pending.isEmpty())
        return tree;

    // Every process's parent: "pid (name) state ppid ...", the name possibly holding spaces
    // and parentheses, so the parent is the second field after its last ")".
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(procRoot + u'/' + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue; // gone meanwhile
        const QByteArray line = stat.read(4096);
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0)
            continue;
        bool ok = false;
        const qint64 parent = line.mid(close + 1).simplified().split(' ').value(1).toLongLong(&ok);
        if (ok)
            children[parent] << pid;
    }

    while (!pending.isEmpty()) {
        const qint64 pid = pending.takeLast();
        if (tree.contains(pid))
            continue;
        tree.insert(pid);
        pending << children.value(pid);
    }
    return tree;
}

} // namespace kestrune
