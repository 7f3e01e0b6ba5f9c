#include "Kestrune/UI/MenuBar/MenuBarExtra.h"

#include "Kestrune/UI/MenuBar/MenuBarLabel.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"
#include "Kestrune/UI/MenuBar/NoTrayWindow.h"
#include "Kestrune/UI/MenuBar/PopoverPlacement.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace kestrune {

MenuBarExtra::MenuBarExtra(AppState& state, OpenWindow openWindow, bool trayAvailable, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_openWindow(std::move(openWindow))
    , m_label(new MenuBarLabel(state, m_openWindow, this))
{
    if (trayAvailable) {
        m_tray = new QSystemTrayIcon(this);
        auto draw = [this] {
            m_tray->setIcon(m_label->icon());
            m_tray->setToolTip(m_label->toolTip());
        };
        draw();
        connect(m_label, &MenuBarLabel::changed, this, draw);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                trayClicked();
        });
    } else {
        m_window = new NoTrayWindow(state, *m_label, m_openWindow);
    }
}

MenuBarExtra::~MenuBarExtra()
{
    delete m_popup;
    delete m_window;
}

void MenuBarExtra::show()
{
    if (m_tray)
        m_tray->show();
    else
        reopen();
    m_label->appear();
}

void MenuBarExtra::reopen()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void MenuBarExtra::trayClicked()
{
    togglePopover(PopoverPlacement::anchor(m_tray->geometry(), QCursor::pos()));
}

OpenWindow MenuBarExtra::popoverOpening(OpenWindow openWindow)
{
    // The popover steps aside for the window it opens.
    return [this, openWindow = std::move(openWindow)](const QString& id) {
        if (m_popup)
            m_popup->hide();
        openWindow(id);
    };
}

void MenuBarExtra::togglePopover(const QRect& anchor)
{
    if (m_popup && m_popup->isVisible()) {
        m_popup->hide();
        return;
    }
    if (!m_popup) {
        // A frame of the view's size, which follows the view as its content comes and goes
        // (the helper banner).
        m_popup = new QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint);
        // The click that closes the popover must not reach the tray icon too, or the icon
        // would open it again at once.
        m_popup->setAttribute(Qt::WA_NoMouseReplay);
        auto* layout = new QVBoxLayout(m_popup);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        m_popover = new MenuBarView(m_state, popoverOpening(m_openWindow), m_popup);
        layout->addWidget(m_popover);
        // Above a bottom panel a popover that grows or shrinks would leave its bottom edge
        // behind, over or away from the tray.
        m_popup->installEventFilter(this);
    }
    m_anchor = anchor;
    m_popup->adjustSize();
    place();
    m_popup->show();
    m_popup->activateWindow();
    emit popoverOpened();
}

void MenuBarExtra::place()
{
    QScreen* screen = QGuiApplication::screenAt(m_anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        m_popup->move(PopoverPlacement::topLeft(m_anchor, m_popup->size(), screen->availableGeometry()));
}

bool MenuBarExtra::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_popup && event->type() == QEvent::Resize && m_popup->isVisible())
        place();
    return QObject::eventFilter(watched, event);
}

} // namespace kestrune
