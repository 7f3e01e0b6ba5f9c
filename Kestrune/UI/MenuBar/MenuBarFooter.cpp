#include "Kestrune/UI/MenuBar/MenuBarFooter.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/App/UpdaterManager.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/Style.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>

namespace kestrune {

MenuBarFooter::MenuBarFooter(AppState& state, OpenWindow openWindowAndActivate, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_update(new QToolButton(this))
{
    auto* dashboard = new QPushButton(Localized::text("ダッシュボードを開く"), this);
    dashboard->setObjectName(QStringLiteral("dashboardButton"));
    m_update->setObjectName(QStringLiteral("updateButton"));
    m_update->setToolTip(Localized::text("アップデートを確認"));
    m_update->setAccessibleName(Localized::text("アップデートを確認"));
    m_update->setAutoRaise(true);
    auto* quit = new QPushButton(Localized::text("終了"), this);
    quit->setObjectName(QStringLiteral("quitButton"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* button : {dashboard, quit}) {
        MenuBarView::makeSmall(button);
        button->setAutoDefault(false);
    }
    MenuBarView::makeSmall(m_update);
    const int side = QFontMetrics(m_update->font()).height();
    m_update->setIcon(Style::symbol(QStringLiteral("arrow.down.circle"), palette().color(QPalette::ButtonText), side,
                                    devicePixelRatioF()));
    m_update->setIconSize(QSize(side, side));
    layout->addWidget(dashboard);
    layout->addStretch(1);
    layout->addWidget(m_update);
    layout->addWidget(quit);

    connect(dashboard, &QPushButton::clicked, this,
            [open = std::move(openWindowAndActivate)] { open(QStringLiteral("main")); });
    connect(m_update, &QToolButton::clicked, this, [this] {
        if (Updater* controller = m_state.updater().controller())
            controller->checkForUpdates();
    });
    // The application's quit runs the clean-up before the program ends.
    connect(quit, &QPushButton::clicked, qApp, &QCoreApplication::quit);

    UpdaterManager& updater = state.updater();
    m_update->setEnabled(updater.canCheckForUpdates());
    connect(&updater, &UpdaterManager::canCheckForUpdatesChanged, m_update, &QWidget::setEnabled);
}

} // namespace kestrune
