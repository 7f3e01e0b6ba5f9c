#pragma once

#include <QDBusConnection>
#include <QString>

#include <qcoro/qcorotask.h>

namespace kestrune {

// Who may drive the daemon: root, the daemon's own user, and, on the system bus, whoever
// the system's authority allows the control action (by default the user of an active
// local session). The bus tells the caller's user id; nothing the caller says counts.
class CallerAuthorisation {
public:
    struct Policy {
        QDBusConnection bus;
        uint ownUid;
        // Only the system bus has an authority to ask; on a session bus the user ids decide.
        bool consultPolkit;
        QString action;
    };

    // Whether the peer with the unique bus name `sender` may call. Any error refuses. The
    // policy is copied, so the caller's object may go away while the check runs.
    static QCoro::Task<bool> isAllowed(Policy policy, QString sender);
};

} // namespace kestrune
