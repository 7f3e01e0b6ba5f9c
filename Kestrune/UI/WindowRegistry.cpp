#include "Kestrune/UI/WindowRegistry.h"

#include "Foundation/Localized.h"

#include <QDialog>
#include <QLayout>
#include <QWindow>

namespace kestrune {

WindowRegistry::WindowRegistry(QObject* parent)
    : QObject(parent)
{
}

WindowRegistry::~WindowRegistry()
{
    for (const Scene& scene : std::as_const(m_scenes))
        delete scene.window;
}

void WindowRegistry::addResizable(const QString& id, const char* titleKey, QSize size, Factory make)
{
    m_scenes.insert(id, Scene{titleKey, size, std::move(make), {}});
}

void WindowRegistry::addFitted(const QString& id, const char* titleKey, Factory make)
{
    m_scenes.insert(id, Scene{titleKey, std::nullopt, std::move(make), {}});
}

QWidget* WindowRegistry::open(const QString& id)
{
    const auto found = m_scenes.find(id);
    if (found == m_scenes.end())
        return nullptr;
    QWidget* window = found->window ? found->window.data() : create(*found);
    if (!window)
        return nullptr;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    if (QWindow* handle = window->windowHandle())
        handle->requestActivate();
    return window;
}

QWidget* WindowRegistry::window(const QString& id) const
{
    const auto found = m_scenes.constFind(id);
    return found == m_scenes.cend() ? nullptr : found->window.data();
}

QWidget* WindowRegistry::create(Scene& scene)
{
    QWidget* window = scene.make();
    if (!window)
        return nullptr;
    window->setParent(nullptr, window->windowFlags() | Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The tray keeps the application; no window's closing may end it.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setWindowTitle(Localized::text(scene.titleKey));
    if (scene.size) {
        window->resize(*scene.size);
    } else if (QLayout* layout = window->layout()) {
        layout->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        window->setFixedSize(window->sizeHint());
    }
    // A dialog that accepts or rejects only hides; it is gone as a closed window is.
    if (auto* dialog = qobject_cast<QDialog*>(window))
        connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    scene.window = window;
    return window;
}

} // namespace kestrune
