#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

namespace kestrune {

// Keeps a view's "on change" handlers connected only while the view is shown, so that they
// react to changes made after it appeared and never to the values it was built with, and runs
// its appear actions each time it becomes shown (a tab brought forward, a window opened).
class WhileShown : public QObject {
    Q_OBJECT

public:
    // Owned by `view`.
    explicit WhileShown(QWidget* view);

    // Connects `signal` of `sender` to `handler` from every show of the view to the hide that
    // follows. The handler runs in the view's context and never after the view is gone.
    template <typename Sender, typename Signal, typename Handler>
    void connect(const Sender* sender, Signal signal, Handler handler)
    {
        QPointer<const QObject> guard(sender);
        QWidget* view = m_view;
        m_makers.push_back([guard, sender, signal, view, handler] {
            return guard ? QObject::connect(sender, signal, view, handler) : QMetaObject::Connection();
        });
        if (m_shown)
            m_live << m_makers.back()();
    }

    // Runs `action` each time the view becomes shown, before the handlers are connected, so
    // that what an appear action sets is not taken for a change.
    void onShow(std::function<void()> action);

    bool isShown() const { return m_shown; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QWidget* m_view;
    bool m_shown = false;
    std::vector<std::function<QMetaObject::Connection()>> m_makers;
    std::vector<std::function<void()>> m_appearActions;
    QList<QMetaObject::Connection> m_live;
};

} // namespace kestrune
