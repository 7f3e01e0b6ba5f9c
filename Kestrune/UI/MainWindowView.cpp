#include "Kestrune/UI/MainWindowView.h"

#include "Foundation/Localized.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/UI/DashboardView.h"
#include "Kestrune/UI/InsightsView.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "Kestrune/UI/RulesView.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Platform/ServiceManagement/LoginItem.h"
#include "Platform/Symbols/SymbolIcon.h"

#include <QHBoxLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrune {

MainWindowView::MainWindowView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : QWidget(parent)
    , m_tabs(new QTabWidget(this))
    , m_dashboard(new DashboardView(state))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Kestrune"));
    setMinimumSize(smallestSize);
    resize(firstSize);

    m_tabs->setDocumentMode(true);
    addTab(new PowerSaverView(state, std::move(openWindow)), QT_TRANSLATE_NOOP("Kestrune", "AI省電力"),
        QStringLiteral("leaf"));
    addTab(m_dashboard, QT_TRANSLATE_NOOP("Kestrune", "ダッシュボード"),
        QStringLiteral("gauge.with.dots.needle.50percent"));
    addTab(new RulesView(state), QT_TRANSLATE_NOOP("Kestrune", "充電ルール"),
        QStringLiteral("slider.horizontal.3"));
    addTab(new InsightsView(state), QT_TRANSLATE_NOOP("Kestrune", "AIインサイト"), QStringLiteral("brain"));
    addTab(new GeneralView(state, generalSeeds(state)), QT_TRANSLATE_NOOP("Kestrune", "一般"),
        QStringLiteral("gearshape"));
    m_tabs->setCurrentIndex(0);

    // The window's toolbar: the period picker, while the dashboard is in front.
    auto* toolbar = new QWidget;
    toolbar->setObjectName(QStringLiteral("toolbar"));
    auto* toolbarLayout = new QHBoxLayout(toolbar);
    toolbarLayout->setContentsMargins(8, 4, 8, 4);
    toolbarLayout->addWidget(m_dashboard->periodPicker());
    m_dashboard->periodPicker()->show();
    m_tabs->setCornerWidget(toolbar, Qt::TopRightCorner);
    const auto followTab = [this, toolbar] { toolbar->setVisible(m_tabs->currentWidget() == m_dashboard); };
    connect(m_tabs, &QTabWidget::currentChanged, this, followTab);
    followTab();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}

GeneralView::Seeds MainWindowView::generalSeeds(AppState& state)
{
    GeneralView::Seeds seeds;
    seeds.launchAtLogin = state.loginItem().status() == ServiceManagement::Status::Enabled;
    const std::optional<QString> stored
        = state.defaults().string(QString::fromLatin1(AppLanguage::storedKey));
    if (stored)
        seeds.language = AppLanguage::fromRaw(*stored).value_or(AppLanguage::system);
    return seeds;
}

void MainWindowView::addTab(QWidget* view, const char* title, const QString& symbol)
{
    const int index = m_tabs->addTab(view, SymbolIcon::icon(symbol), Localized::text(title));
    m_tabs->tabBar()->setTabData(index, symbol);
}

} // namespace kestrune
