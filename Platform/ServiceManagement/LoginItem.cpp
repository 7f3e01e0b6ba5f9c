#include "Platform/ServiceManagement/LoginItem.h"

#include "Foundation/AtomicFile.h"
#include "Foundation/Localized.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrune {

namespace {

const QString header = QStringLiteral("[Desktop Entry]\nType=Application\nName=Kestrune\n");

// One argument of an Exec line, quoted by freedesktop.org's Desktop Entry rules: inside double
// quotes a backslash guards '"', '`', '$' and itself; the value's own escaping then doubles
// every backslash, and '%' is doubled so it is not read as a field code. A line break or
// other control character cannot be carried through both layers.
std::optional<QString> execArgument(const QString& argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return std::nullopt;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

// Whether the entry at `path` is switched off; nothing when there is no such entry.
std::optional<bool> switchedOff(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    bool inMainGroup = false;
    bool off = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if ((key == QStringLiteral("Hidden") && value == QStringLiteral("true"))
            || (key == QStringLiteral("X-GNOME-Autostart-enabled") && value == QStringLiteral("false")))
            off = true;
    }
    return off;
}

} // namespace

LoginItem::LoginItem(Options options)
    : m_options(std::move(options))
{
}

LoginItem::Options LoginItem::standardOptions()
{
    Options options;
    const QString autostart = QStringLiteral("/autostart");
    options.autostartDirectory = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + autostart;
    const QStringList configs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    for (const QString& config : configs.mid(1)) // the first is the user's own
        options.systemAutostartDirectories << config + autostart;
    options.program = QCoreApplication::applicationFilePath();
    return options;
}

ServiceManagement::Status LoginItem::status() const
{
    std::optional<bool> off = switchedOff(entryPath());
    if (!off) {
        if (const std::optional<QString> system = systemEntryPath())
            off = switchedOff(*system);
    }
    return off && !*off ? ServiceManagement::Status::Enabled : ServiceManagement::Status::NotRegistered;
}

std::optional<QString> LoginItem::registerItem()
{
    const std::optional<QString> contents = entryContents();
    if (!contents)
        return Localized::fmt("このプログラムの場所からはログイン時に起動できません: %@", m_options.program);
    return writeEntry(*contents);
}

std::optional<QString> LoginItem::unregisterItem()
{
    // Removing our entry would bring a system-wide one of the same name back into force.
    if (systemEntryPath())
        return writeEntry(header + QStringLiteral("Hidden=true\n"));
    const QString path = entryPath();
    if (QFileInfo::exists(path) && !QFile::remove(path))
        return Localized::fmt("ログイン項目を削除できません: %@", path);
    return std::nullopt;
}

QString LoginItem::entryPath() const
{
    return m_options.autostartDirectory + u'/' + QString::fromLatin1(entryName);
}

std::optional<QString> LoginItem::entryContents() const
{
    const std::optional<QString> program = execArgument(m_options.program);
    if (!program)
        return std::nullopt;
    return header + QStringLiteral("Exec=%1 %2\n").arg(*program, QString::fromLatin1(launchArgument));
}

std::optional<QString> LoginItem::systemEntryPath() const
{
    for (const QString& directory : m_options.systemAutostartDirectories) {
        const QString path = directory + u'/' + QString::fromLatin1(entryName);
        if (QFileInfo::exists(path))
            return path;
    }
    return std::nullopt;
}

std::optional<QString> LoginItem::writeEntry(const QString& contents)
{
    const QString path = entryPath();
    if (!QDir().mkpath(m_options.autostartDirectory) || !AtomicFile::write(path, contents.toUtf8()))
        return Localized::fmt("ログイン項目を書き込めません: %@", path);
    return std::nullopt;
}

} // namespace kestrune
