#include "Kestrune/UI/MainWindowView.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/UI/DashboardView.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "tests/Kestrune/UI/MainWindow/ViewFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTabBar>
#include <QTabWidget>

using namespace kestrune;
using namespace kestrune::test;

class MainWindowViewTest : public ViewFixture { };

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
