#pragma once

#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/UI/OpenWindow.h"
#include "Platform/SystemSettings/SystemSettings.h"

#include <QDialog>

#include <QCoro/QCoroTask>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace kestrune {

class AppState;
class PageDots;

// The first-run window: welcome, notifications, the helper and launch at login, one step at a
// time. Every step can be passed by without doing what it offers: Return always moves on,
// and on the last step finishes. Only the finish completes onboarding; closing the window
// any other way leaves it to be offered again.
class OnboardingView : public QDialog {
    Q_OBJECT

public:
    static constexpr int totalSteps = 4;

    struct Options {
        // Opens the desktop's notification settings.
        SystemSettings systemSettings = SystemSettings();
    };

    OnboardingView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);
    OnboardingView(AppState& state, OpenWindow openWindow, Options options, QWidget* parent = nullptr);

    int step() const { return m_step; }
    Notifier::AuthorizationStatus notificationStatus() const { return m_notificationStatus; }
    bool requestingNotification() const { return m_requestingNotification; }
    bool launchAtLogin() const { return m_launchAtLogin; }

private:
    struct SummaryRow {
        QLabel* icon;
        QLabel* title;
        QLabel* state;
    };

    QWidget* welcomeStep();
    QWidget* notificationStep();
    QWidget* helperStep();
    QWidget* finishStep();
    QWidget* controls();
    SummaryRow summaryRow(const QString& title, QWidget* parent);

    void setStep(int step);
    // Registers launch at login if wanted, completes onboarding, closes, opens the main window.
    void finish();
    void requestNotification();
    // Reads the notification status, after asking for it when `request`.
    QCoro::Task<> readNotificationStatus(bool request);

    void refreshNotificationStep();
    void refreshHelperStep();
    void refreshSummary();
    static void setSummary(const SummaryRow& row, bool granted);

    AppState& m_state;
    OpenWindow m_openWindow;
    Options m_options;

    int m_step = 0;
    Notifier::AuthorizationStatus m_notificationStatus = Notifier::AuthorizationStatus::NotDetermined;
    bool m_requestingNotification = false;
    bool m_launchAtLogin = true;

    QStackedWidget* m_steps = nullptr;
    PageDots* m_dots = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;

    QWidget* m_notificationsAllowed = nullptr;
    QWidget* m_notificationsDenied = nullptr;
    QPushButton* m_requestNotification = nullptr;

    QWidget* m_helperEnabled = nullptr;
    QWidget* m_helperApproval = nullptr;
    QPushButton* m_enableHelper = nullptr;

    SummaryRow m_notificationSummary{};
    SummaryRow m_helperSummary{};
};

} // namespace kestrune
