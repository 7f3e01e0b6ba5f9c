#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace kestrune {

// The answer to every daemon command: did it work, and if not, why.
struct HelperCommandResult {
    bool success = false;
    std::optional<QString> message; // the error's text on failure

    static HelperCommandResult ok() { return {true, std::nullopt}; }
    static HelperCommandResult failure(const QString& text) { return {false, text}; }

    QJsonObject toJsonObject() const;
    std::optional<QByteArray> toJson() const;
    static std::optional<HelperCommandResult> fromJsonObject(const QJsonObject& object);
    static std::optional<HelperCommandResult> fromJson(const QByteArray& bytes);
};

} // namespace kestrune
