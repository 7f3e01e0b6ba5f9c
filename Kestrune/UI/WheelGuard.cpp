#include "Kestrune/UI/WheelGuard.h"

#include <QEvent>
#include <QWidget>

namespace kestrune {

WheelGuard::WheelGuard(QWidget* control)
    : QObject(control)
{
}

void WheelGuard::install(QWidget* control)
{
    // A drop-down's own policy would let the turn that is to scroll past it focus it first.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
        return false;
    // Kept from the control and left unaccepted, the turn goes on to the control's parents.
    event->ignore();
    return true;
}

} // namespace kestrune
