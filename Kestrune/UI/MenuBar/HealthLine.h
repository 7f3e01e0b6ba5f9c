#pragma once

#include <QWidget>

namespace kestrune {

class AppState;
class SymbolLabel;

// One row of the battery's health: its full capacity against its design, its charge cycles
// and its temperature, orange from the high-temperature threshold up. Empty before the first
// reading.
class HealthLine : public QWidget {
    Q_OBJECT

public:
    explicit HealthLine(AppState& state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState& m_state;
    SymbolLabel* m_health;
    SymbolLabel* m_cycles;
    SymbolLabel* m_temperature;
};

} // namespace kestrune
