#pragma once

#include "Kestrune/UI/OpenWindow.h"
#include "Shared/ProcessPowerSample.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace kestrune {

class AppState;
class HelperBanner;

// The tray item's popover: the header (charge, the controller's status, power and time
// left), the helper banner while the helper is not connected, the power-saver section, the
// charge-limit section, the battery's health and the footer, one under the other in a column
// of fixed width.
//
// While it is shown, every change of the charge limit, of charge control, or of the level
// mode or manual level starts one evaluation, so a change reaches the charge controller and
// the power saver at once rather than at the next battery reading.
class MenuBarView : public QWidget {
    Q_OBJECT

public:
    static constexpr int fixedWidth = 320;
    static constexpr int padding = 14;

    // `openWindow` opens a window and brings it, and the application, to the front.
    MenuBarView(AppState& state, OpenWindow openWindow, QWidget* parent = nullptr);

    // "残り約2時間45分", or minutes alone below an hour; hours and minutes are truncated.
    // Empty for a figure that is not a finite, non-negative number of hours.
    static QString shortHours(double hours);
    // The names of the first three processes of the latest sample (the biggest consumers).
    static QStringList topDrainerNames(const QList<ProcessPowerSample>& latestProcesses);

    // Controls in the small size the popover's rows use.
    static void makeSmall(QWidget* control);

private:
    QWidget* m_bannerGroup;
};

} // namespace kestrune
