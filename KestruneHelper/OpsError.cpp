#include "KestruneHelper/OpsError.h"

#include "Foundation/Graphemes.h"

namespace kestrune {

OpsError::OpsError(Kind kind, QString text)
    : m_kind(kind)
    , m_text(std::move(text))
    , m_utf8(m_text.toUtf8())
{
}

OpsError OpsError::invalidPID(qint64 pid)
{
    return OpsError(Kind::InvalidPID, QStringLiteral("不正なPID: %1").arg(pid));
}

OpsError OpsError::systemProcessProtected(std::int32_t pid, std::uint32_t uid)
{
    return OpsError(Kind::SystemProcessProtected,
                    QStringLiteral("システムプロセスは対象外です (pid=%1, uid=%2)").arg(pid).arg(uid));
}

OpsError OpsError::setpriorityFailed(std::int32_t pid, std::int32_t error)
{
    return OpsError(Kind::SetpriorityFailed, QStringLiteral("setpriority失敗 (pid=%1, errno=%2)").arg(pid).arg(error));
}

OpsError OpsError::commandFailed(const QString& command, std::int32_t status, const QString& output)
{
    return OpsError(Kind::CommandFailed,
                    command + QStringLiteral(" 失敗 (status=%1) ").arg(status) + Graphemes::prefix(output, 120));
}

OpsError OpsError::launchFailed(const QString& description)
{
    return OpsError(Kind::LaunchFailed, description);
}

} // namespace kestrune
