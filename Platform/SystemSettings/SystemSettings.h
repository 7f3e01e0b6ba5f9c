#pragma once

#include <QString>
#include <QStringList>

namespace kestrune {

// Opens a page of the desktop's own settings: the first installed of the GNOME, KDE and Xfce
// settings programs that has the page, started on its own (no shell) so it outlives us.
class SystemSettings {
public:
    // Where the settings programs are looked for; empty means the PATH.
    explicit SystemSettings(QStringList searchPaths = {});

    // The page where the user allows or forbids our notifications. False, doing nothing,
    // where no settings program for it is installed or it could not be started.
    bool openNotificationSettings() const;

private:
    struct Page {
        QString program;
        QStringList arguments;
    };
    bool openFirstInstalled(const QList<Page>& pages) const;

    QStringList m_searchPaths;
};

} // namespace kestrune
