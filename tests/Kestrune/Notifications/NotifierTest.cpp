#include "Kestrune/Notifications/Notifier.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeNotificationServer.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"

#include <QUuid>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

struct Post {
    QString requestId, title, body;
};

// Stands in for the desktop service where only the cooldowns are of interest.
struct RecordingService : NotificationService {
    explicit RecordingService(QList<Post>* sink) : posts(sink) {}
    void post(const QString& id, const QString& title, const QString& body) override { posts->push_back({id, title, body}); }
    QCoro::Task<bool> isAvailable() override { co_return true; }
    QList<Post>* posts;
};

class NotifierCooldownTest : public ::testing::Test {
protected:
    test::ManualClock clock;
    QList<Post> posts;
    Notifier notifier{std::make_unique<RecordingService>(&posts), clock};
};

// "<id>-<UUID>": the caller's identifier, a hyphen and a fresh UUID.
bool isRequestFor(const QString& requestId, const QString& id)
{
    return requestId.startsWith(id + u'-') && !QUuid::fromString(requestId.mid(id.size() + 1)).isNull();
}

} // namespace

TEST_F(NotifierCooldownTest, ASecondNotificationWaitsOutTheCooldownOfItsIdentifier)
{
    notifier.notify("hightemp", "高温", "本文", 600);
    ASSERT_EQ(posts.size(), 1) << "the first one always goes out";
    const QDateTime first = clock.now();

    clock.advance(599);
    notifier.notify("hightemp", "高温", "本文", 600);
    EXPECT_EQ(posts.size(), 1);
    EXPECT_EQ(notifier.lastSent().value("hightemp"), first) << "a dropped one does not extend the cooldown";

    notifier.notify("full", "満充電", "", 600);
    EXPECT_EQ(posts.size(), 2) << "identifiers do not hold each other back";

    clock.advance(1);
    notifier.notify("hightemp", "高温", "本文", 600);
    EXPECT_EQ(posts.size(), 3) << "exactly the cooldown lets it through";
    EXPECT_EQ(notifier.lastSent().value("hightemp"), clock.now());

    // Each posting goes out under its own request identifier.
    EXPECT_TRUE(isRequestFor(posts[0].requestId, "hightemp")) << posts[0].requestId.toStdString();
    EXPECT_TRUE(isRequestFor(posts[2].requestId, "hightemp"));
    EXPECT_NE(posts[0].requestId, posts[2].requestId);
    EXPECT_EQ(posts[1].title, "満充電");
}

TEST_F(NotifierCooldownTest, NoCooldownPostsEveryTimeButStillCounts)
{
    notifier.notify("drain", "t", "b", 0);
    notifier.notify("drain", "t", "b", -5);
    EXPECT_EQ(posts.size(), 2);

    // A later call with a cooldown counts from the last posting without one.
    clock.advance(100);
    notifier.notify("drain", "t", "b", 0);
    clock.advance(100);
    notifier.notify("drain", "t", "b", 150);
    EXPECT_EQ(posts.size(), 3);
}

class NotifierBusTest : public ::testing::Test {
protected:
    test::PrivateBus bus;
    test::ManualClock clock;
    void SetUp() override { ASSERT_TRUE(bus.isRunning()); }
};

TEST_F(NotifierBusTest, PostsToTheDesktopServiceAndRoutesAClickBack)
{
    test::FakeNotificationServer server(bus.connect("server"));
    ASSERT_TRUE(server.publish());
    Notifier notifier(bus.connect("app"), clock);
    QStringList taps;
    notifier.onNotificationTap = [&](const QString& id) { taps << id; };

    notifier.notify("milestone-wh100", "節約 100Wh 達成", "おめでとう", 0);
    ASSERT_TRUE(test::waitUntil([&] { return server.shown.size() == 1; }));
    const auto shown = server.shown.first();
    EXPECT_EQ(shown.application, "Kestrune");
    EXPECT_EQ(shown.summary, "節約 100Wh 達成");
    EXPECT_EQ(shown.body, "おめでとう");
    EXPECT_TRUE(shown.actions.contains("default")) << "a click on the body must be reported";
    EXPECT_EQ(shown.hints.value("sound-name"), QVariant("message-new-instant"));

    // Only a click on the body of one of our live notifications is reported.
    server.invokeAction(shown.id + 100, "default"); // another application's notification
    server.invokeAction(shown.id, "snooze");        // a button, not the body
    server.invokeAction(shown.id, "default");
    server.close(shown.id);
    server.invokeAction(shown.id, "default");       // closed before the click arrived
    notifier.notify("limit", "上限", "", 0);
    ASSERT_TRUE(test::waitUntil([&] { return server.shown.size() == 2; }));
    server.invokeAction(server.shown[1].id, "default");
    ASSERT_TRUE(test::waitUntil([&] { return taps.size() >= 2; }));
    test::spin(50);
    ASSERT_EQ(taps.size(), 2);
    EXPECT_TRUE(isRequestFor(taps[0], "milestone-wh100")) << taps[0].toStdString();
    EXPECT_TRUE(isRequestFor(taps[1], "limit")) << taps[1].toStdString();
}

TEST_F(NotifierBusTest, BodiesAreEscapedOnlyForAServiceThatReadsMarkup)
{
    test::FakeNotificationServer server(bus.connect("server"));
    ASSERT_TRUE(server.publish());
    Notifier notifier(bus.connect("app"), clock);
    const QString report = "<a href=\"http://x\">link</a> & <img src=x> 3 < 4";

    notifier.notify("ps-report", "レポート", report, 0);
    ASSERT_TRUE(test::waitUntil([&] { return server.shown.size() == 1; }));
    EXPECT_EQ(server.shown[0].body, report) << "a plain-text service shows the text as it is";

    server.capabilities << "body-markup";
    notifier.notify("drain-ai", "診断", report, 0);
    ASSERT_TRUE(test::waitUntil([&] { return server.shown.size() == 2; }));
    EXPECT_EQ(server.shown[1].body,
              "&lt;a href=\"http://x\"&gt;link&lt;/a&gt; &amp; &lt;img src=x&gt; 3 &lt; 4");
    EXPECT_EQ(server.shown[1].summary, "診断") << "the summary is plain text everywhere";
}

TEST_F(NotifierBusTest, AuthorizedWhileTheServiceIsOnTheBus)
{
    Notifier notifier(bus.connect("app"), clock);
    EXPECT_EQ(QCoro::waitFor(notifier.authorizationStatus()), Notifier::AuthorizationStatus::Denied);

    // Posting with nobody to show it fails quietly and still starts the cooldown.
    notifier.notify("helpererror", "t", "b", 300);
    EXPECT_TRUE(notifier.lastSent().contains("helpererror"));
    test::spin(50);

    test::FakeNotificationServer server(bus.connect("server"));
    ASSERT_TRUE(server.publish());
    EXPECT_EQ(QCoro::waitFor(notifier.authorizationStatus()), Notifier::AuthorizationStatus::Authorized);
}
