#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestrune {

// The application's windows by identifier ("main", "share", "onboarding"). The program
// registers how each is made; every request to see one goes through `open`, which makes the
// window when none is open and brings it forward. A window is deleted when it closes, so the
// next opening starts from fresh view state, and closing the last one leaves the application
// running in the tray.
class WindowRegistry : public QObject {
    Q_OBJECT

public:
    using Factory = std::function<QWidget*()>;

    explicit WindowRegistry(QObject* parent = nullptr);
    ~WindowRegistry() override;

    // A window that first opens at `size` and can be resized, down to its content's minimum.
    void addResizable(const QString& id, const char* titleKey, QSize size, Factory make);
    // A window that always has its content's size.
    void addFitted(const QString& id, const char* titleKey, Factory make);

    // Makes the window `id` unless it is open, then shows, raises and activates it. Null for
    // an identifier nobody registered, or when the factory made nothing.
    QWidget* open(const QString& id);
    // The open window `id`, or null.
    QWidget* window(const QString& id) const;

private:
    struct Scene {
        const char* titleKey;
        std::optional<QSize> size;
        Factory make;
        QPointer<QWidget> window;
    };

    QWidget* create(Scene& scene);

    QHash<QString, Scene> m_scenes;
};

} // namespace kestrune
