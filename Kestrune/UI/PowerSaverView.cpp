#include "Kestrune/UI/PowerSaverView.h"

namespace kestrune {

PowerSaverView::PowerSaverView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : QWidget(parent), m_state(state), m_openWindow(std::move(openWindow))
{
}

} // namespace kestrune
