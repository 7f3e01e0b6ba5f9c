#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

namespace kestrune {

// The charging keys as the daemon last read them.
struct SMCChargingState {
    bool chargingInhibited = false;
    bool forceDischarging = false;
    std::optional<bool> appleLimit80; // absent when "CHWA" could not be read

    bool operator==(const SMCChargingState&) const = default;

    QJsonObject toJsonObject() const;
    std::optional<QByteArray> toJson() const;
    static std::optional<SMCChargingState> fromJsonObject(const QJsonObject& object);
    static std::optional<SMCChargingState> fromJson(const QByteArray& bytes);
};

} // namespace kestrune
