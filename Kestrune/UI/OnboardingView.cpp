#include "Kestrune/UI/OnboardingView.h"

namespace kestrune {

OnboardingView::OnboardingView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : QDialog(parent), m_state(state), m_openWindow(std::move(openWindow))
{
}

} // namespace kestrune
