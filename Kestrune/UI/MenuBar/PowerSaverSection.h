#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QSlider;
class QToolButton;

namespace kestrune {

class AppState;
class CapsuleLabel;
class SegmentedPicker;
class SymbolLabel;

// The popover's power-saving autopilot: its switch with the level it runs at and a mark while
// an AI strategy is in force; while it is on, the choice of automatic or manual level, today's
// gain with a way to share it, and on battery the processes slowed down and the biggest
// consumers.
//
// Switching the autopilot is only saved: it takes effect at the next battery reading.
class PowerSaverSection : public QWidget {
    Q_OBJECT

public:
    PowerSaverSection(AppState& state, OpenWindow openWindowAndActivate, QWidget* parent = nullptr);

    // "L2 標準節電". A level outside 0 to 3 shows as the nearest of them.
    static QString levelText(int level);
    // Red at level 3, orange at 2, green otherwise.
    static QColor levelColor(int level);

    // The manual-level slider writes the level rounded to the nearest whole number.
    void setManualLevelFromSlider(double value);

private:
    void refresh();

    AppState& m_state;
    QCheckBox* m_switch;
    CapsuleLabel* m_badge;
    QLabel* m_strategyMark;
    QWidget* m_block;
    SegmentedPicker* m_modePicker;
    QLabel* m_manualText;
    QWidget* m_manualRow;
    QSlider* m_manualSlider;
    QWidget* m_gainRow;
    SymbolLabel* m_gain;
    QToolButton* m_share;
    SymbolLabel* m_throttled;
    QLabel* m_drainers;
};

} // namespace kestrune
