#include "Kestrune/Storage/PowerActionRecord.h"

namespace kestrune {

PowerActionRecord::PowerActionRecord()
    : m_id(RecordId::fresh())
{
}

PowerActionRecord::PowerActionRecord(QDateTime timestamp, QString action, QString detail)
    : timestamp(std::move(timestamp))
    , action(std::move(action))
    , detail(std::move(detail))
    , m_id(RecordId::fresh())
{
}

} // namespace kestrune
