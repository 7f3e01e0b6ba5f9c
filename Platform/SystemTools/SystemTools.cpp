#include "Platform/SystemTools/SystemTools.h"

#include <QFileInfo>

namespace kestrune {

SystemTools::SystemTools(QHash<QString, QString> table)
    : m_table(std::move(table))
{
}

SystemTools SystemTools::locate(const QString& programDir, const QString& libexecDir)
{
    QHash<QString, QString> table;
    for (const char* tool : {powermetrics, pmset, mdutil, tmutil}) {
        const QString path = QString::fromLatin1(tool);
        const QString name = QFileInfo(path).fileName();
        const QStringList candidates{
            programDir + u'/' + name,
            programDir + QStringLiteral("/../tools/") + name + u'/' + name,
            libexecDir + u'/' + name,
        };
        for (const QString& candidate : candidates) {
            const QFileInfo info(candidate);
            if (info.isFile() && info.isExecutable()) {
                table.insert(path, info.canonicalFilePath());
                break;
            }
        }
    }
    return SystemTools(std::move(table));
}

QString SystemTools::resolve(const QString& toolPath) const
{
    return m_table.value(toolPath, toolPath);
}

} // namespace kestrune
