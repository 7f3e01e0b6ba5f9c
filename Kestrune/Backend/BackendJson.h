#pragma once

#include "Kestrune/Backend/BackendResult.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <optional>

namespace kestrune {

// The JSON rules of the backend's wire format.
class BackendJson {
public:
    // A JSON text (an object or an array); anything else fails with the parser's message.
    static BackendResult<QJsonDocument> parse(const QByteArray& data);
    // Compact JSON. Qt would write NaN and the infinities as null, silently changing what
    // is sent, so a body holding one fails instead.
    static BackendResult<QByteArray> encode(const QJsonObject& object);
    // False when a NaN or an infinity is anywhere inside.
    static bool isFinite(const QJsonValue& value);
    // A number that is a whole 64-bit integer (40 and 40.0, not 40.5, 2^63 or true).
    static std::optional<qint64> integer(const QJsonValue& value);
};

} // namespace kestrune
