#include "Kestrune/UI/GeneralView.h"

#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"

#include <QPointer>
#include <QTimer>

namespace kestrune {

GeneralView::GeneralView(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state)
{
}

namespace {

// A coroutine of its own rather than a lambda's body: a lambda's captures live in the lambda,
// which is gone once the timer has called it, while a coroutine's parameters live in its frame.
QCoro::Task<> connectThenEvaluate(QPointer<AppState> target)
{
    co_await target->helper().ensureConnected();
    if (target)
        co_await target->evaluateNow();
}

} // namespace

void GeneralView::reconnectAndEvaluate(AppState& state)
{
    QTimer::singleShot(0, &state, [target = QPointer<AppState>(&state)] { connectThenEvaluate(target); });
}

bool GeneralView::openLoginItemsSettings(AppState& state)
{
    return state.services().openSystemSettingsLoginItems();
}

} // namespace kestrune
