#include "Platform/Updater/VersionNumber.h"

namespace kestrune {

std::optional<VersionNumber> VersionNumber::parse(const QString& text)
{
    VersionNumber version;
    version.m_text = text.trimmed();
    for (const QString& part : version.m_text.split(u'.')) {
        if (part.isEmpty())
            return std::nullopt;
        for (const QChar c : part)
            if (c < u'0' || c > u'9')
                return std::nullopt;
        qsizetype zeros = 0;
        while (zeros < part.size() - 1 && part[zeros] == u'0')
            ++zeros;
        version.m_parts << part.mid(zeros);
    }
    return version;
}

std::strong_ordering VersionNumber::operator<=>(const VersionNumber& other) const
{
    static const QString zero = QStringLiteral("0");
    const qsizetype count = std::max(m_parts.size(), other.m_parts.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString& a = i < m_parts.size() ? m_parts[i] : zero;
        const QString& b = i < other.m_parts.size() ? other.m_parts[i] : zero;
        // Without leading zeros, the longer run of digits is the larger number.
        if (a.size() != b.size())
            return a.size() <=> b.size();
        if (const int order = a.compare(b); order != 0)
            return order <=> 0;
    }
    return std::strong_ordering::equal;
}

} // namespace kestrune
