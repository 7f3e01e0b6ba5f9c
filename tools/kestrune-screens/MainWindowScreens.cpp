#include "tools/kestrune-screens/MainWindowScreens.h"

#include "Kestrune/UI/MainWindowView.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QApplication>
#include <QBuffer>
#include <QTabWidget>
#include <QTextStream>

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

    // The tab at its full length.
    bool write(const ScreenFolder& folder, Tab tab, const QString& screen)
    {
        if (!m_ready)
            return false;
        MainWindowView window(m_demo.state(), {});
        window.resize(MainWindowView::firstSize);
        window.tabs()->setCurrentIndex(tab);
        return folder.write(screen, window);
    }

    // The window at the size it first opens with.
    bool writeAsOpened(const ScreenFolder& folder, Tab tab, const QString& screen)
    {
        if (!m_ready)
            return false;
        MainWindowView window(m_demo.state(), {});
        window.resize(MainWindowView::firstSize);
        window.tabs()->setCurrentIndex(tab);
        window.show();
        demo::DemoApp::settle();
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !window.grab().save(&buffer, "PNG"))
            png.clear();
        return folder.write(screen, png);
    }

private:
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
        ok &= month.write(folder, RulesTab, QStringLiteral("main-rules"));
        ok &= month.write(folder, InsightsTab, QStringLiteral("main-insights"));
        ok &= month.write(folder, GeneralTab, QStringLiteral("main-general"));
    }
    {
        demo::DemoApp::Options fresh;
        fresh.historyDays = 0;
        fresh.learned = false;
        ok &= DemoWindows(fresh).write(folder, DashboardTab, QStringLiteral("main-dashboard-empty"));
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
