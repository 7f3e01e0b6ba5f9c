#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kestrune {

class AppState;
class SegmentedPicker;
class SymbolLabel;

// The popover's charge control: the switch, the limit (a slider in steps of 5 %, or on a
// machine that can only switch its firmware's own 80 % limit, a choice of 80 % and 100 %),
// and a one-off charge to 100 %.
//
// Only the user's input writes a setting: showing a stored limit of 83 leaves it at 83,
// though the slider can only stand on a multiple of 5.
class ChargeLimitSection : public QWidget {
    Q_OBJECT

public:
    explicit ChargeLimitSection(AppState& state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState& m_state;
    QCheckBox* m_switch;
    QWidget* m_sliderRow;
    QSlider* m_slider;
    QLabel* m_limitText;
    QWidget* m_pickerRow;
    SegmentedPicker* m_picker;
    QWidget* m_fullChargeRow;
    QPushButton* m_topUp;
    QPushButton* m_cancelTopUp;
    SymbolLabel* m_toppingUp;
};

} // namespace kestrune
