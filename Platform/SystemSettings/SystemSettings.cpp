#include "Platform/SystemSettings/SystemSettings.h"

#include <QProcess>
#include <QStandardPaths>

namespace kestrune {

SystemSettings::SystemSettings(QStringList searchPaths)
    : m_searchPaths(std::move(searchPaths))
{
}

bool SystemSettings::openNotificationSettings() const
{
    return openFirstInstalled({
        {QStringLiteral("gnome-control-center"), {QStringLiteral("notifications")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_notifications")}},
        {QStringLiteral("xfce4-notifyd-config"), {}},
    });
}

bool SystemSettings::openFirstInstalled(const QList<Page>& pages) const
{
    for (const Page& page : pages) {
        const QString program = QStandardPaths::findExecutable(page.program, m_searchPaths);
        if (!program.isEmpty())
            return QProcess::startDetached(program, page.arguments);
    }
    return false;
}

} // namespace kestrune
