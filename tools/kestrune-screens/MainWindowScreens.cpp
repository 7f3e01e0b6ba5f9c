#include "tools/kestrune-screens/MainWindowScreens.h"

#include "Kestrune/UI/MainWindowView.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QTabWidget>
#include <QTextStream>

#include <functional>
#include <memory>
#include <utility>

namespace kestrune {

namespace {

enum Tab { DashboardTab = 1, RulesTab, InsightsTab, GeneralTab };

// The demo machine of `options`, and on it a window for each screen, opened on its tab: a
// window is built afresh each time it opens, and so is each screen's.
class DemoWindows {
public:
    explicit DemoWindows(demo::DemoApp::Options options)
        : m_demo(std::move(options))
    {
        QString error;
        m_ready = m_demo.launch(&error);
        if (!m_ready)
            QTextStream(stderr) << "cannot set up the demo machine: " << error << Qt::endl;
        else
            m_demo.measureInsights();
    }

    // The tab at its full length, after `prepare` has had the window.
    bool write(const ScreenFolder& folder, Tab tab, const QString& screen,
        const std::function<void(MainWindowView&)>& prepare = {})
    {
        const std::unique_ptr<MainWindowView> window = open(tab);
        if (window && prepare)
            prepare(*window);
        return window && folder.write(screen, *window);
    }

    // The window at the size it first opens with.
    bool writeAsOpened(const ScreenFolder& folder, Tab tab, const QString& screen)
    {
        const std::unique_ptr<MainWindowView> window = open(tab);
        if (!window)
            return false;
        window->show();
        demo::DemoApp::settle();
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !window->grab().save(&buffer, "PNG"))
            png.clear();
        return folder.write(screen, png);
    }

private:
    std::unique_ptr<MainWindowView> open(Tab tab)
    {
        if (!m_ready)
            return nullptr;
        auto window = std::make_unique<MainWindowView>(m_demo.state(), OpenWindow());
        window->resize(MainWindowView::firstSize);
        window->tabs()->setCurrentIndex(tab);
        return window;
    }

    demo::DemoApp m_demo;
    bool m_ready = false;
};

} // namespace

bool mainWindowScreens(const ScreenFolder& folder)
{
    bool ok = true;
    {
        DemoWindows month({});
        ok &= month.writeAsOpened(folder, DashboardTab, QStringLiteral("main-window"));
        ok &= month.write(folder, DashboardTab, QStringLiteral("main-dashboard"));
        ok &= month.write(
            folder, DashboardTab, QStringLiteral("main-dashboard-month"), [](MainWindowView& window) {
                window.findChild<SegmentedPicker*>(QStringLiteral("periodPicker"))
                    ->segment(QStringLiteral("month"))
                    ->click();
            });
        ok &= month.write(folder, RulesTab, QStringLiteral("main-rules"));
        ok &= month.write(folder, InsightsTab, QStringLiteral("main-insights"));
        ok &= month.write(folder, GeneralTab, QStringLiteral("main-general"));
    }
    {
        demo::DemoApp::Options fresh;
        fresh.historyDays = 0;
        fresh.learned = false;
        // Not even the launch's reading yet: the store is empty, the cards wait.
        fresh.battery = false;
        ok &= DemoWindows(fresh).write(folder, DashboardTab, QStringLiteral("main-dashboard-empty"));
        // The first twenty minutes of use.
        fresh.historyDays = 20.0 / (24 * 60);
        fresh.battery = true;
        ok &= DemoWindows(fresh).write(folder, DashboardTab, QStringLiteral("main-dashboard-first-hour"));
    }
    {
        demo::DemoApp::Options missing;
        missing.helper = demo::HelperScene::NotFound;
        ok &= DemoWindows(missing).write(folder, GeneralTab, QStringLiteral("main-general-helper-missing"));
    }
    {
        demo::DemoApp::Options hardware;
        hardware.helper = demo::HelperScene::Hardware80;
        ok &= DemoWindows(hardware).write(folder, RulesTab, QStringLiteral("main-rules-hardware-limit"));
    }
    return ok;
}

} // namespace kestrune
