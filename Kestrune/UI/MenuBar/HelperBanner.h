#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace kestrune {

class AppState;

// The orange box at the top of the popover while the helper is not connected: why charge
// control waits, the helper's registration status, and the way on that fits the status
// (enable it, reconnect after allowing it, reconnect, or repair it).
//
// Every button starts its own attempt, also while an earlier one still runs: the helper
// client shares one connection attempt between callers, and a later repair registers afresh
// and probes last, so the state it leaves is sound.
class HelperBanner : public QWidget {
    Q_OBJECT

public:
    explicit HelperBanner(AppState& state, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppState& m_state;
    QLabel* m_status;
    QPushButton* m_enable;
    QPushButton* m_approvedReconnect;
    QPushButton* m_reconnect;
    QPushButton* m_repair;
};

} // namespace kestrune
