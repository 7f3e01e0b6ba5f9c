#include "Kestrune/UI/WhileShown.h"

#include <QEvent>

namespace kestrune {

WhileShown::WhileShown(QWidget* view)
    : QObject(view)
    , m_view(view)
{
    view->installEventFilter(this);
    follow();
}

void WhileShown::onShow(std::function<void()> action)
{
    m_appearActions.push_back(std::move(action));
}

bool WhileShown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        follow();
    return false;
}

void WhileShown::follow()
{
    // Visibility, not the event, decides: the window system's own Show and Hide (minimising
    // and restoring a window) leave a view visible, and its handlers connected.
    const bool shown = m_view->isVisible();
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (!shown) {
        for (const QMetaObject::Connection& connection : std::as_const(m_live))
            QObject::disconnect(connection);
        m_live.clear();
        return;
    }
    for (const auto& action : m_appearActions)
        action();
    for (const auto& make : m_makers)
        m_live << make();
}

} // namespace kestrune
