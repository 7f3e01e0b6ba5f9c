#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

// The wire form shared by the reply types: one compact JSON object per value, "/" escaped
// as "\/", dates as seconds since 2001-01-01. Readers are strict about required members
// (present, right JSON type) and lenient about unknown ones.
class JsonCodec {
public:
    // Compact JSON with every "/" written as "\/".
    static QByteArray write(const QJsonObject& object);
    // The top-level object, or nothing when the bytes are not one JSON object.
    static std::optional<QJsonObject> readObject(const QByteArray& bytes);

    static std::optional<bool> requiredBool(const QJsonObject& o, const char* key);
    static std::optional<double> requiredDouble(const QJsonObject& o, const char* key);
    static std::optional<qint64> requiredInteger(const QJsonObject& o, const char* key);
    static std::optional<QString> requiredString(const QJsonObject& o, const char* key);
    static std::optional<QStringList> requiredStringList(const QJsonObject& o, const char* key);
    static std::optional<QDateTime> requiredDate(const QJsonObject& o, const char* key);

    // An optional member: `ok` turns false when it is present, not null, and of another type.
    static std::optional<bool> optionalBool(const QJsonObject& o, const char* key, bool& ok);
    static std::optional<QString> optionalString(const QJsonObject& o, const char* key, bool& ok);

    // Seconds since 2001 for a date; nothing for an invalid date.
    static std::optional<double> dateValue(const QDateTime& date);
};

} // namespace kestrune
