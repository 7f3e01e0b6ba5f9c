#pragma once

#include "Kestrune/UI/PowerSaverRowGroup.h"

#include <QObject>

#include <memory>

class QLabel;
class QSlider;
class QWidget;

namespace kestrune {

class AppState;
class FormSection;
class SegmentedPicker;

// The power saver tab's learning report (what each action saves on this machine and how sure
// that is, the actions the user keeps undoing, the last seven days), the autopilot's settings
// with the battery-life target, and the background services it may pause.
class PowerSaverLearningSections : public QObject {
    Q_OBJECT

public:
    // The most learned effects and dislikes listed.
    static constexpr int shownEffects = 10;
    static constexpr int shownDislikes = 5;

    PowerSaverLearningSections(AppState& state, FormSection* learning, FormSection* settings, FormSection* services,
                               QObject* parent = nullptr);
    ~PowerSaverLearningSections() override;

    // Takes the figures that depend on the time afresh: the dislikes fade by the day, and the
    // seven days move at midnight.
    void refresh();

private:
    void fillLearning(FormSection* section);
    void fillSettings(FormSection* section);
    void fillServices(FormSection* section);

    void showEffects();
    void showDislikes();
    void showWeek();
    void showTargetControls();
    void showTargetHours();

    AppState& m_state;

    std::unique_ptr<PowerSaverRowGroup> m_effects;
    QWidget* m_introRow = nullptr;
    QWidget* m_dislikesRow = nullptr;
    QLabel* m_dislikes = nullptr;
    QLabel* m_week = nullptr;

    SegmentedPicker* m_targetMode = nullptr;
    QWidget* m_targetRow = nullptr;
    QSlider* m_targetHours = nullptr;
    QLabel* m_targetHoursText = nullptr;
};

} // namespace kestrune
