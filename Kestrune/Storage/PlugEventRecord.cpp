#include "Kestrune/Storage/PlugEventRecord.h"

namespace kestrune {

PlugEventRecord::PlugEventRecord()
    : m_id(RecordId::fresh())
{
}

PlugEventRecord::PlugEventRecord(QDateTime timestamp, bool plugged, qint64 soc)
    : timestamp(std::move(timestamp))
    , plugged(plugged)
    , soc(soc)
    , m_id(RecordId::fresh())
{
}

} // namespace kestrune
