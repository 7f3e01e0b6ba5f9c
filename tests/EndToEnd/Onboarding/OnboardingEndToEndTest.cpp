#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/UI/OnboardingView.h"
#include "tests/EndToEnd/App/SimulatedApp.h"
#include "tests/support/EventLoop.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrune::test {

// The first-run window on the simulated laptop with the real daemon on a private bus: the
// user enables the helper in its step and the window follows the daemon coming up.
TEST(OnboardingEndToEnd, EnablingTheHelperConnectsTheRealDaemon)
{
    if (!SimulatedApp::canRun())
        GTEST_SKIP() << "kestrune-helper or kestrune-sim is not built";
    SimulatedApp laptop({.defaults = {{"autopilotEnabled", false}}});
    ASSERT_TRUE(laptop.setUp());
    AppState& app = laptop.launch();
    QStringList opened;
    OnboardingView view(app, [&](const QString& id) { opened << id; });
    view.show();
    auto returnKey = [&] { QTest::keyClick(&view, Qt::Key_Return); };
    auto shown = [&](const char* name) { return view.findChild<QWidget*>(QString::fromLatin1(name))->isVisible(); };

    returnKey();
    returnKey();
    ASSERT_EQ(view.step(), 2);
    ASSERT_TRUE(shown("enableHelper"));
    EXPECT_FALSE(app.helper().isConnected());

    view.findChild<QPushButton*>(QStringLiteral("enableHelper"))->click();
    ASSERT_TRUE(waitUntil([&] { return shown("helperEnabled"); }, 15000));
    EXPECT_TRUE(app.helper().isConnected());
    EXPECT_EQ(view.findChild<QWidget*>(QStringLiteral("helperEnabled"))->findChild<QLabel*>(QStringLiteral("text"))->text(),
              QStringLiteral("ヘルパーは有効です"));
    EXPECT_FALSE(shown("enableHelper"));

    returnKey();
    QStringList summary;
    for (QLabel* label : view.findChildren<QLabel*>(QStringLiteral("summaryState")))
        summary << label->text();
    EXPECT_EQ(summary.value(1), QStringLiteral("有効"));
    returnKey();
    EXPECT_EQ(opened, QStringList{QStringLiteral("main")});
    EXPECT_TRUE(app.onboardingCompleted());
}

} // namespace kestrune::test
