#include "Kestrune/Storage/ActionOutcomeRecord.h"

namespace kestrune {

ActionOutcomeRecord::ActionOutcomeRecord(QDateTime timestamp, QString actionKey, double deltaW, bool valid)
    : timestamp(std::move(timestamp))
    , actionKey(std::move(actionKey))
    , deltaW(deltaW)
    , valid(valid)
    , m_id(RecordId::fresh())
{
}

} // namespace kestrune
