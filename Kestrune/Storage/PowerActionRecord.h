#pragma once

#include "Kestrune/Storage/RecordId.h"

#include <QDateTime>
#include <QString>

namespace kestrune {

// One line of the action log the user reads: what the power saver (or a share, or a
// strategy) did, and when.
class PowerActionRecord {
public:
    PowerActionRecord();
    PowerActionRecord(QDateTime timestamp, QString action, QString detail);

    RecordId id() const { return m_id; }

    QDateTime timestamp;
    QString action; // the kind: "level", "lpm", "dim", "service", "throttle", ...
    QString detail; // the text shown in the log

    bool operator==(const PowerActionRecord& other) const { return m_id == other.m_id; }

private:
    friend class HistoryStore;
    RecordId m_id;
};

inline size_t qHash(const PowerActionRecord& record, size_t seed = 0) noexcept
{
    return qHash(record.id(), seed);
}

} // namespace kestrune
