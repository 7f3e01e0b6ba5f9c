#include "Kestrune/Storage/RecordId.h"

#include <atomic>

namespace kestrune {

RecordId RecordId::fresh()
{
    static std::atomic<qint64> next { -1 };
    return RecordId(next.fetch_sub(1, std::memory_order_relaxed));
}

} // namespace kestrune
