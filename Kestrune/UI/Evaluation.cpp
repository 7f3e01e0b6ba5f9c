#include "Kestrune/UI/Evaluation.h"

#include "Kestrune/App/AppState.h"

#include <QTimer>

namespace kestrune {

void Evaluation::start(AppState& state)
{
    QTimer::singleShot(0, &state, [&state] { state.evaluateNow(); });
}

} // namespace kestrune
