#include "Kestrune/Backend/HealthInfo.h"

#include "Kestrune/Backend/BackendJson.h"

namespace kestrune {

namespace {

BackendFailure mismatch(const char* key)
{
    return BackendFailure::json(
        QStringLiteral("health answer: \"%1\" is missing or of the wrong type").arg(QLatin1String(key)));
}

} // namespace

BackendResult<HealthInfo> HealthInfo::decode(const QByteArray& data)
{
    BackendResult<QJsonDocument> document = BackendJson::parse(data);
    if (!document)
        return document.failure();
    if (!document->isObject())
        return BackendFailure::json(QStringLiteral("health answer: not a JSON object"));
    const QJsonObject root = document->object();

    HealthInfo health;
    const QJsonValue ok = root.value(QStringLiteral("ok"));
    if (!ok.isBool())
        return mismatch("ok");
    health.ok = ok.toBool();

    const QJsonValue providers = root.value(QStringLiteral("providers"));
    if (!providers.isObject())
        return mismatch("providers");
    const QJsonObject providerMap = providers.toObject();
    for (auto it = providerMap.begin(); it != providerMap.end(); ++it) {
        if (!it.value().isBool())
            return mismatch("providers");
        health.providers.insert(it.key(), it.value().toBool());
    }

    const QJsonValue models = root.value(QStringLiteral("models"));
    if (!models.isObject())
        return mismatch("models");
    const QJsonObject modelMap = models.toObject();
    for (auto it = modelMap.begin(); it != modelMap.end(); ++it) {
        if (!it.value().isString())
            return mismatch("models");
        health.models.insert(it.key(), it.value().toString());
    }

    const QJsonValue authRequired = root.value(QStringLiteral("auth_required"));
    if (authRequired.isBool())
        health.authRequired = authRequired.toBool();
    else if (!authRequired.isUndefined() && !authRequired.isNull())
        return mismatch("auth_required");
    return health;
}

} // namespace kestrune
