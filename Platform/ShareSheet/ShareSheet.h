#pragma once

#include "Platform/Opener/DesktopOpener.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QString>

#include <QCoro/QCoroTask>

namespace kestrune {

// Hands a file to an application the user picks. The desktop portal shows its application
// chooser; where no portal is there or none of its applications takes the file, the file opens
// in the default application for its type.
class ShareSheet {
public:
    // `folder` is where shared files are written (standardFolder() in the application);
    // `open` opens a file in its default application.
    ShareSheet(QDBusConnection bus, QString folder, DesktopOpener::Open open = DesktopOpener::system());
    // The application's cache folder.
    static QString standardFolder();

    // Writes `data` as `fileName` in the folder, readable by the user alone, and offers it.
    // Whatever holds that name other than a plain file, a link above all, is left as it is:
    // the card then goes under a fresh name beside it.
    // True when an application the user chose in the portal, or the default application, took
    // it; false when the file could not be written, the user cancelled the chooser or nothing
    // took it.
    QCoro::Task<bool> share(QByteArray data, QString fileName);

private:
    QDBusConnection m_bus;
    QString m_folder;
    DesktopOpener::Open m_open;
};

} // namespace kestrune
