#include "Kestrune/UI/MainWindowView.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/UI/DashboardView.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/Stepper.h"
#include "tests/Kestrune/UI/MainWindow/ViewFixture.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest/qtestsystem.h>

using namespace kestrune;
using namespace kestrune::test;

class MainWindowViewTest : public ViewFixture { };

namespace {

// One notch of the wheel over the middle of `control`, as the window system delivers it: to
// the widget under the pointer, passed on to its parents while none takes it.
void turnWheel(QWidget* control, bool up)
{
    QWidget* window = control->window();
    const QPoint inWindow = control->mapTo(window, control->rect().center());
    QWidget* target = window->childAt(inWindow) ? window->childAt(inWindow) : window;
    const QPointF at = target->mapFrom(window, inWindow);
    QWheelEvent turn(at, target->mapToGlobal(at), QPoint(), QPoint(0, up ? 120 : -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    // Sent, it would count as the program's own and stay with the first widget.
    QSpontaneKeyEvent::setSpontaneous(&turn);
    qApp->notify(target, &turn);
}

} // namespace

TEST_F(MainWindowViewTest, TheWheelScrollsPastSettingsUntilTheUserFocusesOne)
{
    for (const demo::HelperScene scene : { demo::HelperScene::Connected, demo::HelperScene::Hardware80 }) {
        // Every control shown: the manual level and target hours, the temperature threshold.
        demo::DemoApp::Options options = ViewFixture::options(scene);
        options.defaults = { { "powerLevelAuto", false }, { "targetAutoLearn", false }, { "notifyHighTemp", true } };
        AppState& app = launch(options);
        QStringList written;
        QObject::connect(&app.defaults(), &UserDefaults::changed, [&](const QString& key) { written << key; });
        MainWindowView window(app, {});
        window.setMinimumSize(0, 0);
        window.resize(MainWindowView::smallestSize.width(), 300); // every tab's form scrolls
        MenuBarView popover(app, {});
        QList<QWidget*> views { &popover };
        for (int i = 0; i < window.tabs()->count(); ++i)
            views << window.tabs()->widget(i);

        QStringList turned;
        for (QWidget* view : views) {
            if (view != &popover)
                window.tabs()->setCurrentWidget(view);
            view->window()->show();
            view->window()->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(view->window()));
            for (QWidget* control : view->findChildren<QWidget*>()) {
                auto* slider = qobject_cast<QAbstractSlider*>(control);
                auto* dropDown = qobject_cast<QComboBox*>(control);
                const bool wheelTaker = (slider && !qobject_cast<QScrollBar*>(control)) || dropDown
                    || qobject_cast<QAbstractSpinBox*>(control);
                if (!control->isVisibleTo(view)
                    || !(wheelTaker || qobject_cast<Stepper*>(control) || qobject_cast<SegmentedPicker*>(control)))
                    continue;
                const std::string name = control->objectName().toStdString();
                turned << control->objectName();
                QScrollArea* form = nullptr;
                for (QWidget* parent = control->parentWidget(); parent && !form; parent = parent->parentWidget())
                    form = qobject_cast<QScrollArea*>(parent);
                QScrollBar* bar = form ? form->verticalScrollBar() : nullptr;
                if (form)
                    form->ensureWidgetVisible(control, 0, 0);
                const int before = bar ? bar->value() : 0;
                turnWheel(control, bar && bar->value() > bar->minimum()); // where the form can go
                EXPECT_TRUE(written.isEmpty()) << name << " wrote " << written.join(' ').toStdString();
                EXPECT_FALSE(control->hasFocus()) << name;
                EXPECT_TRUE(!bar || bar->value() != before) << name << ": the form did not scroll";
                written.clear();

                // Once the user has clicked or tabbed to it, the wheel is the user's.
                if (!wheelTaker)
                    continue;
                if (form)
                    form->ensureWidgetVisible(control, 0, 0);
                control->setFocus(Qt::TabFocusReason);
                ASSERT_TRUE(control->hasFocus()) << name;
                const int scrolled = bar ? bar->value() : 0;
                // Up raises a slider (or a spin box) and takes a drop-down to the item above.
                turnWheel(control, slider ? slider->value() < slider->maximum() : !dropDown || dropDown->currentIndex() > 0);
                EXPECT_FALSE(written.isEmpty()) << name << " took no turn";
                EXPECT_TRUE(!bar || bar->value() == scrolled) << name;
                control->clearFocus();
                written.clear();
                demo::DemoApp::settle();
            }
        }
        // The popover's limit control and the tab's: sliders, or for the firmware's limit a
        // row of segments and a drop-down.
        const QStringList expected = scene == demo::HelperScene::Connected
            ? QStringList { "manualLevelSlider", "limitSlider", "manualLevel", "targetHours", "limitSlider",
                  "resumeStepper", "bufferStepper", "thresholdSlider", "language" }
            : QStringList { "limitPicker", "limitPicker", "language" };
        for (const QString& name : expected)
            EXPECT_EQ(turned.count(name), expected.count(name)) << name.toStdString();
    }
}

TEST_F(MainWindowViewTest, FiveTabsInOrderWhateverTheHelper)
{
    for (const demo::HelperScene scene : { demo::HelperScene::Connected, demo::HelperScene::NotFound }) {
        AppState& app = launch(ViewFixture::options(scene));
        MainWindowView window(app, {});
        QTabWidget* tabs = window.tabs();
        ASSERT_EQ(tabs->count(), 5);
        const QStringList titles { "AI省電力", "ダッシュボード", "充電ルール", "AIインサイト", "一般" };
        const QStringList symbols { "leaf", "gauge.with.dots.needle.50percent", "slider.horizontal.3",
            "brain", "gearshape" };
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(tabs->tabText(i), titles[i]);
            EXPECT_EQ(tabs->tabBar()->tabData(i).toString(), symbols[i]);
            EXPECT_FALSE(tabs->tabIcon(i).isNull()) << symbols[i].toStdString();
            EXPECT_TRUE(tabs->isTabEnabled(i) && tabs->isTabVisible(i));
        }
        EXPECT_EQ(window.windowTitle(), "Kestrune");
        EXPECT_EQ(window.size(), QSize(880, 640));
        EXPECT_EQ(window.minimumSize(), QSize(860, 560));
        window.show();
        EXPECT_EQ(tabs->currentIndex(), 0);

        // The period picker stands at the top while the dashboard is in front.
        auto* picker = window.findChild<SegmentedPicker*>("periodPicker");
        ASSERT_NE(picker, nullptr);
        EXPECT_FALSE(picker->isVisible());
        tabs->setCurrentIndex(1);
        EXPECT_TRUE(picker->isVisible());
        EXPECT_EQ(picker->value().toString(), "day");
        tabs->setCurrentIndex(2);
        EXPECT_FALSE(picker->isVisible());
    }
}

TEST_F(MainWindowViewTest, EachWindowSeedsTheGeneralTabFromTheSystem)
{
    AppState& app = launch();
    const auto seededLanguage = [&] {
        MainWindowView window(app, {});
        return window.findChild<QComboBox*>("language")->currentData().toString();
    };
    const auto seededLogin = [&] {
        MainWindowView window(app, {});
        return window.findChild<QCheckBox*>("launchAtLogin")->isChecked();
    };
    EXPECT_EQ(seededLanguage(), "system") << "nothing stored";
    for (const auto& [stored, seeded] : { std::pair { "", "system" }, std::pair { "fr", "system" },
             std::pair { "ja", "ja" }, std::pair { "en", "en" }, std::pair { "system", "system" } }) {
        app.defaults().set("appLanguage", QString::fromUtf8(stored));
        EXPECT_EQ(seededLanguage(), seeded) << stored;
    }

    EXPECT_FALSE(seededLogin());
    const QString entry = app.loginItem().entryPath();
    QDir().mkpath(QFileInfo(entry).absolutePath());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=kestrune --login-item\n");
    file.close();
    EXPECT_TRUE(seededLogin());
}
