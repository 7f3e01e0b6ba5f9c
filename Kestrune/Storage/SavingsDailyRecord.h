#pragma once

#include "Kestrune/Storage/RecordId.h"

#include <QDateTime>

namespace kestrune {

// The savings ledger of one local day. Only the history store makes these, one per day.
class SavingsDailyRecord {
public:
    SavingsDailyRecord(QDateTime day, double savedWh, double extendedMinutes, qint64 actionsCount);

    RecordId id() const { return m_id; }

    QDateTime day; // start of the local day; the row's key
    double savedWh = 0;
    double extendedMinutes = 0; // battery time gained
    qint64 actionsCount = 0; // most actions in force at any update that day

    bool operator==(const SavingsDailyRecord& other) const { return m_id == other.m_id; }

private:
    friend class HistoryStore;
    RecordId m_id;
};

inline size_t qHash(const SavingsDailyRecord& record, size_t seed = 0) noexcept
{
    return qHash(record.id(), seed);
}

} // namespace kestrune
