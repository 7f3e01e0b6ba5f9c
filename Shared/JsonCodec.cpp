#include "Shared/JsonCodec.h"

#include "Foundation/Epoch.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace kestrune {

QByteArray JsonCodec::write(const QJsonObject& object)
{
    // A slash can only occur inside a JSON string, so escaping every one is exact.
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
    bytes.replace("/", "\\/");
    return bytes;
}

std::optional<QJsonObject> JsonCodec::readObject(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<bool> JsonCodec::requiredBool(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

std::optional<double> JsonCodec::requiredDouble(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

std::optional<qint64> JsonCodec::requiredInteger(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d != std::floor(d) || std::fabs(d) > 9.2e18)
        return std::nullopt;
    return v.toInteger(static_cast<qint64>(d));
}

std::optional<QString> JsonCodec::requiredString(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<QStringList> JsonCodec::requiredStringList(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (!v.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString())
            return std::nullopt;
        list << item.toString();
    }
    return list;
}

std::optional<QDateTime> JsonCodec::requiredDate(const QJsonObject& o, const char* key)
{
    const auto seconds = requiredDouble(o, key);
    if (!seconds)
        return std::nullopt;
    const QDateTime date = Epoch::fromSecondsSince2001(*seconds);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<bool> JsonCodec::optionalBool(const QJsonObject& o, const char* key, bool& ok)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isBool()) {
        ok = false;
        return std::nullopt;
    }
    return v.toBool();
}

std::optional<QString> JsonCodec::optionalString(const QJsonObject& o, const char* key, bool& ok)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isString()) {
        ok = false;
        return std::nullopt;
    }
    return v.toString();
}

std::optional<double> JsonCodec::dateValue(const QDateTime& date)
{
    if (!date.isValid())
        return std::nullopt;
    return Epoch::secondsSince2001(date);
}

} // namespace kestrune
