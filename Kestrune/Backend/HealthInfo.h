#pragma once

#include "Kestrune/Backend/BackendResult.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

namespace kestrune {

// The backend's health answer: whether it is up, which model providers it can serve now,
// their model names, and whether it insists on a device token.
struct HealthInfo {
    bool ok = false;
    QMap<QString, bool> providers;
    QMap<QString, QString> models;
    std::optional<bool> authRequired; // "auth_required"

    // Strict: "ok", "providers" and "models" must be there with their types.
    static BackendResult<HealthInfo> decode(const QByteArray& data);

    bool operator==(const HealthInfo&) const = default;
};

} // namespace kestrune
