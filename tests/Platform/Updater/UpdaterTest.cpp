#include "Foundation/UserDefaults.h"
#include "Platform/Updater/UpdateFeed.h"
#include "Platform/Updater/UpdateUserDriver.h"
#include "Platform/Updater/Updater.h"
#include "tests/Platform/Updater/FakeFeedServer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ManualClock.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

QByteArray feed(const QByteArray& items)
{
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:kestrune="https://kestrune.org/xmlns/update">
  <channel><title>Kestrune</title><link>https://kestrune.org/</link>)"
        + items + "</channel></rss>";
}

QByteArray item(const QByteArray& version, const QByteArray& link)
{
    return "<item><title>Kestrune " + version + "</title><link>" + link + "</link><kestrune:version>" + version
        + "</kestrune:version><description>Fixes &amp; more</description></item>";
}

// Writes down what the user would have been shown.
class RecordingDriver final : public UpdateUserDriver {
public:
    QStringList shown;
    void showUpToDate(const QString& current) override { shown << "up to date " + current; }
    void showUpdateAvailable(const QString& version, const QUrl& page, const QString& current) override
    {
        shown << "available " + version + " at " + page.toString() + " over " + current;
    }
    void showUpdateError(const QString& message) override { shown << "error " + message; }
};

} // namespace

TEST(VersionNumber, ComparesPartByPartAsNumbers)
{
    struct Case {
        const char* a;
        const char* b;
        int order; // sign of a <=> b
    };
    const Case cases[] = {
        {"0.10.0", "0.9.9", 1},   {"1.0", "1.0.0", 0},          {"1", "1.0.0.0", 0},
        {"1.0.1", "1.0", 1},      {"2", "10", -1},              {"0.1.0", "0.1.0", 0},
        {"01.002", "1.2", 0},     {"1.0.0", "1.0.0.1", -1},     {" 1.2 ", "1.2", 0},
        {"99999999999999999999.0", "99999999999999999998.9", 1},
    };
    for (const Case& c : cases) {
        const auto a = VersionNumber::parse(c.a);
        const auto b = VersionNumber::parse(c.b);
        ASSERT_TRUE(a && b) << c.a << " / " << c.b;
        const auto order = *a <=> *b;
        EXPECT_EQ(order < 0 ? -1 : order > 0 ? 1 : 0, c.order) << c.a << " <=> " << c.b;
    }
    for (const char* unreadable : {"", "1..2", "1.2.", ".1", "1.2-beta", "v1.2", "1,2", "１.２", "1. 2"})
        EXPECT_FALSE(VersionNumber::parse(unreadable)) << unreadable;
}

TEST(UpdateFeed, TakesTheNewestUsableReleaseAndRefusesWhatIsNoFeed)
{
    const auto newest = UpdateFeed::newestRelease(feed(item("0.9.9", "https://kestrune.org/r/0.9.9")
                                                       + item("0.10.0", "https://kestrune.org/r/0.10.0")
                                                       + item("0.2", "https://kestrune.org/r/0.2")));
    ASSERT_TRUE(newest.newest) << newest.error.toStdString();
    EXPECT_EQ(newest.newest->version.toString(), "0.10.0");
    EXPECT_EQ(newest.newest->page, QUrl("https://kestrune.org/r/0.10.0"));

    // Releases the browser must not be sent to, or whose number cannot be read, are passed over.
    const auto skipped = UpdateFeed::newestRelease(feed(item("9.0", "file:///etc/passwd") + item("8.0", "javascript:alert(1)")
                                                        + item("7.0-rc1", "https://kestrune.org/r/7")
                                                        + item("0.3.0", "https://kestrune.org/r/0.3.0")));
    ASSERT_TRUE(skipped.newest) << skipped.error.toStdString();
    EXPECT_EQ(skipped.newest->version.toString(), "0.3.0");

    const QByteArray notFeeds[] = {
        "",
        "this is not xml",
        "<html><body>Moved</body></html>",
        feed(item("1.0", "https://kestrune.org/r/1.0")).replace("</rss>", ""), // cut short
        feed(item("1.0", "https://kestrune.org/r/1.0")) + "<rss/>",             // two documents
        R"(<rss version="2.0"/>)",                                                // no channel
    };
    for (const QByteArray& document : notFeeds) {
        const auto result = UpdateFeed::newestRelease(document);
        EXPECT_FALSE(result.newest) << document.constData();
        EXPECT_EQ(result.error, "アップデート情報の形式が正しくありません") << document.constData();
    }
    for (const QByteArray& empty : {feed(""), feed(item("1.0", "ftp://kestrune.org/1.0"))}) {
        const auto result = UpdateFeed::newestRelease(empty);
        EXPECT_FALSE(result.newest);
        EXPECT_EQ(result.error, "アップデート情報に公開中のリリースがありません");
    }
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.isListening()); }

    std::unique_ptr<Updater> updater(const QString& path, const QString& version = "0.9.9",
                                     std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        return std::make_unique<Updater>(Updater::Options{server.url(path), version, timeout}, defaults, driver, clock);
    }
    // Runs one check to its end and returns what it showed.
    QString check(Updater& u)
    {
        const qsizetype before = driver.shown.size();
        u.checkForUpdates();
        EXPECT_FALSE(u.canCheckForUpdates());
        EXPECT_TRUE(waitUntil([&] { return u.canCheckForUpdates(); }));
        return driver.shown.size() == before + 1 ? driver.shown.last() : QStringLiteral("(nothing or too much)");
    }

    FakeFeedServer server;
    QTemporaryDir folder;
    UserDefaults defaults{folder.filePath("defaults.json")};
    RecordingDriver driver;
    ManualClock clock;
};

TEST_F(UpdaterTest, ShowsANewerReleaseOrThatThisOneIsCurrentAndRemembersWhen)
{
    server.answer("/appcast.xml", {200, feed(item("0.9.9", "https://kestrune.org/r/0.9.9")
                                             + item("0.10.0", "https://kestrune.org/r/0.10.0")), false});
    auto older = updater("/appcast.xml", "0.9.9");
    EXPECT_TRUE(older->canCheckForUpdates());
    EXPECT_FALSE(older->lastUpdateCheckDate());

    // A second press while the check runs starts nothing.
    older->checkForUpdates();
    older->checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return older->canCheckForUpdates(); }));
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(driver.shown, QStringList{"available 0.10.0 at https://kestrune.org/r/0.10.0 over 0.9.9"});
    EXPECT_EQ(older->lastUpdateCheckDate(), clock.now());

    clock.advance(3600);
    auto current = updater("/appcast.xml", "0.10");
    EXPECT_EQ(current->lastUpdateCheckDate(), clock.now().addSecs(-3600)); // kept across launches
    EXPECT_EQ(check(*current), "up to date 0.10");
    EXPECT_EQ(current->lastUpdateCheckDate(), clock.now());
    EXPECT_EQ(defaults.object(Updater::lastCheckTimeKey).toDateTime(), clock.now());
}

TEST_F(UpdaterTest, AFeedThatCannotBeHadIsAnErrorNeverUpToDate)
{
    server.answer("/malformed.xml", {200, "<rss version=\"2.0\"><channel><item>", false});
    server.answer("/silent.xml", {200, {}, true});
    server.answer("/broken.xml", {500, feed(item("0.1", "https://kestrune.org/r/0.1")), false});

    EXPECT_EQ(check(*updater("/malformed.xml")), "error アップデート情報の形式が正しくありません");
    EXPECT_EQ(check(*updater("/missing.xml")), "error アップデート情報を取得できませんでした(HTTP 404)");
    EXPECT_EQ(check(*updater("/broken.xml")), "error アップデート情報を取得できませんでした(HTTP 500)");
    EXPECT_EQ(check(*updater("/silent.xml", "0.9.9", std::chrono::milliseconds(200))),
              "error アップデートサーバーが時間内に応答しませんでした");
    // Nothing was learnt, so there is no date of a last check.
    EXPECT_FALSE(updater("/malformed.xml")->lastUpdateCheckDate());

    // Nobody listening: the connection's own error.
    auto closed = std::make_unique<Updater>(Updater::Options{QUrl("http://127.0.0.1:1/appcast.xml"), "0.9.9"}, defaults,
                                            driver, clock);
    EXPECT_TRUE(check(*closed).startsWith("error アップデート情報を取得できませんでした: "));
}

TEST_F(UpdaterTest, WithoutAFeedOrAVersionNoCheckCanStart)
{
    for (const Updater::Options& options : {Updater::Options{QUrl(), "0.9.9"},
                                            Updater::Options{QUrl("file:///tmp/appcast.xml"), "0.9.9"},
                                            Updater::Options{server.url("/appcast.xml"), "dev"}}) {
        Updater u(options, defaults, driver, clock);
        EXPECT_FALSE(u.canCheckForUpdates());
        u.checkForUpdates();
    }
    spin(50);
    EXPECT_TRUE(driver.shown.isEmpty());
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(UpdaterTest, GoingAwayDuringACheckShowsNothing)
{
    server.answer("/silent.xml", {200, {}, true});
    auto u = updater("/silent.xml", "0.9.9", std::chrono::milliseconds(100));
    u->checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return server.requests() == 1; }));
    u.reset();
    spin(200);
    EXPECT_TRUE(driver.shown.isEmpty());
}
