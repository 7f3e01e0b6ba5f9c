#include "Kestrune/UI/ShareView.h"

namespace kestrune {

ShareView::ShareView(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state)
{
}

} // namespace kestrune
