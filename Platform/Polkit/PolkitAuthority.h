#pragma once

#include <QDBusConnection>
#include <QString>

#include <qcoro/qcorotask.h>

namespace kestrune {

// Asks the system's authority (org.freedesktop.PolicyKit1 on the system bus) whether the
// peer behind a bus name may perform an action. No interaction is requested: the daemon
// answers at once, so an action that would need a password is simply refused.
class PolkitAuthority {
public:
    static constexpr auto service = "org.freedesktop.PolicyKit1";
    static constexpr auto path = "/org/freedesktop/PolicyKit1/Authority";
    static constexpr auto interface = "org.freedesktop.PolicyKit1.Authority";

    // True only when the authority answers and authorises; any error is a refusal. The
    // arguments are copied, so the caller may go away while the check runs.
    static QCoro::Task<bool> checkAuthorization(QDBusConnection bus, QString busName, QString actionId);
};

} // namespace kestrune
