#include "Kestrune/Backend/BackendJson.h"

#include <QJsonArray>
#include <QJsonParseError>

#include <cmath>

namespace kestrune {

BackendResult<QJsonDocument> BackendJson::parse(const QByteArray& data)
{
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return BackendFailure::json(
            QStringLiteral("JSON: %1 at offset %2").arg(error.errorString()).arg(error.offset));
    return document;
}

BackendResult<QByteArray> BackendJson::encode(const QJsonObject& object)
{
    if (!isFinite(object))
        return BackendFailure::json(QStringLiteral("JSON: NaN or infinity cannot be written"));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool BackendJson::isFinite(const QJsonValue& value)
{
    if (value.isDouble())
        return std::isfinite(value.toDouble());
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue& item : array) {
            if (!isFinite(item))
                return false;
        }
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!isFinite(it.value()))
                return false;
        }
    }
    return true;
}

std::optional<qint64> BackendJson::integer(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // Qt keeps a whole number that fits as an integer and everything else as a double.
    const QVariant number = value.toVariant();
    if (number.typeId() == QMetaType::LongLong)
        return number.toLongLong();
    const double d = number.toDouble();
    constexpr double twoTo63 = 9223372036854775808.0;
    if (!std::isfinite(d) || d != std::floor(d) || d < -twoTo63 || d >= twoTo63)
        return std::nullopt;
    return static_cast<qint64>(d);
}

} // namespace kestrune
