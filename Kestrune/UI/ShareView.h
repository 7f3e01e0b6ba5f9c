#pragma once

#include "Kestrune/UI/OpenWindow.h"

#include <QWidget>

namespace kestrune {

class AppState;

// Placeholder until its own work lands.
class ShareView : public QWidget {
    Q_OBJECT
public:
    explicit ShareView(AppState& state, QWidget* parent = nullptr);

private:
    AppState& m_state;
};

} // namespace kestrune
