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
    // Disabled, the tint fades into the window, so that it no longer reads as the way on.
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    const auto blend = [&](qreal share) {
        return QColor::fromRgbF(tint.redF() * share + window.redF() * (1 - share),
                                tint.greenF() * share + window.greenF() * (1 - share),
                                tint.blueF() * share + window.blueF() * (1 - share));
    };
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Button, tint);
    palette.setColor(QPalette::Disabled, QPalette::Button, blend(0.5));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(255, 255, 255, 230));
    setPalette(palette);
}

} // namespace kestrune
