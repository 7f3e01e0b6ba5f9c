#include "Kestrune/UI/GeneralView.h"

#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"

#include <QPointer>
#include <QTimer>

namespace kestrune {

namespace {

// The task keeps its state in its parameters: a lambda's captures would be gone once the
// timer that ran it has let go of it, while the task still waits for the helper.
QCoro::Task<> reconnectThenEvaluate(QPointer<AppState> state)
{
    co_await state->helper().ensureConnected();
    if (state)
        co_await state->evaluateNow();
}

} // namespace

GeneralView::GeneralView(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state)
{
}

void GeneralView::reconnectAndEvaluate(AppState& state)
{
    QTimer::singleShot(0, &state, [target = QPointer<AppState>(&state)] { reconnectThenEvaluate(target); });
}

bool GeneralView::openLoginItemsSettings(AppState& state)
{
    return state.services().openSystemSettingsLoginItems();
}

} // namespace kestrune
