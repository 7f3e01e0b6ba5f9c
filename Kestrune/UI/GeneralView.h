#pragma once

#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/UI/GroupedForm.h"

#include <QMessageBox>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kestrune {

class AppState;
class SymbolLabel;

// The General tab: the privileged helper (its state, the probe result, and registering,
// repairing or removing it), the notification rules, the menu-bar percentage, launch at
// login, the interface language, a reset of the charging state and the update check.
//
// Its helper actions are shared with the onboarding window and the menu-bar popover.
class GeneralView : public GroupedForm {
    Q_OBJECT

public:
    // What the window reads from the system each time it builds the tab.
    struct Seeds {
        bool launchAtLogin = false;
        AppLanguage language = AppLanguage::system;
    };

    GeneralView(AppState& state, Seeds seeds, QWidget* parent = nullptr);

    // Connects to the helper (whatever the outcome), then evaluates; the caller does not wait.
    static void reconnectAndEvaluate(AppState& state);
    // Registers the helper afresh and connects again (AppState::repairHelper); the caller
    // does not wait.
    static void repairHelper(AppState& state);
    // Opens the place where the user allows the helper; false where this desktop has none
    // (ServiceManagement::enableInstructions() then says what to do).
    static bool openLoginItemsSettings(AppState& state);

    // The alert that asks for a relaunch after a change of language, while it is open.
    QMessageBox* relaunchPrompt() const { return m_relaunchPrompt; }

private:
    void buildHelperSection();
    void buildNotificationSection();
    void buildDisplaySection(const Seeds& seeds);
    void buildMaintenanceSections();

    void showHelper();
    void showButtons();
    void showNotifications();
    void showUpdates();
    void setLaunchAtLogin(bool on);
    void launchAtLoginToggled(bool on);
    void languagePicked(int index);
    void resetCharging();

    AppState& m_state;

    QLabel* m_stateDot;
    QLabel* m_stateText;
    QLabel* m_version;
    QLabel* m_controlKey;
    QLabel* m_dischargeKey;
    QLabel* m_appleLimit;
    QLabel* m_notes;
    QWidget* m_errorRow;
    SymbolLabel* m_error;
    QWidget* m_buttons;
    QLabel* m_instructions;

    QWidget* m_thresholdRow;
    QLabel* m_thresholdText;
    QSlider* m_threshold;

    QCheckBox* m_launchAtLogin;
    QComboBox* m_language;
    AppLanguage m_languageChoice = AppLanguage::system;
    QPointer<QMessageBox> m_relaunchPrompt;

    QPushButton* m_reset;
    QLabel* m_lastCheck;
    QPushButton* m_checkForUpdates;
};

} // namespace kestrune
