#include "Platform/ServiceManagement/BusServiceManagement.h"

#include "Foundation/Localized.h"
#include "Platform/Bus/HelperBus.h"
#include "Platform/Environment/PlatformEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace kestrune {

namespace {

// One argument of an activation file's Exec line, or nothing when it cannot be written there.
// The bus splits that line like a shell without running one, but refuses backslashes in the
// file, so an argument can only be quoted, never escaped.
std::optional<QString> quoted(const QString& argument)
{
    for (const QChar c : {u'\n', u'\r', u'\\'}) {
        if (argument.contains(c))
            return std::nullopt;
    }
    if (!argument.contains(u'\''))
        return u'\'' + argument + u'\'';
    for (const QChar c : {u'"', u'$', u'`'}) {
        if (argument.contains(c))
            return std::nullopt;
    }
    return u'"' + argument + u'"';
}

} // namespace

BusServiceManagement::BusServiceManagement(QDBusConnection bus, Options options)
    : m_bus(std::move(bus))
    , m_options(std::move(options))
{
}

BusServiceManagement::Options BusServiceManagement::standardOptions(const QString& label)
{
    Options options;
    options.systemBus = HelperBus::isSystemBus();
    options.label = label;

    const QString appDir = QCoreApplication::applicationDirPath();
    const QString name = QStringLiteral("kestrune-helper");
    const QStringList candidates{
        appDir + u'/' + name,
        appDir + QStringLiteral("/../libexec/kestrune/") + name,
        // A build tree: the application and the daemon each in their own folder.
        appDir + QStringLiteral("/../../KestruneHelper/") + name,
    };
    options.program = QDir::cleanPath(candidates[1]);
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable()) {
            options.program = QFileInfo(candidate).canonicalFilePath();
            break;
        }
    }

    options.activationDirectory = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/dbus-1/services");
    // A daemon started by the session bus must find the same machine and bus as the application.
    options.environment = {QStringLiteral("KESTRUNE_BUS=") + PlatformEnvironment::busSetting(),
                           QStringLiteral("KESTRUNE_SYSFS_ROOT=") + PlatformEnvironment::sysfsRoot()};
    options.installCommand = QStringLiteral("sudo cmake --install build");
    return options;
}

ServiceManagement::Status BusServiceManagement::daemonStatus()
{
    QDBusConnectionInterface* bus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!bus)
        return Status::Unknown;
    const QDBusReply<bool> owned = bus->isServiceRegistered(m_options.label);
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    if (!owned.isValid() || !activatable.isValid())
        return Status::Unknown;
    if (owned.value() || activatable.value().contains(m_options.label))
        return Status::Enabled;
    return programExists() ? Status::NotRegistered : Status::NotFound;
}

std::optional<QString> BusServiceManagement::registerDaemon()
{
    if (m_options.systemBus) {
        if (daemonStatus() == Status::Enabled)
            return std::nullopt;
        return Localized::fmt("ヘルパーはシステムサービスのため、管理者がインストールする必要があります: %@",
                              m_options.installCommand);
    }
    if (!programExists())
        return Localized::fmt("ヘルパーのプログラムが見つかりません: %@", m_options.program);

    const std::optional<QString> contents = activationFileContents();
    if (!contents)
        return Localized::fmt("このフォルダからはヘルパーを起動できません: %@", m_options.program);

    const QString path = activationFilePath();
    QSaveFile file(path);
    const bool written = QDir().mkpath(m_options.activationDirectory)
        && file.open(QIODevice::WriteOnly)
        && file.write(contents->toUtf8()) >= 0
        && file.commit();
    if (!written)
        return Localized::fmt("サービスファイルを書き込めません: %@", path);
    reloadBus();
    return std::nullopt;
}

std::optional<QString> BusServiceManagement::unregisterDaemon()
{
    if (m_options.systemBus) {
        if (daemonStatus() != Status::Enabled)
            return std::nullopt;
        return Localized::text("ヘルパーはシステムサービスのため、アプリからは登録解除できません。管理者がアンインストールしてください");
    }
    const QString path = activationFilePath();
    if (QFileInfo::exists(path) && !QFile::remove(path))
        return Localized::fmt("サービスファイルを削除できません: %@", path);
    reloadBus();
    return std::nullopt;
}

bool BusServiceManagement::openSystemSettingsLoginItems()
{
    // No desktop offers a settings page for bus services; the instructions stand in for it.
    return false;
}

QString BusServiceManagement::enableInstructions() const
{
    if (m_options.systemBus)
        return Localized::fmt("ヘルパーを有効にするには、管理者としてインストールしてください: %@",
                              m_options.installCommand);
    return Localized::text("ヘルパーを有効にするには、ヘルパーを登録してください");
}

QString BusServiceManagement::activationFilePath() const
{
    return m_options.activationDirectory + u'/' + m_options.label + QStringLiteral(".service");
}

std::optional<QString> BusServiceManagement::activationFileContents() const
{
    QStringList command;
    if (!m_options.environment.isEmpty())
        command << QStringLiteral("/usr/bin/env");
    for (const QString& argument : m_options.environment + QStringList{m_options.program}) {
        const std::optional<QString> quotedArgument = quoted(argument);
        if (!quotedArgument)
            return std::nullopt;
        command << *quotedArgument;
    }
    return QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n").arg(m_options.label, command.join(u' '));
}

bool BusServiceManagement::programExists() const
{
    const QFileInfo info(m_options.program);
    return info.isFile() && info.isExecutable();
}

void BusServiceManagement::reloadBus()
{
    // The bus also notices the folder's change by itself, but only some time later; asking it
    // to reload makes the new state visible to the status read that follows.
    if (QDBusConnectionInterface* bus = m_bus.isConnected() ? m_bus.interface() : nullptr)
        bus->call(QStringLiteral("ReloadConfig"));
}

} // namespace kestrune
