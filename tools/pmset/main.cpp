// pmset: Kestrune's stand-in for the power-settings tool, for the battery's low power mode.
//
//   pmset -g custom               prints the settings per power source:
//                                     Battery Power:
//                                      lowpowermode         0
//                                     AC Power:
//                                      lowpowermode         0
//   pmset -b lowpowermode 0|1     switches low power mode off or on
//
// Linux has one power profile for both sources, so both sections show it. On the simulated
// machine (KESTRUNE_SYSFS_ROOT set) the profile is the tree's firmware/acpi/platform_profile.
// On a real machine it is power-profiles-daemon's "power-saver" profile where that daemon
// runs, else the kernel's platform_profile "low-power". Switching off leaves a profile other
// than the low-power one as it is. Exit status 0 on success, 1 on failure, 64 for a command
// line it does not know.

#include "Platform/Environment/PlatformEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QTextStream>

#include <functional>
#include <optional>

using namespace kestrune;

namespace {

struct ProfileDaemon {
    const char* service;
    const char* path;
};
// The daemon's current name first, then the one it had before.
const ProfileDaemon profileDaemons[] = {
    {"org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles"},
    {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles"},
};

// One place where the power profile lives.
struct Profile {
    // Reads the low power state; nothing with `error` set when it cannot.
    std::function<std::optional<bool>(QString*)> read;
    std::function<bool(bool, QString*)> write;
};

QString readFile(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.read(4096)).trimmed() : QString();
}

Profile kernelProfile(const QString& path)
{
    Profile profile;
    profile.read = [path](QString* error) -> std::optional<bool> {
        bool ok = false;
        const QString current = readFile(path, &ok);
        if (!ok) {
            *error = QStringLiteral("cannot read %1").arg(path);
            return std::nullopt;
        }
        return current == QLatin1String("low-power");
    };
    profile.write = [path](bool on, QString* error) {
        bool ok = false;
        const QString current = readFile(path, &ok);
        if (!ok) {
            *error = QStringLiteral("cannot read %1").arg(path);
            return false;
        }
        const QStringList choices = readFile(path + QStringLiteral("_choices"), &ok).split(u' ', Qt::SkipEmptyParts);
        QString wanted;
        if (on) {
            if (!choices.isEmpty() && !choices.contains(QLatin1String("low-power"))) {
                *error = QStringLiteral("%1 offers no low-power profile").arg(path);
                return false;
            }
            wanted = QStringLiteral("low-power");
        } else {
            if (current != QLatin1String("low-power"))
                return true;
            wanted = choices.isEmpty() || choices.contains(QLatin1String("balanced")) ? QStringLiteral("balanced")
                                                                                       : choices.constLast();
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(wanted.toUtf8() + '\n') < 0
            || !file.flush()) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        return true;
    };
    return profile;
}

std::optional<QString> activeProfile(const ProfileDaemon& daemon, QString* error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(daemon.service),
                                                       QString::fromLatin1(daemon.path),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << QString::fromLatin1(daemon.service) << QStringLiteral("ActiveProfile");
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 10'000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = reply.errorMessage();
        return std::nullopt;
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toString();
}

std::optional<Profile> daemonProfile()
{
    if (!QDBusConnection::systemBus().isConnected())
        return std::nullopt;
    for (const ProfileDaemon& daemon : profileDaemons) {
        QString ignored;
        if (!activeProfile(daemon, &ignored))
            continue;
        Profile profile;
        profile.read = [daemon](QString* error) -> std::optional<bool> {
            const auto active = activeProfile(daemon, error);
            if (!active)
                return std::nullopt;
            return *active == QLatin1String("power-saver");
        };
        profile.write = [daemon](bool on, QString* error) {
            const auto active = activeProfile(daemon, error);
            if (!active)
                return false;
            if (!on && *active != QLatin1String("power-saver"))
                return true;
            QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(daemon.service),
                                                               QString::fromLatin1(daemon.path),
                                                               QStringLiteral("org.freedesktop.DBus.Properties"),
                                                               QStringLiteral("Set"));
            call << QString::fromLatin1(daemon.service) << QStringLiteral("ActiveProfile")
                 << QVariant::fromValue(QDBusVariant(on ? QStringLiteral("power-saver") : QStringLiteral("balanced")));
            const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 10'000);
            if (reply.type() != QDBusMessage::ReplyMessage) {
                *error = QStringLiteral("power-profiles-daemon refused: %1").arg(reply.errorMessage());
                return false;
            }
            return true;
        };
        return profile;
    }
    return std::nullopt;
}

std::optional<Profile> findProfile(QString* error)
{
    const QString root = PlatformEnvironment::sysfsRoot();
    const QString file = root + QStringLiteral("/firmware/acpi/platform_profile");
    // The simulated machine never reaches for the real machine's daemon.
    if (root == QLatin1String("/sys")) {
        if (auto profile = daemonProfile())
            return profile;
    }
    if (QFile::exists(file))
        return kernelProfile(file);
    *error = root == QLatin1String("/sys")
        ? QStringLiteral("no power profile to switch: neither power-profiles-daemon nor %1").arg(file)
        : QStringLiteral("the simulated machine has no %1").arg(file);
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);

    const bool show = arguments == QStringList{QStringLiteral("-g"), QStringLiteral("custom")};
    const bool set = arguments.size() == 3 && arguments.at(0) == QLatin1String("-b")
        && arguments.at(1) == QLatin1String("lowpowermode")
        && (arguments.at(2) == QLatin1String("0") || arguments.at(2) == QLatin1String("1"));
    if (!show && !set) {
        err << "usage: pmset -g custom | pmset -b lowpowermode 0|1\n";
        return 64;
    }

    QString error;
    const auto profile = findProfile(&error);
    if (!profile) {
        err << "pmset: " << error << '\n';
        return 1;
    }
    if (set) {
        if (!profile->write(arguments.at(2) == QLatin1String("1"), &error)) {
            err << "pmset: " << error << '\n';
            return 1;
        }
        return 0;
    }
    const auto lowPower = profile->read(&error);
    if (!lowPower) {
        err << "pmset: " << error << '\n';
        return 1;
    }
    const char* value = *lowPower ? "1" : "0";
    out << "Battery Power:\n lowpowermode         " << value << "\nAC Power:\n lowpowermode         " << value << '\n';
    return 0;
}
