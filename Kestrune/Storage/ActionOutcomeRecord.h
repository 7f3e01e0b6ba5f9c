#pragma once

#include "Kestrune/Storage/RecordId.h"

#include <QDateTime>
#include <QString>

namespace kestrune {

// The measured effect of one power-saving action. Only the history store makes these.
class ActionOutcomeRecord {
public:
    ActionOutcomeRecord(QDateTime timestamp, QString actionKey, double deltaW, bool valid);

    RecordId id() const { return m_id; }

    QDateTime timestamp;
    QString actionKey; // "lpm", "kbOff", ..., "throttle:<process>"
    double deltaW = 0; // fall in drain the measurement gave the action; positive when it saved
    bool valid = false;

    bool operator==(const ActionOutcomeRecord& other) const { return m_id == other.m_id; }

private:
    friend class HistoryStore;
    RecordId m_id;
};

inline size_t qHash(const ActionOutcomeRecord& record, size_t seed = 0) noexcept
{
    return qHash(record.id(), seed);
}

} // namespace kestrune
