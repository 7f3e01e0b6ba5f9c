#pragma once

#include <QJsonObject>
#include <QtGlobal>

namespace kestrune {

// The tokens one model call used, as the backend reports them.
struct AIUsage {
    qint64 inputTokens = 0;
    qint64 outputTokens = 0;

    // "usage" of a model answer; a missing or malformed count is 0.
    static AIUsage fromAnswer(const QJsonObject& answer);

    bool operator==(const AIUsage&) const = default;
};

} // namespace kestrune
