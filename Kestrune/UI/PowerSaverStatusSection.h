#pragma once

#include <QObject>

class QCheckBox;
class QLabel;
class QSlider;
class QWidget;

namespace kestrune {

class AppState;
class CapsuleLabel;
class FormSection;
class SegmentedPicker;

// The power saver tab's first section: the level in force and the autopilot's status, today's
// savings, the runtime estimate against the target, the watts still to save, and the level
// controls (automatic or manual level, the manual level itself, the boost until AC).
class PowerSaverStatusSection : public QObject {
    Q_OBJECT

public:
    // Fills `section`.
    PowerSaverStatusSection(AppState& state, FormSection* section, QObject* parent = nullptr);

    // "L2 強化節電" for a stored manual level; a level without a title shows its number alone.
    static QString manualLevelText(int level);

private:
    void showLevel();
    void showToday();
    void showRuntime();
    void showTarget();
    void showDeficit();
    void showLevelControls();
    void showManualLevel();
    void showBoost();

    AppState& m_state;
    CapsuleLabel* m_badge;
    QLabel* m_statusText;
    QLabel* m_today = nullptr;
    QLabel* m_runtime = nullptr;
    QWidget* m_runtimeRow = nullptr;
    QLabel* m_target = nullptr;
    QWidget* m_targetRow = nullptr;
    QLabel* m_deficit = nullptr;
    QWidget* m_deficitRow = nullptr;
    SegmentedPicker* m_levelMode;
    QWidget* m_manualRow;
    QSlider* m_manualLevel;
    QLabel* m_manualLevelText;
    QCheckBox* m_boost;
};

} // namespace kestrune
