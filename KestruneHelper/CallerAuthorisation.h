#pragma once

#include <QDBusConnection>
#include <QString>

#include <qcoro/qcorotask.h>

#include <cstdint>

namespace kestrune {

// Who may drive the daemon: root, the daemon's own user, and, on the system bus, a regular
// user whom the system's authority allows the control action (by default the user of an
// active local session). The bus tells the caller's user id; nothing the caller says counts.
class CallerAuthorisation {
public:
    struct Policy {
        QDBusConnection bus;
        std::uint32_t ownUid;
        // Only the system bus has an authority to ask; on a session bus the user ids decide.
        bool consultPolkit;
        QString action;
        // Bounds the regular users: system accounts are refused without asking the authority,
        // which would never allow them anyway.
        QString loginDefsPath;
    };

    struct Verdict {
        bool allowed = false;
        std::uint32_t uid = 0; // the caller's user id; meaningful only when allowed
    };

    // The verdict on the peer with the unique bus name `sender`. Any error refuses. The
    // policy is copied, so the caller's object may go away while the check runs.
    static QCoro::Task<Verdict> check(Policy policy, QString sender);
    // The verdict once the bus has told the caller's user id.
    static QCoro::Task<Verdict> decide(Policy policy, QString sender, std::uint32_t uid);
};

} // namespace kestrune
