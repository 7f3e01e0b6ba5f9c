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
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest/qtestsystem.h>

using namespace kestrune;
using namespace kestrune::test;

class MainWindowViewTest : public ViewFixture { };

namespace {

// The shown controls under `root` that change a setting when the user moves them.
QList<QWidget*> settingControls(QWidget* root)
{
    QList<QWidget*> controls;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const bool slider = qobject_cast<QAbstractSlider*>(widget) && !qobject_cast<QScrollBar*>(widget);
        if (widget->isVisibleTo(root)
            && (slider || qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget)
                || qobject_cast<Stepper*>(widget) || qobject_cast<SegmentedPicker*>(widget)))
            controls << widget;
    }
    return controls;
}

// One notch of the wheel over the middle of `control`, as the window system delivers it: to
// the widget under the pointer, passed on to its parents while none takes it. Up when `up`.
void turnWheel(QWidget* control, bool up)
{
    QWidget* window = control->window();
    const QPoint inWindow = control->mapTo(window, control->rect().center());
    QWidget* under = window->childAt(inWindow);
    QWidget* target = under ? under : window;
    const QPointF at = target->mapFrom(window, inWindow);
    QWheelEvent turn(at, target->mapToGlobal(at), QPoint(), QPoint(0, up ? 120 : -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    // Sent, it would count as the program's own and stay with the first widget.
    QSpontaneKeyEvent::setSpontaneous(&turn);
    qApp->notify(target, &turn);
}

// A turn that moves the control when it takes it: sliders rise with the wheel turned up, a
// drop-down goes to the item above.
bool turnThatMoves(QWidget* control)
{
    if (auto* slider = qobject_cast<QAbstractSlider*>(control))
        return slider->value() < slider->maximum();
    return qobject_cast<QComboBox*>(control)->currentIndex() > 0;
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
        // Short enough that every tab's form scrolls.
        window.setMinimumSize(0, 0);
        window.resize(MainWindowView::smallestSize.width(), 300);
        MenuBarView popover(app, {});
        QList<QWidget*> views;
        for (int i = 0; i < window.tabs()->count(); ++i)
            views << window.tabs()->widget(i);
        views << &popover;

        QStringList turned;
        for (QWidget* view : views) {
            QWidget* top = view->window();
            if (view != &popover)
                window.tabs()->setCurrentWidget(view);
            top->show();
            top->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(top));
            for (QWidget* control : settingControls(view)) {
                const std::string name = control->objectName().toStdString();
                turned << control->objectName();
                QScrollArea* form = nullptr;
                for (QWidget* parent = control->parentWidget(); parent && !form; parent = parent->parentWidget())
                    form = qobject_cast<QScrollArea*>(parent);
                QScrollBar* bar = form ? form->verticalScrollBar() : nullptr;
                if (form)
                    form->ensureWidgetVisible(control, 0, 0);
                const int before = bar ? bar->value() : 0;
                // Towards whichever end the form can still go.
                turnWheel(control, bar && bar->value() > bar->minimum());
                EXPECT_TRUE(written.isEmpty()) << name << " wrote " << written.join(' ').toStdString();
                EXPECT_FALSE(control->hasFocus()) << name;
                if (bar) {
                    EXPECT_NE(bar->value(), before) << name << ": the form did not scroll";
                }
                written.clear();

                // Once the user has clicked or tabbed to it, the wheel is the user's.
                if (!qobject_cast<QAbstractSlider*>(control) && !qobject_cast<QComboBox*>(control))
                    continue;
                if (form)
                    form->ensureWidgetVisible(control, 0, 0);
                control->setFocus(Qt::TabFocusReason);
                ASSERT_TRUE(control->hasFocus()) << name;
                const int scrolled = bar ? bar->value() : 0;
                turnWheel(control, turnThatMoves(control));
                EXPECT_FALSE(written.isEmpty()) << name << " took no turn";
                if (bar) {
                    EXPECT_EQ(bar->value(), scrolled) << name;
                }
                control->clearFocus();
                written.clear();
                demo::DemoApp::settle();
            }
        }
        const QStringList expected = scene == demo::HelperScene::Connected
            ? QStringList { "manualLevel", "targetHours", "limitSlider", "resumeStepper", "bufferStepper",
                  "thresholdSlider", "language", "manualLevelSlider" }
            : QStringList { "limitPicker" };
        for (const QString& name : expected)
            EXPECT_TRUE(turned.contains(name)) << name.toStdString();
        EXPECT_GE(turned.count("limitSlider"), scene == demo::HelperScene::Connected ? 2 : 0) << "the popover's";
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
