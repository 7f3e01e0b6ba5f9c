#include "Kestrune/UI/PageDots.h"

#include <QPainter>

namespace kestrune {

namespace {
constexpr int diameter = 7;
constexpr int spacing = 6;
} // namespace

PageDots::PageDots(int count, QWidget* parent)
    : QWidget(parent)
    , m_count(count)
{
    setFixedSize(sizeHint());
}

void PageDots::setCurrent(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    update();
}

QColor PageDots::dotColor(int index) const
{
    if (index == m_current)
        return palette().color(QPalette::Highlight);
    QColor other = palette().color(QPalette::WindowText);
    other.setAlphaF(0.3);
    return other;
}

QSize PageDots::sizeHint() const
{
    return QSize(m_count > 0 ? m_count * diameter + (m_count - 1) * spacing : 0, diameter);
}

void PageDots::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < m_count; ++i) {
        painter.setBrush(dotColor(i));
        painter.drawEllipse(QRectF(i * (diameter + spacing), 0, diameter, diameter));
    }
}

} // namespace kestrune
