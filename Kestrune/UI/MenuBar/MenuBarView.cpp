#include "Kestrune/UI/MenuBar/MenuBarView.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/Evaluation.h"
#include "Kestrune/UI/MenuBar/ChargeLimitSection.h"
#include "Kestrune/UI/MenuBar/HealthLine.h"
#include "Kestrune/UI/MenuBar/HelperBanner.h"
#include "Kestrune/UI/MenuBar/MenuBarFooter.h"
#include "Kestrune/UI/MenuBar/MenuBarHeader.h"
#include "Kestrune/UI/MenuBar/PowerSaverSection.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/WhileShown.h"

#include <QFrame>
#include <QVBoxLayout>

#include <cmath>

namespace kestrune {

namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

MenuBarView::MenuBarView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : QWidget(parent)
    , m_bannerGroup(new QWidget(this))
{
    setObjectName(QStringLiteral("menuBarView"));

    // The banner and the divider under it come and go together.
    m_bannerGroup->setObjectName(QStringLiteral("helperBannerGroup"));
    auto* bannerLayout = new QVBoxLayout(m_bannerGroup);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    bannerLayout->setSpacing(12);
    bannerLayout->addWidget(new HelperBanner(state, m_bannerGroup));
    bannerLayout->addWidget(divider(m_bannerGroup));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(12);
    layout->addWidget(new MenuBarHeader(state, this));
    layout->addWidget(divider(this));
    layout->addWidget(m_bannerGroup);
    layout->addWidget(new PowerSaverSection(state, openWindow, this));
    layout->addWidget(divider(this));
    layout->addWidget(new ChargeLimitSection(state, this));
    layout->addWidget(divider(this));
    layout->addWidget(new HealthLine(state, this));
    layout->addWidget(divider(this));
    layout->addWidget(new MenuBarFooter(state, std::move(openWindow), this));
    setFixedWidth(fixedWidth);

    HelperClient& helper = state.helper();
    m_bannerGroup->setVisible(!helper.isConnected());
    connect(&helper, &HelperClient::isConnectedChanged, m_bannerGroup, [this](bool connected) {
        m_bannerGroup->setVisible(!connected);
    });

    // A changed setting reaches the engines at once; each change starts its own evaluation.
    auto* whileShown = new WhileShown(this);
    const auto evaluate = [&state] { Evaluation::start(state); };
    ChargingSettings* settings = &state.settings();
    whileShown->connect(settings, &ChargingSettings::chargeLimitChanged, evaluate);
    whileShown->connect(settings, &ChargingSettings::controlEnabledChanged, evaluate);
    whileShown->connect(settings, &ChargingSettings::powerLevelAutoChanged, evaluate);
    whileShown->connect(settings, &ChargingSettings::manualPowerLevelChanged, evaluate);
}

QString MenuBarView::shortHours(double hours)
{
    if (!std::isfinite(hours) || hours < 0)
        return {};
    // Beyond any battery's reach, but kept where whole numbers stay exact.
    hours = std::min(hours, 1e9);
    const auto whole = qint64(hours);
    const auto minutes = qint64((hours - double(whole)) * 60);
    if (whole >= 1)
        return Localized::fmt("残り約%lld時間%lld分", whole, minutes);
    return Localized::fmt("残り約%lld分", minutes);
}

QStringList MenuBarView::topDrainerNames(const QList<ProcessPowerSample>& latestProcesses)
{
    QStringList names;
    for (const ProcessPowerSample& sample : latestProcesses.mid(0, 3))
        names << sample.name;
    return names;
}

void MenuBarView::makeSmall(QWidget* control)
{
    control->setFont(Style::font(Style::Callout));
}

} // namespace kestrune
