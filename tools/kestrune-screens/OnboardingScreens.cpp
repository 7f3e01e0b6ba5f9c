#include "tools/kestrune-screens/OnboardingScreens.h"

#include "Kestrune/UI/OnboardingView.h"
#include "Kestrune/UI/WindowRegistry.h"
#include "tools/kestrune-screens/ScreenApp.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>

namespace kestrune {

namespace {

// Opens the window as the application does, waits for its first read of the notification
// status, moves on `step` times with its default button and writes it.
bool writeStep(const ScreenFolder& folder, const QString& screen, AppState& state, int step)
{
    WindowRegistry windows;
    windows.addFitted(QStringLiteral("onboarding"), "ようこそ",
                      [&] { return new OnboardingView(state, [](const QString&) {}); });
    auto* view = qobject_cast<OnboardingView*>(windows.open(QStringLiteral("onboarding")));
    if (!view)
        return false;
    const QDeadlineTimer deadline(3000);
    while (view->notificationStatus() == Notifier::AuthorizationStatus::NotDetermined && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    auto* next = view->findChild<QPushButton*>(QStringLiteral("next"));
    for (int i = 0; i < step; ++i)
        next->click();
    return folder.write(screen, *view);
}

} // namespace

bool onboardingScreens(const ScreenFolder& folder)
{
    bool ok = true;
    {
        ScreenApp app({});
        const QStringList steps{QStringLiteral("welcome"), QStringLiteral("notifications"), QStringLiteral("helper"),
                                QStringLiteral("ready")};
        for (int step = 0; step < steps.size(); ++step)
            ok &= writeStep(folder, QStringLiteral("onboarding-%1-%2").arg(step + 1).arg(steps[step]), app.state(), step);
    }
    {
        ScreenApp app({.notifications = false});
        ok &= writeStep(folder, QStringLiteral("onboarding-notifications-denied"), app.state(), 1);
    }
    {
        ScreenApp app({.daemonStatus = ServiceManagement::Status::RequiresApproval});
        ok &= writeStep(folder, QStringLiteral("onboarding-helper-approval"), app.state(), 2);
    }
    return ok;
}

} // namespace kestrune
