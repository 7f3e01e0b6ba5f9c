#pragma once

#include "Kestrune/Storage/RecordId.h"

#include <QDateTime>

namespace kestrune {

// One connect or disconnect of external power; the disconnects teach the unplug habit.
class PlugEventRecord {
public:
    PlugEventRecord();
    PlugEventRecord(QDateTime timestamp, bool plugged, qint64 soc);

    RecordId id() const { return m_id; }

    QDateTime timestamp;
    bool plugged = false; // false: power was disconnected
    qint64 soc = 0; // percent, of the reading that saw the change

    bool operator==(const PlugEventRecord& other) const { return m_id == other.m_id; }

private:
    friend class HistoryStore;
    RecordId m_id;
};

inline size_t qHash(const PlugEventRecord& record, size_t seed = 0) noexcept
{
    return qHash(record.id(), seed);
}

} // namespace kestrune
