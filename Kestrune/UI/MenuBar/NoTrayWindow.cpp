#include "Kestrune/UI/MenuBar/NoTrayWindow.h"

#include "Foundation/Localized.h"
#include "Kestrune/UI/MenuBar/MenuBarLabel.h"
#include "Kestrune/UI/MenuBar/MenuBarView.h"

#include <QVBoxLayout>

namespace kestrune {

NoTrayWindow::NoTrayWindow(AppState& state, MenuBarLabel& label, OpenWindow openWindow, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_label(label)
    , m_view(new MenuBarView(state, std::move(openWindow), this))
{
    setObjectName(QStringLiteral("noTrayWindow"));
    // The application runs on with this window closed, as it does with the popover closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(&label, &MenuBarLabel::changed, this, &NoTrayWindow::followLabel);
    followLabel();
}

void NoTrayWindow::followLabel()
{
    const QString title = Localized::text("Kestrune");
    setWindowTitle(m_label.text().isEmpty() ? title : title + QStringLiteral(" — ") + m_label.text());
    setWindowIcon(m_label.icon());
}

} // namespace kestrune
