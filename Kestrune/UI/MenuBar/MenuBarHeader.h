#pragma once

#include "Kestrune/Battery/BatterySnapshot.h"

#include <QWidget>

class QLabel;

namespace kestrune {

class AppState;
class SymbolLabel;

// The popover's header: the charge in large figures with the charge controller's status
// under it, and on the right the power flowing in or out with the adapter's rating or the
// time left on battery.
class MenuBarHeader : public QWidget {
    Q_OBJECT

public:
    explicit MenuBarHeader(AppState& state, QWidget* parent = nullptr);

    // The power line on external power: "+23.4W" while charging, else whether the controller
    // holds the charge ("停止中") or the adapter just feeds the machine ("給電中").
    static QString powerText(const BatterySnapshot& snapshot, bool isHolding);

private:
    void refresh();

    AppState& m_state;
    QLabel* m_percent;
    QLabel* m_status;
    QWidget* m_right;
    SymbolLabel* m_power;
    QLabel* m_detail;
};

} // namespace kestrune
