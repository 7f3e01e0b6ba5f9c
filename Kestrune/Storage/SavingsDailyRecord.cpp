#include "Kestrune/Storage/SavingsDailyRecord.h"

namespace kestrune {

SavingsDailyRecord::SavingsDailyRecord(
    QDateTime day, double savedWh, double extendedMinutes, qint64 actionsCount)
    : day(std::move(day))
    , savedWh(savedWh)
    , extendedMinutes(extendedMinutes)
    , actionsCount(actionsCount)
    , m_id(RecordId::fresh())
{
}

} // namespace kestrune
