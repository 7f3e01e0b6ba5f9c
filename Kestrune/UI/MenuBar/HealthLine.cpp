#include "Kestrune/UI/MenuBar/HealthLine.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Storage/BatterySample.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QHBoxLayout>

namespace kestrune {

HealthLine::HealthLine(AppState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_health(new SymbolLabel(QStringLiteral("heart"), QString(), this))
    , m_cycles(new SymbolLabel(QStringLiteral("arrow.triangle.2.circlepath"), QString(), this))
    , m_temperature(new SymbolLabel(QStringLiteral("thermometer.medium"), QString(), this))
{
    m_health->setObjectName(QStringLiteral("health"));
    m_health->setToolTip(Localized::text("バッテリー最大容量(設計容量比)"));
    m_cycles->setObjectName(QStringLiteral("cycles"));
    m_cycles->setToolTip(Localized::text("充放電サイクル数"));
    m_temperature->setObjectName(QStringLiteral("temperature"));
    m_temperature->setToolTip(Localized::text("バッテリー温度"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    for (SymbolLabel* label : {m_health, m_cycles, m_temperature}) {
        Style::apply(label, Style::Caption, Style::Secondary);
        layout->addWidget(label);
    }
    layout->addStretch(1);

    connect(&state, &AppState::snapshotChanged, this, &HealthLine::refresh);
    connect(&state.settings(), &ChargingSettings::highTempThresholdChanged, this, &HealthLine::refresh);
    refresh();
}

void HealthLine::refresh()
{
    const std::optional<BatterySnapshot>& snapshot = m_state.snapshot();
    for (SymbolLabel* label : {m_health, m_cycles, m_temperature})
        label->setVisible(snapshot.has_value());
    if (!snapshot)
        return;
    const std::optional<double> health
        = BatterySample::healthPercentOf(snapshot->designCapacitymAh, snapshot->nominalCapacitymAh);
    m_health->setText(health ? Localized::printf(QStringLiteral("%.0f%%"), {*health}) : QStringLiteral("-"));
    m_cycles->setText(Localized::fmt("%lld回", qint64(snapshot->cycleCount)));
    m_temperature->setText(Localized::printf(QStringLiteral("%.1f°C"), {snapshot->temperatureC}));
    // The same threshold as the high-temperature notification.
    if (snapshot->temperatureC >= m_state.settings().highTempThreshold())
        Style::setColor(m_temperature, SystemColors::orange());
    else
        Style::setForeground(m_temperature, Style::Primary);
}

} // namespace kestrune
