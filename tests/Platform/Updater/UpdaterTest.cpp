#include "Foundation/UserDefaults.h"
#include "Platform/Updater/UpdateFeed.h"
#include "Platform/Updater/UpdateUserDriver.h"
#include "Platform/Updater/Updater.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ManualClock.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;
using Answer = FakeBackend::Answer;

namespace {

QByteArray feed(const QByteArray& items)
{
    return R"(<?xml version="1.0"?><rss version="2.0" xmlns:kestrune="https://kestrune.org/xmlns/update">)"
           "<channel><title>Kestrune</title>" + items + "</channel></rss>";
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
    const std::tuple<const char*, const char*, int> cases[] = {
        {"0.10.0", "0.9.9", 1}, {"1.0", "1.0.0", 0},   {"1.0.1", "1.0", 1},
        {"2", "10", -1},        {"01.002", "1.2", 0}, {"99999999999999999999.0", "99999999999999999998.9", 1},
    };
    for (const auto& [a, b, order] : cases) {
        const auto ordering = *VersionNumber::parse(a) <=> *VersionNumber::parse(b);
        EXPECT_EQ(ordering < 0 ? -1 : ordering > 0 ? 1 : 0, order) << a << " <=> " << b;
    }
    for (const char* unreadable : {"", "1..2", "1.2.", "1.2-beta", "v1.2", "１.２"})
        EXPECT_FALSE(VersionNumber::parse(unreadable)) << unreadable;
}

TEST(UpdateFeed, TakesTheNewestReleaseWithAWebPageAndRefusesWhatIsNoFeed)
{
    // Pages the browser must not be sent to, and numbers that cannot be read, are passed over.
    const auto newest = UpdateFeed::newestRelease(
        feed(item("0.9.9", "https://kestrune.org/r/0.9.9") + item("0.10.0", "https://kestrune.org/r/0.10.0")
             + item("9.0", "file:///etc/passwd") + item("8.0", "javascript:alert(1)") + item("7.0-rc1", "https://x.org/")));
    ASSERT_TRUE(newest.newest) << newest.error.toStdString();
    EXPECT_EQ(newest.newest->version.toString(), "0.10.0");
    EXPECT_EQ(newest.newest->page, QUrl("https://kestrune.org/r/0.10.0"));

    const QByteArray complete = feed(item("1.0", "https://kestrune.org/r/1.0"));
    for (const QByteArray& document : {QByteArray(), QByteArray("<html><body>Moved</body></html>"),
                                       complete.left(complete.size() - 6), complete + "<rss/>",
                                       QByteArray(R"(<rss version="2.0"/>)")})
        EXPECT_EQ(UpdateFeed::newestRelease(document).error, "アップデート情報の形式が正しくありません") << document.constData();
    EXPECT_EQ(UpdateFeed::newestRelease(feed("")).error, "アップデート情報に公開中のリリースがありません");
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    std::unique_ptr<Updater> updater(const QString& path, const QString& version = "0.9.9", int timeoutMs = 5000)
    {
        const Updater::Options options{server.url().resolved(QUrl(path)), version,
                                       std::chrono::milliseconds(timeoutMs)};
        return std::make_unique<Updater>(options, defaults, driver, clock);
    }
    // Runs one check to its end and returns the one thing it showed.
    QString check(Updater& u)
    {
        const qsizetype before = driver.shown.size();
        u.checkForUpdates();
        EXPECT_FALSE(u.canCheckForUpdates());
        EXPECT_TRUE(waitUntil([&] { return u.canCheckForUpdates(); }));
        return driver.shown.size() == before + 1 ? driver.shown.last() : QStringLiteral("(nothing or too much)");
    }

    // Serves the scripted paths; any other is answered 404.
    FakeBackend server;
    QTemporaryDir folder;
    UserDefaults defaults{folder.filePath("defaults.json")};
    RecordingDriver driver;
    ManualClock clock;
};

TEST_F(UpdaterTest, ShowsANewerReleaseOrThatThisOneIsCurrentAndRemembersWhen)
{
    const QByteArray releases = feed(item("0.10.0", "https://kestrune.org/r/0.10.0"));
    server.answerAlways("/appcast.xml", Answer::raw(200, releases));
    auto older = updater("/appcast.xml", "0.9.9");
    EXPECT_FALSE(older->lastUpdateCheckDate());

    older->checkForUpdates();
    older->checkForUpdates(); // a second press while the check runs starts nothing
    ASSERT_TRUE(waitUntil([&] { return older->canCheckForUpdates(); }));
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(driver.shown, QStringList{"available 0.10.0 at https://kestrune.org/r/0.10.0 over 0.9.9"});
    EXPECT_EQ(older->lastUpdateCheckDate(), clock.now());

    clock.advance(3600);
    auto current = updater("/appcast.xml", "0.10");
    EXPECT_EQ(current->lastUpdateCheckDate(), clock.now().addSecs(-3600)); // kept across launches
    EXPECT_EQ(check(*current), "up to date 0.10");
    EXPECT_EQ(current->lastUpdateCheckDate(), clock.now());

    // A feed named in the defaults takes the built-in one's place; an empty one, no checks.
    server.answerAlways("/local.xml", Answer::raw(200, feed(item("0.9.9", "https://kestrune.org/r/0.9.9"))));
    defaults.set(Updater::feedUrlKey, server.url().resolved(QUrl("/local.xml")).toString());
    EXPECT_EQ(check(*updater("/appcast.xml", "0.9.9")), "up to date 0.9.9");
    EXPECT_EQ(server.requests().last().route(), "/local.xml");
    defaults.set(Updater::feedUrlKey, QString());
    EXPECT_FALSE(updater("/appcast.xml")->canCheckForUpdates());
}

TEST_F(UpdaterTest, AFeedThatCannotBeHadIsAnErrorNeverUpToDate)
{
    server.answerAlways("/malformed.xml", Answer::raw(200, "<rss version=\"2.0\"><channel><item>"));
    server.answerAlways("/silent.xml", Answer::hold());
    EXPECT_EQ(check(*updater("/malformed.xml")), "error アップデート情報の形式が正しくありません");
    EXPECT_EQ(check(*updater("/missing.xml")), "error アップデート情報を取得できませんでした(HTTP 404)");
    EXPECT_EQ(check(*updater("/silent.xml", "0.9.9", 200)), "error アップデートサーバーが時間内に応答しませんでした");
    Updater closed({QUrl("http://127.0.0.1:1/appcast.xml"), "0.9.9"}, defaults, driver, clock);
    EXPECT_TRUE(check(closed).startsWith("error アップデート情報を取得できませんでした: "));
    // Nothing was learnt, so there is no date of a last check.
    EXPECT_FALSE(closed.lastUpdateCheckDate());

    // An updater that goes away mid-check shows nothing later.
    auto leaving = updater("/silent.xml", "0.9.9", 100);
    leaving->checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 4; }));
    leaving.reset();
    spin(200);
    EXPECT_EQ(driver.shown.size(), 4);
}
