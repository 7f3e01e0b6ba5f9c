#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QWidget>

namespace kestrune {

class AppState;

// Placeholder until its own work lands.
class PowerSaverView : public QWidget {
    Q_OBJECT
public:
    explicit PowerSaverView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);

private:
    AppState& m_state;
    OpenWindow m_openWindow;
};

} // namespace kestrune
