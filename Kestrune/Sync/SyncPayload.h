#pragma once

#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/Storage/ActionOutcomeRecord.h"
#include "Kestrune/Storage/BatterySample.h"
#include "Kestrune/Storage/PlugEventRecord.h"
#include "Kestrune/Storage/PowerActionRecord.h"
#include "Kestrune/Storage/SavingsDailyRecord.h"

#include <QJsonObject>
#include <QList>
#include <QVariantMap>

#include <optional>

namespace kestrune {

// One sync batch as the backend receives it: the four record lists since their
// watermarks, the last seven days of the savings ledger, and the state a new installation
// can be restored from (process averages, the learned model, the settings).
//
// JSON has no NaN or infinity, and one would make the whole body unsendable: a record
// holding one is left out (the watermark still passes it, so it is never retried), and so
// is a map entry holding one.
class SyncPayload {
public:
    // The cut applied to an action log entry's detail, in characters as the user sees them.
    static constexpr int detailLimit = 500;

    QList<BatterySample> samples;
    QList<PlugEventRecord> plugEvents;
    QList<PowerActionRecord> powerActions;
    QList<ActionOutcomeRecord> actionOutcomes;
    QList<SavingsDailyRecord> savingsDaily;
    ImpactMap impactEMA;
    QJsonObject learned;
    QVariantMap settings;

    // All eight keys, also where a list is empty.
    QJsonObject toJson() const;

    // One record's object; nothing when one of its numbers is not finite.
    static std::optional<QJsonObject> json(const BatterySample& record);
    static std::optional<QJsonObject> json(const PlugEventRecord& record);
    static std::optional<QJsonObject> json(const PowerActionRecord& record);
    static std::optional<QJsonObject> json(const ActionOutcomeRecord& record);
    static std::optional<QJsonObject> json(const SavingsDailyRecord& record);
};

} // namespace kestrune
