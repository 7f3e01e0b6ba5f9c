#include "Kestrune/UI/MenuBar/HelperBanner.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/UI/GeneralView.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrune {

HelperBanner::HelperBanner(AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_status(new QLabel(this))
    , m_enable(new QPushButton(Localized::text("ヘルパーを有効化"), this))
    , m_approvedReconnect(new QPushButton(Localized::text("許可したので再接続"), this))
    , m_reconnect(new QPushButton(Localized::text("再接続"), this))
    , m_repair(new QPushButton(Localized::text("修復"), this))
{
    auto* warning = SymbolLabel::warning(Localized::text("充電制御にはヘルパーの有効化が必要です"), this);

    m_status->setObjectName(QStringLiteral("helperStatus"));
    PlainText::apply(m_status);
    Style::apply(m_status, Style::Caption2, Style::Secondary);
    m_enable->setObjectName(QStringLiteral("enableHelper"));
    m_approvedReconnect->setObjectName(QStringLiteral("approvedReconnect"));
    m_reconnect->setObjectName(QStringLiteral("reconnect"));
    m_repair->setObjectName(QStringLiteral("repair"));

    auto* row = new QHBoxLayout;
    row->addWidget(m_status);
    row->addStretch(1);
    for (QPushButton* button : {m_reconnect, m_repair, m_approvedReconnect, m_enable}) {
        MenuBarView::makeSmall(button);
        button->setAutoDefault(false);
        row->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(warning);
    layout->addLayout(row);

    connect(m_enable, &QPushButton::clicked, &state, &AppState::registerHelper);
    auto reconnect = [this] { GeneralView::reconnectAndEvaluate(m_state); };
    connect(m_approvedReconnect, &QPushButton::clicked, this, reconnect);
    connect(m_reconnect, &QPushButton::clicked, this, reconnect);
    connect(m_repair, &QPushButton::clicked, this, [this] { GeneralView::repairHelper(m_state); });

    HelperClient& helper = state.helper();
    connect(&helper, &HelperClient::statusChanged, this, &HelperBanner::refresh);
    connect(&helper, &HelperClient::isConnectedChanged, this, &HelperBanner::refresh);
    refresh();
}

void HelperBanner::refresh()
{
    const HelperClient& helper = m_state.helper();
    using Status = HelperClient::Status;
    const Status status = helper.status();
    m_status->setText(Localized::text("状態: ") + HelperClient::label(status));
    m_reconnect->setVisible(status == Status::Enabled);
    m_repair->setVisible(status == Status::Enabled && !helper.isConnected());
    m_approvedReconnect->setVisible(status == Status::RequiresApproval);
    m_enable->setVisible(status == Status::Unknown || status == Status::NotRegistered || status == Status::NotFound);
}

void HelperBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = SystemColors::orange();
    fill.setAlphaF(0.1);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), 8, 8);
    painter.fillPath(box, fill);
}

} // namespace kestrune
