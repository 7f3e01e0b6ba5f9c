#include "KestruneHelper/RegularUsers.h"

#include <QFile>
#include <QList>

namespace kestrune {

RegularUsers::RegularUsers(const QString& loginDefsPath)
{
    QFile file(loginDefsPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.simplified();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        bool ok = false;
        const uint value = fields.at(1).toUInt(&ok);
        if (!ok)
            continue;
        if (fields.at(0) == "UID_MIN")
            m_first = value;
        else if (fields.at(0) == "UID_MAX")
            m_last = value;
    }
}

bool RegularUsers::contains(std::uint32_t uid) const
{
    if (uid == overflowUid || (uid >= firstDynamicUid && uid <= lastDynamicUid))
        return false;
    return uid >= m_first && uid <= m_last;
}

} // namespace kestrune
