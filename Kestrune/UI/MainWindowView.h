#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QWidget>

namespace kestrune {

class AppState;

// Placeholder until its own work lands.
class MainWindowView : public QWidget {
    Q_OBJECT
public:
    explicit MainWindowView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);

private:
    AppState& m_state;
    OpenWindow m_openWindow;
};

} // namespace kestrune
