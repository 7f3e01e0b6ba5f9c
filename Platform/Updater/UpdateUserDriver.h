#pragma once

#include <QString>
#include <QUrl>

namespace kestrune {

// Shows the user what an update check found. The check hands over exactly one outcome and
// expects the call to return at once (a dialog shown, not run modally).
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    virtual void showUpToDate(const QString& currentVersion) = 0;
    // `page` is a web address, the place to get `version` from.
    virtual void showUpdateAvailable(const QString& version, const QUrl& page, const QString& currentVersion) = 0;
    virtual void showUpdateError(const QString& message) = 0;
};

} // namespace kestrune
