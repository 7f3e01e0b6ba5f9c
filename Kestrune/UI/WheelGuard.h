#pragma once

#include <QObject>

class QWidget;

namespace kestrune {

// Lets a control that changes a setting (a slider, a drop-down, a spin box) take the mouse
// wheel only once the user has focused it, by a click or the keyboard. Until then the wheel
// passes to what holds it: a form scrolled past the control scrolls on and the setting stays
// as it was, and in a window that does not scroll the turn changes nothing.
class WheelGuard : public QObject {
    Q_OBJECT

public:
    // The guard lives as long as `control`. The wheel no longer gives the control focus.
    static void install(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QWidget* control);
};

} // namespace kestrune
