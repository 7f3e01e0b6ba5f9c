#include "Kestrune/UI/GeneralView.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/App/UpdaterManager.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"
#include "tests/Kestrune/UI/MainWindow/ViewFixture.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

using namespace kestrune;
using namespace kestrune::test;
using Scene = demo::HelperScene;

namespace {

QStringList buttons(const GeneralView& view)
{
    QList<QPushButton*> shown;
    for (QPushButton* button : view.findChild<QWidget*>("helperButtons")->findChildren<QPushButton*>())
        if (button->isVisible())
            shown << button;
    std::sort(shown.begin(), shown.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    QStringList names;
    for (QPushButton* button : shown)
        names << button->objectName();
    return names;
}

QColor dotColor(const GeneralView& view)
{
    return view.findChild<QLabel*>("stateDot")->pixmap().toImage().pixelColor(4, 4);
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeFile(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

} // namespace

class GeneralViewTest : public ViewFixture {
protected:
    std::unique_ptr<GeneralView> shownView(GeneralView::Seeds seeds = {})
    {
        auto view = std::make_unique<GeneralView>(demo->state(), seeds);
        view->show();
        demo::DemoApp::settle();
        return view;
    }
};

TEST_F(GeneralViewTest, TheHelperSectionFollowsTheStatusAndTheConnection)
{
    struct Case {
        Scene scene;
        QStringList buttons;
    };
    for (const Case& c : { Case { Scene::Connected, { "reconnect", "unregister" } },
             Case { Scene::Unanswered, { "reconnect", "repair", "unregister" } },
             Case { Scene::RequiresApproval, { "enable", "openSettings", "approvedReconnect", "repair" } },
             Case { Scene::NotRegistered, { "enable" } }, Case { Scene::NotFound, { "enable" } } }) {
        demo::DemoApp::Options options = ViewFixture::options(c.scene);
        options.historyDays = 0;
        launch(options);
        auto view = shownView();
        EXPECT_EQ(buttons(*view), c.buttons) << int(c.scene);
        const bool connected = c.scene == Scene::Connected;
        EXPECT_EQ(dotColor(*view), connected ? SystemColors::green() : SystemColors::orange());
        EXPECT_EQ(view->findChild<QLabel*>("helperVersion")->isVisible(), connected);
        EXPECT_EQ(view->findChild<QLabel*>("controlKey")->isVisible(), connected);
        EXPECT_EQ(view->findChild<QPushButton*>("resetCharging")->isEnabled(), connected);
    }
    // Status unknown: only registering is offered.
    demo->services().status = ServiceManagement::Status::Unknown;
    auto unknown = shownView();
    EXPECT_EQ(buttons(*unknown), QStringList { "enable" });

    // Connected: the version, the probe rows (no notes), and the two buttons.
    launch(ViewFixture::options(Scene::Connected));
    auto view = shownView();
    EXPECT_EQ(view->findChild<QLabel*>("stateText")->text(), "接続済み");
    EXPECT_EQ(view->findChild<QLabel*>("helperVersion")->text(), "v2");
    EXPECT_EQ(view->findChild<QLabel*>("controlKey")->text(), "CH0B/CH0C");
    EXPECT_EQ(view->findChild<QLabel*>("dischargeKey")->text(), "CHIE");
    EXPECT_EQ(view->findChild<QLabel*>("appleLimit")->text(), "なし");
    EXPECT_FALSE(view->findChild<QLabel*>("probeNotes")->isVisible());
    EXPECT_FALSE(view->findChild<SymbolLabel*>("helperError")->isVisible());

    // Unregistering acts at once: orange, the version and probe rows gone, the buttons of
    // the status read back.
    demo->services().statusAfterUnregister = ServiceManagement::Status::NotRegistered;
    view->findChild<QPushButton*>("unregister")->click();
    waitUntil([&] { return buttons(*view) == QStringList { "enable" }; });
    EXPECT_EQ(dotColor(*view), SystemColors::orange());
    EXPECT_EQ(view->findChild<QLabel*>("stateText")->text(), "未登録");
    EXPECT_FALSE(view->findChild<QLabel*>("helperVersion")->isVisible());
    EXPECT_FALSE(view->findChild<QLabel*>("controlKey")->isVisible());
    EXPECT_EQ(buttons(*view), QStringList { "enable" });
    EXPECT_FALSE(view->findChild<QPushButton*>("resetCharging")->isEnabled());

    // A registration the system refuses: its text, as it is, in orange.
    demo->services().registerError = QStringLiteral("<b>denied</b>");
    view->findChild<QPushButton*>("enable")->click();
    auto* error = view->findChild<SymbolLabel*>("helperError");
    waitUntil([&] { return error->isVisible(); });
    EXPECT_TRUE(error->isVisible());
    EXPECT_EQ(error->text(), "登録エラー: <b>denied</b>");

    // Only the firmware's limit: "なし" for the key, "あり" for the limit, and the notes.
    launch(ViewFixture::options(Scene::Hardware80));
    auto hardware = shownView();
    EXPECT_EQ(hardware->findChild<QLabel*>("controlKey")->text(), "なし");
    EXPECT_EQ(hardware->findChild<QLabel*>("appleLimit")->text(), "あり");
    EXPECT_TRUE(hardware->findChild<QLabel*>("probeNotes")->isVisible());

    // Approval pending where this desktop has no place to give it: the instructions instead.
    launch(ViewFixture::options(Scene::RequiresApproval));
    demo->services().canOpenSettings = false;
    auto pending = shownView();
    auto* instructions = pending->findChild<QLabel*>("enableInstructions");
    EXPECT_FALSE(instructions->isVisible());
    pending->findChild<QPushButton*>("openSettings")->click();
    EXPECT_TRUE(instructions->isVisible());
    EXPECT_EQ(instructions->text(), demo->services().enableInstructions());
}

TEST_F(GeneralViewTest, TheResetIsFollowedByAnEvaluationThatWritesWhatItDecides)
{
    launch();
    auto view = shownView();
    ASSERT_TRUE(demo->state().controller().isHolding());
    demo->daemon().clearCalls();
    view->findChild<QPushButton*>("resetCharging")->click();
    ASSERT_TRUE(waitUntil([&] { return demo->daemon().count(HelperProtocol::setChargingEnabled) > 0; }));
    demo::DemoApp::settle();
    // The daemon allowed charging; the controller does not take its hold as still in force.
    const QStringList methods = demo->daemon().methods();
    ASSERT_EQ(methods.first(), "resetChargingDefaults");
    EXPECT_EQ(demo->daemon().calls().last().method, "setChargingEnabled");
    EXPECT_EQ(demo->daemon().calls().last().arguments, QVariantList { false });
}

TEST_F(GeneralViewTest, NotificationsLanguageAndUpdates)
{
    demo::DemoApp::Options options = ViewFixture::options();
    options.updateFeed = QUrl("http://127.0.0.1:9/appcast.xml");
    AppState& app = launch(options);
    const QDateTime lastChecked(QDate(2026, 3, 12), QTime(21, 5));
    app.defaults().set(QStringLiteral("updater.lastCheckTime"), lastChecked);
    GeneralView::Seeds seeds;
    seeds.language = AppLanguage::english;
    auto view = shownView(seeds);

    // The threshold follows its switch, and keeps its value while hidden.
    auto* slider = view->findChild<QSlider*>("thresholdSlider");
    app.settings().setHighTempThreshold(41.7);
    EXPECT_EQ(view->findChild<QLabel*>("thresholdText")->text(), "しきい値 41°C");
    app.settings().setNotifyHighTemp(false);
    EXPECT_FALSE(slider->isVisible());
    app.settings().setNotifyHighTemp(true);
    EXPECT_TRUE(slider->isVisible());
    EXPECT_EQ(slider->value(), 41);
    EXPECT_DOUBLE_EQ(app.settings().highTempThreshold(), 41.7) << "shown, not written";
    slider->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_DOUBLE_EQ(app.settings().highTempThreshold(), 45);

    // The language starts at the seed; each new choice is stored and asks for a relaunch.
    auto* language = view->findChild<QComboBox*>("language");
    EXPECT_EQ(language->currentData().toString(), "en");
    emit language->activated(1);
    EXPECT_EQ(app.defaults().string("appLanguage"), "ja");
    ASSERT_NE(view->relaunchPrompt(), nullptr);
    EXPECT_EQ(view->relaunchPrompt()->text(), "再起動すると選択した言語で表示されます。");
    view->relaunchPrompt()->findChild<QPushButton*>("later")->click();
    waitUntil([&] { return view->relaunchPrompt() == nullptr; });
    EXPECT_EQ(view->relaunchPrompt(), nullptr);
    EXPECT_EQ(app.defaults().string("appLanguage"), "ja") << "later keeps the choice";
    emit language->activated(0);
    EXPECT_FALSE(app.defaults().contains("appLanguage"));
    EXPECT_FALSE(app.defaults().contains("AppleLanguages"));
    EXPECT_NE(view->relaunchPrompt(), nullptr);
    view->relaunchPrompt()->close();
    emit language->activated(0);
    demo::DemoApp::settle();
    EXPECT_EQ(view->relaunchPrompt(), nullptr) << "the same choice again is no change";

    // The version of an application that has none, the last check, and the button that
    // follows whether a check can start.
    EXPECT_EQ(view->findChild<QLabel*>("appVersion")->text(), "-");
    auto* lastCheck = view->findChild<QLabel*>("lastCheck");
    auto* check = view->findChild<QPushButton*>("checkForUpdates");
    view->hide();
    view->show();
    EXPECT_TRUE(lastCheck->isVisible());
    EXPECT_EQ(lastCheck->text(), "2026/03/12 21:05");
    EXPECT_TRUE(waitUntil([&] { return check->isEnabled(); }));

    launch(ViewFixture::options());
    auto unchecked = shownView();
    EXPECT_FALSE(unchecked->findChild<QLabel*>("lastCheck")->isVisible()) << "no check made yet";
    EXPECT_FALSE(unchecked->findChild<QPushButton*>("checkForUpdates")->isEnabled()) << "no feed to check";
}

TEST_F(GeneralViewTest, OnlyTheUsersSwitchRegistersOrUnregistersTheLoginItem)
{
    QTemporaryDir folders;
    const QString user = folders.filePath("config/autostart");
    const QString system = folders.filePath("xdg/autostart");
    demo::DemoApp::Options options = ViewFixture::options();
    options.loginItem = LoginItem::Options { user, { system }, folders.filePath("My Apps/kestrune") };
    ASSERT_TRUE(writeProgram(options.loginItem->program));
    AppState& app = launch(options);
    const QString entry = app.loginItem().entryPath();

    auto view = shownView();
    auto* toggle = view->findChild<QCheckBox*>("launchAtLogin");
    EXPECT_FALSE(toggle->isChecked());
    toggle->click();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(app.loginItem().status(), ServiceManagement::Status::Enabled);
    EXPECT_TRUE(readFile(entry).contains(
        QStringLiteral("Exec=\"%1\" --login-item").arg(folders.filePath("My Apps/kestrune"))));
    toggle->click();
    EXPECT_FALSE(QFile::exists(entry));

    // Changed outside while the tab was away: shown on its return, and left as it is.
    view->hide();
    const QString outside
        = "[Desktop Entry]\nType=Application\nName=Kestrune\nExec=kestrune --login-item\nX-Mine=1\n";
    ASSERT_TRUE(writeFile(entry, outside));
    view->show();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(readFile(entry), outside) << "nothing registered again";

    // Off with a system-wide entry of the same name: ours hides it.
    ASSERT_TRUE(writeFile(system + "/org.kestrune.Kestrune.desktop", outside));
    toggle->click();
    EXPECT_TRUE(readFile(entry).contains("Hidden=true"));
    EXPECT_EQ(app.loginItem().status(), ServiceManagement::Status::NotRegistered);

    // A registration that cannot be written (a file where the folder should be) sets the
    // switch back off.
    ASSERT_TRUE(QFile::remove(system + "/org.kestrune.Kestrune.desktop"));
    ASSERT_TRUE(QDir(user).removeRecursively());
    ASSERT_TRUE(writeFile(user, "in the way"));
    toggle->click();
    EXPECT_FALSE(toggle->isChecked());

    // ... and unregisters nothing: the user's own switched-off entry stays where a program
    // that cannot be started at login fails to register.
    options.loginItem->program = folders.filePath("bad\nname");
    QFile::remove(user);
    AppState& second = launch(options);
    const QString switchedOff = "[Desktop Entry]\nHidden=true\n";
    ASSERT_TRUE(writeFile(second.loginItem().entryPath(), switchedOff));
    auto again = shownView();
    auto* secondToggle = again->findChild<QCheckBox*>("launchAtLogin");
    secondToggle->click();
    EXPECT_FALSE(secondToggle->isChecked());
    EXPECT_EQ(readFile(second.loginItem().entryPath()), switchedOff);
}
