#pragma once

#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/UI/OpenWindow.h"

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QString>

#include <optional>

namespace kestrune {

class AppState;

// What the tray item shows: the battery's symbol and, while the user wants it, the charge in
// per cent. Tray icons are square everywhere, so both are drawn into one square picture, the
// text across its lower part; the tooltip carries the same text.
//
// The label lives as long as the tray item, so it also turns the application's window
// requests (AppState's two ticks) into opened windows: a request is consumed by copying the
// tick, so any number of requests that arrive together open the window once.
class MenuBarLabel : public QObject {
    Q_OBJECT

public:
    MenuBarLabel(AppState& state, OpenWindow openWindow, QObject* parent = nullptr);

    // The symbol for a reading: on external power the state of charging decides (a forced
    // discharge before charging, charging before holding), on battery the charge's band.
    static QString symbolName(const std::optional<BatterySnapshot>& snapshot, bool isDischarging, bool isHolding);
    QString symbolName() const { return m_symbol; }
    // "80%" while the setting asks for it and a reading exists, else empty.
    QString text() const { return m_text; }
    QString toolTip() const;

    // The tray's icon: the symbol and the text, drawn at the size a tray asks for when it
    // asks. The same icon until the symbol or the text changes.
    QIcon icon() const { return m_icon; }
    // One square of `side` logical pixels at `devicePixelRatio`. Light strokes in a dark rim,
    // so that the item reads on light and dark panels alike.
    static QPixmap draw(const QString& symbol, const QString& text, int side, qreal devicePixelRatio = 1.0);

    // The label is on screen for the first time: a window request made before (the launch's)
    // is handled now, and from now on every new request is. Later calls do nothing.
    void appear();

    int handledTick() const { return m_handledTick; }
    int handledShareTick() const { return m_handledShareTick; }

signals:
    // The symbol or the text changed: the icon is to be drawn again.
    void changed();

private:
    void refresh();
    void handleWindowRequest();
    void handleShareRequest();

    AppState& m_state;
    OpenWindow m_openWindow;
    int m_handledTick = 0;
    int m_handledShareTick = 0;
    bool m_appeared = false;
    QString m_symbol;
    QString m_text;
    QIcon m_icon;
};

} // namespace kestrune
