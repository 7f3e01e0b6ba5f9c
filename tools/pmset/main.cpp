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
// runs, else the kernel's platform_profile "low-power".
//
// Switching on keeps the profile it replaces in the tool's own state; switching off brings
// that profile back while the low-power one it set is still in place (a user on
// "performance" gets "performance" again), else "balanced". A profile the user chose since
// is left as it is. Exit status 0 on success, 1 on failure, 64 for a command line it does
// not know.

#include "Platform/Environment/PlatformEnvironment.h"
#include "Platform/SystemTools/StandInState.h"

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

const QString balanced = QStringLiteral("balanced");
// The state that holds the profile low power mode replaced.
const QString replacedProfileState = QStringLiteral("pmset.replaced-profile");

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
    QString lowPower;     // the profile that is low power mode
    QStringList choices;  // the profiles it offers; empty when it does not tell
    // The active profile; nothing with `error` set when it cannot be read.
    std::function<std::optional<QString>(QString*)> current;
    std::function<bool(const QString&, QString*)> set;
};

QString readFile(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.read(4096)).trimmed() : QString();
}

Profile kernelProfile(const QString& path)
{
    bool ok = false;
    Profile profile;
    profile.lowPower = QStringLiteral("low-power");
    profile.choices = readFile(path + QStringLiteral("_choices"), &ok).split(u' ', Qt::SkipEmptyParts);
    profile.current = [path](QString* error) -> std::optional<QString> {
        bool ok = false;
        const QString current = readFile(path, &ok);
        if (!ok) {
            *error = QStringLiteral("cannot read %1").arg(path);
            return std::nullopt;
        }
        return current;
    };
    profile.set = [path](const QString& name, QString* error) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(name.toUtf8() + '\n') < 0
            || !file.flush()) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        return true;
    };
    return profile;
}

QDBusMessage profileCall(const ProfileDaemon& daemon, const QString& method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(daemon.service), QString::fromLatin1(daemon.path),
                                          QStringLiteral("org.freedesktop.DBus.Properties"), method);
}

std::optional<QString> activeProfile(const ProfileDaemon& daemon, QString* error)
{
    QDBusMessage call = profileCall(daemon, QStringLiteral("Get"));
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
        profile.lowPower = QStringLiteral("power-saver");
        profile.current = [daemon](QString* error) { return activeProfile(daemon, error); };
        profile.set = [daemon](const QString& name, QString* error) {
            QDBusMessage call = profileCall(daemon, QStringLiteral("Set"));
            call << QString::fromLatin1(daemon.service) << QStringLiteral("ActiveProfile")
                 << QVariant::fromValue(QDBusVariant(name));
            const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 10'000);
            if (reply.type() != QDBusMessage::ReplyMessage) {
                *error = QStringLiteral("power-profiles-daemon refused %1: %2").arg(name, reply.errorMessage());
                return false;
            }
            return true;
        };
        return profile;
    }
    return std::nullopt;
}

std::optional<Profile> findProfile(const QString& root, QString* error)
{
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

bool switchOn(const Profile& profile, const QString& root, QString* error)
{
    if (!profile.choices.isEmpty() && !profile.choices.contains(profile.lowPower)) {
        *error = QStringLiteral("the power profile offers no %1 profile").arg(profile.lowPower);
        return false;
    }
    const auto current = profile.current(error);
    if (!current)
        return false;
    // Switched on already (by us, or by the user): whatever was replaced stays noted.
    if (*current == profile.lowPower)
        return true;
    return StandInState::write(root, replacedProfileState, *current, error) && profile.set(profile.lowPower, error);
}

bool switchOff(const Profile& profile, const QString& root, QString* error)
{
    const auto current = profile.current(error);
    if (!current)
        return false;
    const std::optional<QString> replaced = StandInState::read(root, replacedProfileState);
    // A profile other than the low-power one was chosen since: it stays.
    if (*current == profile.lowPower) {
        QString back = profile.choices.isEmpty() || profile.choices.contains(balanced) ? balanced
                                                                                          : profile.choices.constLast();
        if (replaced && !replaced->isEmpty() && *replaced != profile.lowPower
            && (profile.choices.isEmpty() || profile.choices.contains(*replaced)))
            back = *replaced;
        // A profile that can no longer be chosen gives way to the default one.
        if (!profile.set(back, error) && (back == balanced || !profile.set(balanced, error)))
            return false;
    }
    return StandInState::remove(root, replacedProfileState, error);
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

    const QString root = PlatformEnvironment::sysfsRoot();
    QString error;
    const auto profile = findProfile(root, &error);
    if (!profile) {
        err << "pmset: " << error << '\n';
        return 1;
    }
    if (set) {
        const bool on = arguments.at(2) == QLatin1String("1");
        if (!(on ? switchOn(*profile, root, &error) : switchOff(*profile, root, &error))) {
            err << "pmset: " << error << '\n';
            return 1;
        }
        return 0;
    }
    const auto current = profile->current(&error);
    if (!current) {
        err << "pmset: " << error << '\n';
        return 1;
    }
    const char* value = *current == profile->lowPower ? "1" : "0";
    out << "Battery Power:\n lowpowermode         " << value << "\nAC Power:\n lowpowermode         " << value << '\n';
    return 0;
}
