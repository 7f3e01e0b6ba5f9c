#include "tools/kestrune-screens/MainWindowScreens.h"

#include "Kestrune/UI/MainWindowView.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QApplication>
#include <QBuffer>
#include <QTabWidget>
#include <QTextStream>

#include <functional>

namespace kestrune {

namespace {

enum Tab { PowerSaverTab, DashboardTab, RulesTab, InsightsTab, GeneralTab };

// Launches the demo machine of `options`, builds the main window over it and hands it to
// `write`.
bool withWindow(const demo::DemoApp::Options& options, const std::function<bool(MainWindowView&)>& write)
{
    demo::DemoApp demo(options);
    QString error;
    if (!demo.launch(&error)) {
        QTextStream(stderr) << "cannot set up the demo machine: " << error << Qt::endl;
        return false;
    }
    demo.measureInsights();
    MainWindowView window(demo.state(), {});
    window.resize(MainWindowView::firstSize);
    return write(window);
}

// The tab in front, the window as tall as the tab's content.
bool writeTab(const ScreenFolder& folder, MainWindowView& window, Tab tab, const QString& screen)
{
    window.tabs()->setCurrentIndex(tab);
    window.resize(MainWindowView::firstSize);
    return folder.write(screen, window);
}

} // namespace

bool mainWindowScreens(const ScreenFolder& folder)
{
    bool ok = withWindow({}, [&](MainWindowView& window) {
        // The window as it first opens, its toolbar showing the dashboard's period.
        window.tabs()->setCurrentIndex(DashboardTab);
        window.show();
        QApplication::processEvents();
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !window.grab().save(&buffer, "PNG"))
            png.clear();
        bool written = folder.write(QStringLiteral("main-window"), png);
        written &= writeTab(folder, window, DashboardTab, QStringLiteral("main-dashboard"));
        written &= writeTab(folder, window, RulesTab, QStringLiteral("main-rules"));
        written &= writeTab(folder, window, InsightsTab, QStringLiteral("main-insights"));
        written &= writeTab(folder, window, GeneralTab, QStringLiteral("main-general"));
        return written;
    });

    demo::DemoApp::Options fresh;
    fresh.historyDays = 0;
    fresh.learned = false;
    ok &= withWindow(fresh, [&](MainWindowView& window) {
        return writeTab(folder, window, DashboardTab, QStringLiteral("main-dashboard-empty"));
    });

    demo::DemoApp::Options missing;
    missing.helper = demo::HelperScene::NotFound;
    ok &= withWindow(missing, [&](MainWindowView& window) {
        return writeTab(folder, window, GeneralTab, QStringLiteral("main-general-helper-missing"));
    });

    demo::DemoApp::Options hardware;
    hardware.helper = demo::HelperScene::Hardware80;
    ok &= withWindow(hardware, [&](MainWindowView& window) {
        return writeTab(folder, window, RulesTab, QStringLiteral("main-rules-hardware-limit"));
    });
    return ok;
}

} // namespace kestrune
