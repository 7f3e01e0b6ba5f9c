#include "Shared/HelperCommandResult.h"

#include "Shared/JsonCodec.h"

namespace kestrune {

QJsonObject HelperCommandResult::toJsonObject() const
{
    QJsonObject o;
    o["success"] = success;
    if (message)
        o["message"] = *message;
    return o;
}

std::optional<QByteArray> HelperCommandResult::toJson() const
{
    return JsonCodec::write(toJsonObject());
}

std::optional<HelperCommandResult> HelperCommandResult::fromJsonObject(const QJsonObject& o)
{
    bool ok = true;
    const auto success = JsonCodec::requiredBool(o, "success");
    const auto message = JsonCodec::optionalString(o, "message", ok);
    if (!success || !ok)
        return std::nullopt;
    return HelperCommandResult{*success, message};
}

std::optional<HelperCommandResult> HelperCommandResult::fromJson(const QByteArray& bytes)
{
    const auto object = JsonCodec::readObject(bytes);
    return object ? fromJsonObject(*object) : std::nullopt;
}

} // namespace kestrune
