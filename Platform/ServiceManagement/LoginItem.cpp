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

// A value of a Desktop Entry as a key file holds it, with its escapes undone; nothing when it
// holds an escape the format does not know.
std::optional<QString> unescapedValue(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            text += value[i];
            continue;
        }
        if (++i == value.size())
            return std::nullopt;
        switch (value[i].unicode()) {
        case u's':
            text += u' ';
            break;
        case u'n':
            text += u'\n';
            break;
        case u't':
            text += u'\t';
            break;
        case u'r':
            text += u'\r';
            break;
        case u'\\':
            text += u'\\';
            break;
        default:
            return std::nullopt;
        }
    }
    return text;
}

// The arguments of an Exec value (escapes already undone), split and unquoted as the desktop
// reads them; with `expandFieldCodes`, "%%" also becomes "%" (GLib's loader looks for the
// program before that step). Nothing when the line cannot be read back.
std::optional<QStringList> execArguments(const QString& exec, bool expandFieldCodes)
{
    QStringList arguments;
    QString argument;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (!quoted && (c == u' ' || c == u'\t')) {
            if (inArgument)
                arguments << argument;
            argument.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && i + 1 < exec.size()
            && (!quoted || QStringView(u"\"`$\\").contains(exec[i + 1]))) {
            argument += exec[++i];
        } else if (c == u'%' && expandFieldCodes) {
            if (i + 1 == exec.size() || exec[i + 1] != u'%')
                return std::nullopt; // a field code: the desktop would put a file or a name there
            argument += exec[++i];
        } else {
            argument += c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArgument)
        arguments << argument;
    return arguments;
}

// The Exec value of the main group of an entry's text.
std::optional<QString> execValue(const QString& contents)
{
    bool inMainGroup = false;
    for (const QString& line : contents.split(u'\n')) {
        if (line.startsWith(u'['))
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5);
    }
    return std::nullopt;
}

// Whether the program a command line starts is there to run, found as the desktop finds it.
bool runnable(const QString& program)
{
    if (!program.contains(u'/'))
        return !QStandardPaths::findExecutable(program).isEmpty();
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
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
    if (const std::optional<QString> reason = startFailure(*contents))
        return reason;
    return writeEntry(*contents);
}

std::optional<QString> LoginItem::startFailure(const QString& contents) const
{
    // Read back as the desktop reads it: the program the line names must be there to run
    // before any field code is expanded, and the whole line must give back what was meant.
    const std::optional<QString> value = execValue(contents);
    const std::optional<QString> exec = value ? unescapedValue(*value) : std::nullopt;
    const std::optional<QStringList> named = exec ? execArguments(*exec, false) : std::nullopt;
    const std::optional<QStringList> started = exec ? execArguments(*exec, true) : std::nullopt;
    // The reason names the program as the desktop would look for it.
    const QString program = named && !named->isEmpty() ? named->first() : m_options.program;
    if (!runnable(program)
        || started != QStringList { m_options.program, QString::fromLatin1(launchArgument) })
        return Localized::fmt("このプログラムの場所からはログイン時に起動できません: %@", program);
    return std::nullopt;
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
