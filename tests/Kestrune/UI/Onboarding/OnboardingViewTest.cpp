#include "Kestrune/UI/OnboardingView.h"

#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/UI/PageDots.h"
#include "Platform/ServiceManagement/LoginItem.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tests/support/Files.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace kestrune::test {

// The first-run window over the application core with the fake daemon, a fake notification
// service and the system's service management faked; the window opener is recorded.
class OnboardingViewTest : public AppStateFixture {
protected:
    void TearDown() override
    {
        view.reset();
        AppStateFixture::TearDown();
    }

    OnboardingView& open(OnboardingView::Options options = {})
    {
        view = std::make_unique<OnboardingView>(
            *state,
            [this](const QString& id) {
                // What the user would see at that moment.
                opened << id;
                visibleWhenOpened = view->isVisible();
                completedWhenOpened = state->onboardingCompleted();
            },
            std::move(options));
        view->show();
        return *view;
    }

    // Return pressed in `focused` (the window itself when none); what it ignores goes to the window.
    void pressReturn(QWidget* focused = nullptr) { QTest::keyClick(focused ? focused : view.get(), Qt::Key_Return); }
    template <typename T = QWidget> T* find(const char* name) const
    {
        return view->findChild<T*>(QString::fromLatin1(name));
    }
    bool shown(const char* name) const { return find(name)->isVisibleTo(view.get()) && find(name)->isVisible(); }
    QPushButton* next() const { return find<QPushButton>("next"); }
    // The state column of the ready step's two rows, "通知" then "充電制御ヘルパー".
    QStringList summary() const
    {
        QStringList states;
        for (QLabel* label : find("summary")->findChildren<QLabel*>(QStringLiteral("summaryState")))
            states << label->text();
        return states;
    }

    std::unique_ptr<OnboardingView> view;
    QStringList opened;
    bool visibleWhenOpened = true;
    bool completedWhenOpened = false;
};

TEST_F(OnboardingViewTest, ReturnWalksEveryStepAndTheFinishRegistersCompletesClosesAndOpensMain)
{
    // The program lives in a folder with a space in its name.
    const QString program = dir.filePath(QStringLiteral("Kestrune Apps/kestrune"));
    ASSERT_TRUE(writeProgram(program));
    launch(true, [&](AppContext& context) { context.loginItem->program = program; });
    OnboardingView& onboarding = open();
    EXPECT_EQ(onboarding.size(), QSize(560, 480));

    auto* dots = find<PageDots>("dots");
    EXPECT_EQ(dots->count(), 4);
    EXPECT_EQ(dots->current(), 0);
    EXPECT_EQ(dots->dotColor(0), onboarding.palette().color(QPalette::Highlight));
    EXPECT_EQ(dots->dotColor(1).alphaF(), dots->dotColor(3).alphaF());
    EXPECT_LT(dots->dotColor(1).alphaF(), 0.5);
    EXPECT_FALSE(shown("back"));
    EXPECT_EQ(next()->text(), QStringLiteral("はじめる"));
    EXPECT_TRUE(shown("appIcon"));

    pressReturn();
    EXPECT_EQ(onboarding.step(), 1);
    EXPECT_EQ(dots->current(), 1);
    EXPECT_TRUE(shown("back"));
    EXPECT_EQ(next()->text(), QStringLiteral("次へ"));
    ASSERT_TRUE(waitUntil([&] { return shown("notificationsAllowed"); }));
    EXPECT_FALSE(shown("requestNotification"));
    EXPECT_FALSE(shown("notificationsDenied"));

    // Return goes to the default button even with another button focused.
    pressReturn(find("back"));
    EXPECT_EQ(onboarding.step(), 2);
    EXPECT_TRUE(shown("enableHelper"));
    EXPECT_FALSE(shown("helperEnabled"));
    EXPECT_FALSE(shown("helperApproval"));

    find<QPushButton>("back")->click();
    EXPECT_EQ(onboarding.step(), 1);
    pressReturn();
    pressReturn();
    EXPECT_EQ(onboarding.step(), 3);
    EXPECT_EQ(next()->text(), QStringLiteral("完了"));
    EXPECT_TRUE(shown("back"));
    EXPECT_TRUE(find<QCheckBox>("launchAtLogin")->isChecked());
    EXPECT_EQ(summary(), (QStringList{QStringLiteral("有効"), QStringLiteral("未設定(後から変更可)")}));

    pressReturn();
    EXPECT_EQ(opened, QStringList{QStringLiteral("main")});
    EXPECT_FALSE(visibleWhenOpened);
    EXPECT_TRUE(completedWhenOpened);
    EXPECT_EQ(onboarding.result(), QDialog::Accepted);
    EXPECT_EQ(state->loginItem().status(), ServiceManagement::Status::Enabled);
    const QString entry = QString::fromUtf8(readBytes(state->loginItem().entryPath()));
    EXPECT_TRUE(entry.contains(QStringLiteral("Exec=\"") + program + QStringLiteral("\" --login-item\n"))) << entry.toStdString();
}

TEST_F(OnboardingViewTest, TheNotificationStepShowsWhatTheServiceAllowsAndAsksAgainOnRequest)
{
    // No service on the bus: denied, and the way to the desktop's settings.
    QTemporaryDir programs;
    const QString started = programs.filePath(QStringLiteral("started"));
    {
        QFile script(programs.filePath(QStringLiteral("xfce4-notifyd-config")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(started).toUtf8());
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    launch(true, [](AppContext& context) { context.sessionBus = QDBusConnection(QStringLiteral("no-such-bus")); });
    OnboardingView& onboarding = open({SystemSettings({programs.path()})});
    pressReturn();
    ASSERT_TRUE(waitUntil([&] { return shown("notificationsDenied"); }));
    EXPECT_EQ(onboarding.notificationStatus(), Notifier::AuthorizationStatus::Denied);
    EXPECT_FALSE(shown("requestNotification"));
    EXPECT_FALSE(shown("notificationsAllowed"));
    find<QPushButton>("openNotificationSettings")->click();
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(started); }));
    pressReturn();
    pressReturn();
    EXPECT_EQ(summary().value(0), QStringLiteral("未設定(後から変更可)"));

    // Asked before the first read has answered: the request button, disabled while the
    // request runs, then the answer read afresh.
    view.reset();
    state.reset();
    launch();
    open();
    pressReturn();
    ASSERT_TRUE(shown("requestNotification"));
    find<QPushButton>("requestNotification")->click();
    EXPECT_TRUE(view->requestingNotification());
    EXPECT_FALSE(find("requestNotification")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !view->requestingNotification(); }));
    EXPECT_TRUE(shown("notificationsAllowed"));
    EXPECT_FALSE(shown("requestNotification"));
}

TEST_F(OnboardingViewTest, TheHelperStepFollowsTheHelperLive)
{
    services->status = Status::NotRegistered;
    launch();
    open();
    pressReturn();
    pressReturn();
    ASSERT_TRUE(shown("enableHelper"));

    // The system asks for the user's approval: the way there, and a reconnect once given.
    services->status = Status::RequiresApproval;
    state->helper().refreshStatus();
    EXPECT_TRUE(shown("helperApproval"));
    EXPECT_FALSE(shown("enableHelper"));
    find<QPushButton>("openLoginItems")->click();
    EXPECT_EQ(services->settingsOpened, 1);
    find<QPushButton>("reconnectHelper")->click();
    ASSERT_TRUE(waitUntil([&] { return shown("helperEnabled"); }));
    EXPECT_FALSE(shown("helperApproval")); // connected wins over the approval still reported
    pressReturn();
    EXPECT_EQ(summary().value(1), QStringLiteral("有効"));

    // Registering: each press registers, then connects.
    view.reset();
    state.reset();
    services->status = Status::NotRegistered;
    services->statusAfterRegister = Status::Enabled;
    services->registrations = 0;
    launch();
    open();
    pressReturn();
    pressReturn();
    find<QPushButton>("enableHelper")->click();
    find<QPushButton>("enableHelper")->click();
    EXPECT_EQ(services->registrations, 2);
    EXPECT_TRUE(waitUntil([&] { return shown("helperEnabled"); }));
    EXPECT_FALSE(shown("enableHelper"));
}

TEST_F(OnboardingViewTest, OnlyTheFinishCompletesAndItNeverUndoesOrWaitsOnTheLoginItem)
{
    // Switched off: an entry the user already has stays as it is.
    launch();
    const QString entry = state->loginItem().entryPath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(entry).path()));
    QFile existing(entry);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("[Desktop Entry]\nHidden=true\n");
    existing.close();
    open();
    for (int i = 0; i < 3; ++i)
        pressReturn();
    find<QCheckBox>("launchAtLogin")->setChecked(false);
    EXPECT_FALSE(view->launchAtLogin());
    pressReturn();
    EXPECT_EQ(readBytes(entry), QByteArray("[Desktop Entry]\nHidden=true\n"));
    EXPECT_TRUE(state->onboardingCompleted());
    EXPECT_EQ(opened, QStringList{QStringLiteral("main")});

    // An autostart folder that cannot be made: completed, closed and "main" opened all the same.
    view.reset();
    state.reset();
    opened.clear();
    preset({{QString::fromLatin1(AppState::onboardingCompletedKey), false}});
    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    launch(true, [&](AppContext& context) {
        context.loginItem->autostartDirectory = blocker.fileName() + QStringLiteral("/autostart");
    });
    open();
    for (int i = 0; i < 4; ++i)
        pressReturn();
    EXPECT_EQ(opened, QStringList{QStringLiteral("main")});
    EXPECT_FALSE(visibleWhenOpened);
    EXPECT_TRUE(completedWhenOpened);
    EXPECT_NE(state->loginItem().status(), ServiceManagement::Status::Enabled);

    // Closed any other way, it completes nothing.
    view.reset();
    state.reset();
    opened.clear();
    preset({{QString::fromLatin1(AppState::onboardingCompletedKey), false}});
    launch();
    open();
    pressReturn();
    view->close();
    open();
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(state->onboardingCompleted());
    EXPECT_TRUE(opened.isEmpty());
}

} // namespace kestrune::test
