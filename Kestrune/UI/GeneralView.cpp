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

void GeneralView::reconnectAndEvaluate(AppState& state)
{
    QTimer::singleShot(0, &state, [target = QPointer<AppState>(&state)]() -> QCoro::Task<> {
        co_await target->helper().ensureConnected();
        if (target)
            co_await target->evaluateNow();
    });
}

bool GeneralView::openLoginItemsSettings(AppState& state)
{
    return state.services().openSystemSettingsLoginItems();
}

} // namespace kestrune
