#pragma once

#include "bench/TrayIdle/FakeStatusNotifierWatcher.h"
#include "bench/TrayIdle/MeteredProgram.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateBus.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <memory>

namespace kestrune {

// The simulated laptop the tray programs run on: a private session bus with a tray on it, the
// sysfs tree at 80 % on AC with its battery model at real speed, the real daemon, and a home
// as a user of three months leaves it: onboarding done, 90 days of history, no backend.
class TrayMachine {
public:
    TrayMachine() = default;

    // `meterDaemon`: the daemon runs under perf, which counts it with its child processes.
    bool setUp(bool meterDaemon);

    FakeStatusNotifierWatcher& tray() { return *m_tray; }
    MeteredProgram& daemon() { return m_daemon; }
    QString sysfsRoot() const { return m_home.filePath(QStringLiteral("sys")); }
    // A file in the machine's temporary home.
    QString path(const QString& name) const { return m_home.filePath(name); }
    // What the tray programs run with: this machine's bus, tree, settings and history.
    QProcessEnvironment programEnvironment() const;

    static QString kestrune();
    static QString minimalTray();

private:
    bool layHome();

    test::PrivateBus m_bus;
    QTemporaryDir m_home;
    std::unique_ptr<FakeStatusNotifierWatcher> m_tray;
    MeteredProgram m_daemon;
    test::ChildProcess m_model;
};

} // namespace kestrune
