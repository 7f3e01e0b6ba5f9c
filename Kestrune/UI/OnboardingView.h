#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QDialog>

namespace kestrune {

class AppState;

// Placeholder until its own work lands.
class OnboardingView : public QDialog {
    Q_OBJECT
public:
    explicit OnboardingView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);

private:
    AppState& m_state;
    OpenWindow m_openWindow;
};

} // namespace kestrune
