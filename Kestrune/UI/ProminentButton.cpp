#include "Kestrune/UI/ProminentButton.h"

namespace kestrune {

ProminentButton::ProminentButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    setAutoDefault(false);
    applyTint();
}

void ProminentButton::setTint(const QColor& tint)
{
    m_tint = tint;
    applyTint();
}

void ProminentButton::applyTint()
{
    QPalette palette = this->palette();
    const QColor tint = m_tint.isValid() ? m_tint : palette.color(QPalette::Active, QPalette::Highlight);
    QColor faded = tint;
    faded.setAlphaF(0.45);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Button, tint);
    palette.setColor(QPalette::Disabled, QPalette::Button, faded);
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(255, 255, 255, 170));
    setPalette(palette);
}

} // namespace kestrune
