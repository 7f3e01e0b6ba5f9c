#pragma once

#include <QHashFunctions>
#include <QtGlobal>

#include <cstddef>

namespace kestrune {

// Who a history record is. A stored record is its table row; a record that was made but
// not yet stored gets a number of its own (negative, never reused in this process), so
// two fresh records with equal values still count as two, while copies of one record
// stay equal to each other. Attribute values never take part in equality.
class RecordId {
public:
    // A new identity for a record that is not stored.
    static RecordId fresh();
    static RecordId row(qint64 rowId) { return RecordId(rowId); }

    qint64 value() const { return m_value; }
    bool isStored() const { return m_value > 0; }

    bool operator==(const RecordId&) const = default;

private:
    explicit RecordId(qint64 value)
        : m_value(value)
    {
    }
    qint64 m_value;
};

inline size_t qHash(const RecordId& id, size_t seed = 0) noexcept
{
    return ::qHash(id.value(), seed);
}

} // namespace kestrune
