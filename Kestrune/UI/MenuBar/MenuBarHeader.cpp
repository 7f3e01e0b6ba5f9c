#include "Kestrune/UI/MenuBar/MenuBarHeader.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrune {

namespace {

// The large figure: 34 points against the 13-point body text it was drawn beside, semibold.
// There is no rounded face on Linux desktops; the application's face stands in.
QFont figureFont()
{
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 34.0 / 13.0);
    else
        font.setPixelSize(font.pixelSize() * 34 / 13);
    font.setWeight(QFont::DemiBold);
    return font;
}

} // namespace

MenuBarHeader::MenuBarHeader(AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_percent(new QLabel(this))
    , m_status(new QLabel(this))
    , m_right(new QWidget(this))
    , m_power(new SymbolLabel(QString(), QString(), m_right))
    , m_detail(new QLabel(m_right))
{
    m_percent->setObjectName(QStringLiteral("percent"));
    m_percent->setFont(figureFont());
    auto* sign = new QLabel(QStringLiteral("%"), this);
    sign->setObjectName(QStringLiteral("percentSign"));
    Style::apply(sign, Style::Title3, Style::Secondary);
    // The sign sits on the figure's baseline: both are bottom-aligned, and the sign is lifted
    // by the difference of the two fonts' descents.
    sign->setContentsMargins(0, 0, 0, std::max(0, QFontMetrics(m_percent->font()).descent()
                                                        - QFontMetrics(sign->font()).descent()));
    auto* figure = new QHBoxLayout;
    figure->setSpacing(4);
    figure->addWidget(m_percent, 0, Qt::AlignBottom);
    figure->addWidget(sign, 0, Qt::AlignBottom);
    figure->addStretch(1);

    // The controller's own words, never read as markup, on two lines at most.
    m_status->setObjectName(QStringLiteral("status"));
    PlainText::apply(m_status);
    m_status->setWordWrap(true);
    Style::apply(m_status, Style::Caption, Style::Secondary);
    m_status->setMaximumHeight(2 * QFontMetrics(m_status->font()).lineSpacing());

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    left->addLayout(figure);
    left->addWidget(m_status);

    m_power->setObjectName(QStringLiteral("power"));
    m_power->setFont(Style::font(Style::Callout));
    m_detail->setObjectName(QStringLiteral("detail"));
    Style::apply(m_detail, Style::Caption2, Style::Tertiary);
    auto* right = new QVBoxLayout(m_right);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(2);
    right->addWidget(m_power, 0, Qt::AlignRight);
    right->addWidget(m_detail, 0, Qt::AlignRight);
    // The power line's baseline on the figure's: lowered by the difference of their ascents.
    m_right->setContentsMargins(0, std::max(0, QFontMetrics(m_percent->font()).ascent()
                                                   - QFontMetrics(m_power->font()).ascent()), 0, 0);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(left, 1);
    layout->addWidget(m_right, 0, Qt::AlignTop);

    ChargeController& controller = state.controller();
    connect(&state, &AppState::snapshotChanged, this, &MenuBarHeader::refresh);
    connect(&controller, &ChargeController::statusTextChanged, this, &MenuBarHeader::refresh);
    connect(&controller, &ChargeController::isHoldingChanged, this, &MenuBarHeader::refresh);
    connect(&state.powerSaver(), &PowerSaverEngine::estimatedRuntimeHoursChanged, this, &MenuBarHeader::refresh);
    refresh();
}

QString MenuBarHeader::powerText(const BatterySnapshot& snapshot, bool isHolding)
{
    if (snapshot.isCharging)
        return Localized::printf(QStringLiteral("+%.1fW"), {snapshot.voltageV * snapshot.amperageA});
    return isHolding ? Localized::text("停止中") : Localized::text("給電中");
}

void MenuBarHeader::refresh()
{
    const std::optional<BatterySnapshot>& snapshot = m_state.snapshot();
    m_percent->setText(QString::number(snapshot ? snapshot->socPercent : 0));
    m_status->setText(m_state.controller().statusText());

    m_right->setVisible(snapshot.has_value());
    if (!snapshot)
        return;
    if (snapshot->externalConnected) {
        m_power->setSymbol(QStringLiteral("bolt.fill"));
        m_power->setText(powerText(*snapshot, m_state.controller().isHolding()));
        if (snapshot->isCharging)
            Style::setColor(m_power, SystemColors::green());
        else
            Style::setForeground(m_power, Style::Secondary);
        m_detail->setText(snapshot->adapterWatts ? Localized::fmt("アダプタ %lldW", qint64(*snapshot->adapterWatts))
                                                 : QString());
        m_detail->setToolTip(QString());
    } else {
        m_power->setSymbol(QStringLiteral("battery.100percent"));
        m_power->setText(Localized::printf(QStringLiteral("%.1fW"), {-(snapshot->voltageV * snapshot->amperageA)}));
        Style::setColor(m_power, SystemColors::orange());
        const std::optional<double> estimate = m_state.powerSaver().estimatedRuntimeHours();
        const std::optional<double> hours = estimate ? estimate
            : snapshot->timeToEmptyMinutes       ? std::optional<double>(*snapshot->timeToEmptyMinutes / 60.0)
                                                 : std::nullopt;
        m_detail->setText(hours ? MenuBarView::shortHours(*hours) : QString());
        m_detail->setToolTip(hours ? Localized::text("現在の消費ペースでの推定駆動可能時間") : QString());
    }
    m_detail->setVisible(!m_detail->text().isEmpty());
}

} // namespace kestrune
