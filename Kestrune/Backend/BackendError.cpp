#include "Kestrune/Backend/BackendError.h"

#include "Foundation/Graphemes.h"
#include "Foundation/Localized.h"

namespace kestrune {

BackendError::BackendError(Kind kind, int status, QString body)
    : m_kind(kind)
    , m_status(status)
    , m_body(std::move(body))
{
}

BackendError BackendError::httpError(int status, QString body)
{
    return BackendError(Kind::HttpError, status, std::move(body));
}

QString BackendError::description() const
{
    switch (m_kind) {
    case Kind::HttpError:
        return QStringLiteral("HTTP %1: %2").arg(m_status).arg(Graphemes::prefix(m_body, 200));
    case Kind::Disabled:
        return Localized::text("バックエンド連携が無効です");
    case Kind::Offline:
        return Localized::text("オフライン(サーバーに到達できません)");
    case Kind::InvalidURL:
        return Localized::text("サーバーURLが不正です");
    case Kind::InvalidResponse:
        return Localized::text("不正なレスポンス");
    }
    return QString();
}

} // namespace kestrune
