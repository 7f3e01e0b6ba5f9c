#include "Foundation/UserDefaults.h"
#include "Kestrune/App/UpdaterManager.h"
#include "Platform/Updater/UpdateUserDriver.h"
#include "tests/support/EventLoop.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {
class CountingDriver final : public UpdateUserDriver {
public:
    int shown = 0;
    void showUpToDate(const QString&) override { ++shown; }
    void showUpdateAvailable(const QString&, const QUrl&, const QString&) override { ++shown; }
    void showUpdateError(const QString&) override { ++shown; }
};
} // namespace

// The views' buttons follow the manager's flag: off at first, on once the updater's value
// has come over, off while a check runs; never on when built without a feed.
TEST(UpdaterManager, MirrorsWhetherTheUpdaterCanCheck)
{
    QTcpServer silent; // takes the request and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QUrl feed(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(silent.serverPort()));
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath("defaults.json"));
    CountingDriver driver;

    UpdaterManager manager({feed, "0.1.0", std::chrono::milliseconds(300)}, defaults, driver);
    UpdaterManager without({QUrl(), "0.1.0"}, defaults, driver);
    QList<bool> seen;
    QObject::connect(&manager, &UpdaterManager::canCheckForUpdatesChanged, [&](bool can) { seen << can; });
    EXPECT_FALSE(manager.canCheckForUpdates());
    ASSERT_TRUE(waitUntil([&] { return manager.canCheckForUpdates(); }));
    manager.controller()->checkForUpdates();
    EXPECT_TRUE(waitUntil([&] { return driver.shown == 1 && manager.canCheckForUpdates(); }));
    EXPECT_EQ(seen, (QList<bool>{true, false, true}));
    EXPECT_FALSE(without.canCheckForUpdates());

    // A value still on its way when the manager goes is dropped.
    auto leaving = std::make_unique<UpdaterManager>(Updater::Options{feed, "0.1.0"}, defaults, driver);
    leaving.reset();
    spin(50);
}
