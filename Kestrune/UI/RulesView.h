#pragma once

#include "Kestrune/UI/GroupedForm.h"
#include "Shared/ChargingCapabilities.h"

#include <optional>

class QComboBox;
class QLabel;
class QSlider;

namespace kestrune {

class AppState;
class Stepper;

// The charge rules: charge limiting on or off, the limit and how far below it charging
// resumes, and what the charge controller does now. Every change of the three settings, from
// here or elsewhere, while the tab is shown starts an evaluation.
//
// Where the helper found no key that takes a limit but the firmware's own 80 % limit, only
// 80 % or 100 % can be chosen.
class RulesView : public GroupedForm {
    Q_OBJECT

public:
    // The limit's slider moves in steps of 5 % from 50 % to 100 %, here and in the popover.
    static constexpr int limitStep = 5;
    static constexpr int lowestLimit = 50;
    static constexpr int highestLimit = 100;

    explicit RulesView(AppState& state, QWidget* parent = nullptr);

    // Whether the probe result leaves only the firmware's 80 % limit to choose.
    static bool offersOnlyHardwareLimit(const std::optional<ChargingCapabilities>& capabilities);

private:
    void showSettings();
    void showGroup();
    void showStatus();

    AppState& m_state;
    QWidget* m_sliderRow;
    QSlider* m_slider;
    QLabel* m_limitText;
    Stepper* m_resume;
    QWidget* m_resumeRow;
    QLabel* m_example;
    QWidget* m_pickerRow;
    QComboBox* m_picker;
    QLabel* m_hardwareNote;
    QLabel* m_statusText;
    QLabel* m_effectiveLimit;
    QWidget* m_warning;
};

} // namespace kestrune
