#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

// What the daemon found it can do with this machine's charging keys.
struct ChargingCapabilities {
    bool smcAvailable = false;
    std::optional<QString> chargingControlMethod; // "CH0B/CH0C" or "CHTE"
    std::optional<QString> dischargeMethod;       // "CHIE" or "CH0I"
    bool hasAppleLimit80 = false;
    QStringList notes;

    bool operator==(const ChargingCapabilities&) const = default;

    QJsonObject toJsonObject() const;
    std::optional<QByteArray> toJson() const;
    static std::optional<ChargingCapabilities> fromJsonObject(const QJsonObject& object);
    static std::optional<ChargingCapabilities> fromJson(const QByteArray& bytes);
};

} // namespace kestrune
