#include "Kestrune/Sync/SyncPayload.h"

#include "Foundation/Epoch.h"
#include "Foundation/Graphemes.h"
#include "Kestrune/Backend/BackendJson.h"

#include <QJsonArray>

#include <cmath>

namespace kestrune {

namespace {

// The record when every number in it is finite.
std::optional<QJsonObject> checked(const QJsonObject& record)
{
    if (!BackendJson::isFinite(record))
        return std::nullopt;
    return record;
}

template <typename Record> QJsonArray array(const QList<Record>& records)
{
    QJsonArray array;
    for (const Record& record : records) {
        if (const std::optional<QJsonObject> object = SyncPayload::json(record))
            array.append(*object);
    }
    return array;
}

bool nonFiniteNumber(const QJsonValue& value)
{
    return value.isDouble() && !std::isfinite(value.toDouble());
}

// The value without the entries and items, at any depth, that are not finite numbers.
QJsonValue finiteOnly(const QJsonValue& value)
{
    if (value.isObject()) {
        QJsonObject kept;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!nonFiniteNumber(it.value()))
                kept.insert(it.key(), finiteOnly(it.value()));
        }
        return kept;
    }
    if (value.isArray()) {
        QJsonArray kept;
        const QJsonArray array = value.toArray();
        for (const QJsonValue& item : array) {
            if (!nonFiniteNumber(item))
                kept.append(finiteOnly(item));
        }
        return kept;
    }
    return value;
}

// Qt turns a non-finite number into null on the way from a variant to JSON: such an entry
// is left out before that.
QJsonObject finiteOnly(const QVariantMap& map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it) {
        const QVariant& value = it.value();
        const bool number = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
        if (!number || std::isfinite(value.toDouble()))
            object.insert(it.key(), QJsonValue::fromVariant(value));
    }
    return finiteOnly(object).toObject();
}

double seconds(const QDateTime& date)
{
    return Epoch::secondsSince1970(date);
}

} // namespace

std::optional<QJsonObject> SyncPayload::json(const BatterySample& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("ts"), seconds(r.timestamp));
    o.insert(QStringLiteral("soc"), r.soc);
    o.insert(QStringLiteral("is_charging"), r.isCharging);
    o.insert(QStringLiteral("ac_attached"), r.acAttached);
    o.insert(QStringLiteral("temperature"), r.temperature);
    o.insert(QStringLiteral("health_percent"), r.healthPercent);
    o.insert(QStringLiteral("cycle_count"), r.cycleCount);
    o.insert(QStringLiteral("watts"), r.watts);
    return checked(o);
}

std::optional<QJsonObject> SyncPayload::json(const PlugEventRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("ts"), seconds(r.timestamp));
    o.insert(QStringLiteral("plugged"), r.plugged);
    o.insert(QStringLiteral("soc"), r.soc);
    return checked(o);
}

std::optional<QJsonObject> SyncPayload::json(const PowerActionRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("ts"), seconds(r.timestamp));
    o.insert(QStringLiteral("action"), r.action);
    o.insert(QStringLiteral("detail"), Graphemes::prefix(r.detail, detailLimit));
    return checked(o);
}

std::optional<QJsonObject> SyncPayload::json(const ActionOutcomeRecord& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("ts"), seconds(r.timestamp));
    o.insert(QStringLiteral("action_key"), r.actionKey);
    o.insert(QStringLiteral("delta_w"), r.deltaW);
    o.insert(QStringLiteral("valid"), r.valid);
    return checked(o);
}

std::optional<QJsonObject> SyncPayload::json(const SavingsDailyRecord& r)
{
    QJsonObject o;
    // The backend reads the day in GMT: a day that starts at local midnight east of
    // Greenwich reads as the date before.
    o.insert(QStringLiteral("day"), r.day.toUTC().date().toString(Qt::ISODate));
    o.insert(QStringLiteral("saved_wh"), r.savedWh);
    o.insert(QStringLiteral("extended_minutes"), r.extendedMinutes);
    o.insert(QStringLiteral("actions_count"), r.actionsCount);
    return checked(o);
}

QJsonObject SyncPayload::toJson() const
{
    QJsonObject impacts;
    for (auto it = impactEMA.begin(); it != impactEMA.end(); ++it)
        impacts.insert(it.key(), it.value());

    QJsonObject payload;
    payload.insert(QStringLiteral("samples"), array(samples));
    payload.insert(QStringLiteral("plug_events"), array(plugEvents));
    payload.insert(QStringLiteral("power_actions"), array(powerActions));
    payload.insert(QStringLiteral("action_outcomes"), array(actionOutcomes));
    payload.insert(QStringLiteral("savings_daily"), array(savingsDaily));
    payload.insert(QStringLiteral("impact_ema"), finiteOnly(impacts));
    payload.insert(QStringLiteral("learned"), finiteOnly(learned));
    payload.insert(QStringLiteral("settings"), finiteOnly(settings));
    return payload;
}

} // namespace kestrune
