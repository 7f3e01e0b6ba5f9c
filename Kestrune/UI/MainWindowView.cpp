#include "Kestrune/UI/MainWindowView.h"

namespace kestrune {

MainWindowView::MainWindowView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : QWidget(parent), m_state(state), m_openWindow(std::move(openWindow))
{
}

} // namespace kestrune
