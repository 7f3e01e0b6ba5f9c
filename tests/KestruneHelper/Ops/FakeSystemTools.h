#pragma once

#include "Platform/SystemTools/SystemTools.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTextStream>

namespace kestrune::test {

// Shell scripts in a temporary folder standing in for powermetrics, pmset, mdutil and tmutil.
// By default each one logs its command line to calls.log, prints <name>.out if present and
// exits with the status in <name>.status (0 without it); setScript replaces a tool whole.
class FakeSystemTools {
public:
    FakeSystemTools()
    {
        for (const char* tool : {"powermetrics", "pmset", "mdutil", "tmutil"})
            setScript(tool, QStringLiteral("echo \"%1 $*\" >> \"%2/calls.log\"\n"
                                           "if [ -f \"%2/%1.out\" ]; then cat \"%2/%1.out\"; fi\n"
                                           "exit \"$(cat \"%2/%1.status\" 2>/dev/null || echo 0)\"\n")
                                .arg(QString::fromLatin1(tool), path()));
    }

    QString path() const { return m_dir.path(); }
    QString program(const QString& tool) const { return m_dir.filePath(tool); }

    SystemTools table() const
    {
        QHash<QString, QString> table;
        for (const char* tool : {SystemTools::powermetrics, SystemTools::pmset, SystemTools::mdutil, SystemTools::tmutil})
            table.insert(QString::fromLatin1(tool), program(QString::fromLatin1(tool).section(u'/', -1)));
        return SystemTools(table);
    }

    void setScript(const QString& tool, const QString& body)
    {
        QFile file(program(tool));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write("#!/bin/sh\n" + body.toUtf8());
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                            | QFile::ExeOther);
    }
    void setOutput(const QString& tool, const QByteArray& output) { write(tool + QStringLiteral(".out"), output); }
    void setStatus(const QString& tool, int status) { write(tool + QStringLiteral(".status"), QByteArray::number(status)); }

    // The command lines run so far ("pmset -b lowpowermode 1"), oldest first.
    QStringList calls() const
    {
        QFile file(m_dir.filePath(QStringLiteral("calls.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    void clearCalls() { QFile::remove(m_dir.filePath(QStringLiteral("calls.log"))); }

private:
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }

    QTemporaryDir m_dir;
};

} // namespace kestrune::test
