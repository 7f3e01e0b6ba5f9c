#pragma once

// Header-only: only the tests and benchmarks of the application core link what it needs.

#include "Kestrune/App/AppContext.h"
#include "Platform/Network/FakeNetworkPathMonitor.h"
#include "Platform/Workspace/FakeWorkspace.h"

#include <QDir>

namespace kestrune::test {

// The application core's seams for a machine laid out in `folder` (its sysfs tree in "sys",
// its defaults and history beside it), every bus `bus`, a network path that is up, a desktop
// that never tells which application is in front, no update feed, and a description of the
// machine that reads nothing of this computer.
inline AppContext testAppContext(const QString& folder, const QDBusConnection& bus, const Clock& clock)
{
    const QDir dir(folder);
    AppContext context;
    context.helperBus = context.sessionBus = context.systemBus = bus;
    context.sysfsRoot = dir.filePath(QStringLiteral("sys"));
    context.defaultsPath = dir.filePath(QStringLiteral("defaults.json"));
    context.historyPath = dir.filePath(QStringLiteral("History.store"));
    context.clock = &clock;
    context.workspace = std::make_shared<FakeWorkspace>();
    context.networkPath = std::make_unique<FakeNetworkPathMonitor>();
    context.backend.systemInfo = SystemInfo(QDBusConnection(QStringLiteral("kestrune-no-bus")), folder);
    context.updater.feedUrl = QUrl();
    context.loginItem = LoginItem::Options{dir.filePath(QStringLiteral("autostart")), {}, dir.filePath(QStringLiteral("kestrune"))};
    return context;
}

} // namespace kestrune::test
