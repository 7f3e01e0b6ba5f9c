#include "Platform/Sysfs/ChargeBehaviour.h"

namespace kestrune {

ChargeBehaviour ChargeBehaviour::parse(const QString& text)
{
    ChargeBehaviour result;
    const QStringList tokens = text.simplified().split(u' ', Qt::SkipEmptyParts);
    for (const QString& token : tokens) {
        if (token.size() > 2 && token.startsWith(u'[') && token.endsWith(u']')) {
            const QString mode = token.mid(1, token.size() - 2);
            result.modes << mode;
            result.active = mode;
            result.listed = true;
        } else {
            result.modes << token;
        }
    }
    if (!result.listed && result.modes.size() == 1)
        result.active = result.modes.front();
    return result;
}

QString ChargeBehaviour::toKernelText() const
{
    QStringList parts;
    for (const QString& mode : modes)
        parts << (mode == active ? QStringLiteral("[%1]").arg(mode) : mode);
    return parts.join(u' ');
}

} // namespace kestrune
