#include "KestruneHelper/SMCError.h"

namespace kestrune {

namespace {
// Kernel codes print as the 8 hex digits of their 32-bit pattern, never with a sign.
QString hex32(qint64 code)
{
    return QStringLiteral("%1").arg(static_cast<std::uint32_t>(code), 8, 16, QLatin1Char('0'));
}
} // namespace

SMCError::SMCError(Kind kind, qint64 value, QString key, qint64 second)
    : m_kind(kind)
    , m_value(value)
    , m_key(std::move(key))
    , m_second(second)
{
    m_utf8 = text().toUtf8();
}

QString SMCError::text() const
{
    switch (m_kind) {
    case Kind::OpenFailed:
        return QStringLiteral("SMCオープン失敗 (0x%1)").arg(hex32(m_value));
    case Kind::CallFailed:
        return QStringLiteral("SMC呼び出し失敗 (0x%1)").arg(hex32(m_value));
    case Kind::KeyNotFound:
        return QStringLiteral("SMCキーが存在しません: ") + m_key;
    case Kind::SmcResult:
        return QStringLiteral("SMCエラー (result=0x%1)")
            .arg(static_cast<std::uint8_t>(m_value), 2, 16, QLatin1Char('0'));
    case Kind::UnexpectedDataSize:
        return QStringLiteral("データサイズ不一致 (期待%1, 実際%2)").arg(m_value).arg(m_second);
    case Kind::ServiceNotFound:
        return QStringLiteral("AppleSMCサービスが見つかりません");
    case Kind::DataTooLarge:
        return QStringLiteral("データサイズが大きすぎます (%1バイト, 上限32バイト)").arg(m_value);
    }
    return {};
}

} // namespace kestrune
