#include "Kestrune/UI/CapsuleLabel.h"

#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/Style.h"

#include <QPainter>

namespace kestrune {

CapsuleLabel::CapsuleLabel(QWidget* parent)
    : QLabel(parent)
{
    PlainText::apply(this);
    setAlignment(Qt::AlignCenter);
    setContentsMargins(6, 2, 6, 2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CapsuleLabel::setColors(const QColor& fill, const QColor& text)
{
    m_fill = fill;
    Style::setColor(this, text);
    update();
}

QColor CapsuleLabel::textColor() const
{
    return palette().color(QPalette::Active, foregroundRole());
}

void CapsuleLabel::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill);
        const QRectF capsule = QRectF(rect());
        const qreal radius = capsule.height() / 2;
        painter.drawRoundedRect(capsule, radius, radius);
    }
    QLabel::paintEvent(event);
}

} // namespace kestrune
