#include "Kestrune/UI/ProportionalBar.h"

#include "Kestrune/UI/Style.h"
#include "Platform/Symbols/SystemColors.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kestrune {

ProportionalBar::ProportionalBar(QSize size, qreal cornerRadius, QWidget* parent)
    : QWidget(parent)
    , m_cornerRadius(cornerRadius)
    , m_color(SystemColors::blue())
{
    setFixedSize(size);
}

void ProportionalBar::setValue(double fraction)
{
    m_value = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    update();
}

void ProportionalBar::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void ProportionalBar::setGradient(bool gradient)
{
    m_gradient = gradient;
    update();
}

void ProportionalBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track(rect());
    const qreal radius = m_cornerRadius < 0 ? track.height() / 2 : m_cornerRadius;

    QColor trackColor = Style::foreground(Style::Secondary, palette().color(QPalette::WindowText));
    trackColor.setAlphaF(trackColor.alphaF() * 0.15);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, radius, radius);

    const QRectF bar(track.topLeft(), QSizeF(track.width() * m_value, track.height()));
    if (bar.width() <= 0)
        return;
    if (m_gradient) {
        QLinearGradient fill(track.topLeft(), track.bottomLeft());
        fill.setColorAt(0, m_color.lighter(125));
        fill.setColorAt(1, m_color);
        painter.setBrush(fill);
    } else {
        painter.setBrush(m_color);
    }
    // A bar narrower than its rounded ends is clipped to the track, so it never bulges out.
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter.setClipPath(trackPath);
    painter.drawRoundedRect(bar, std::min(radius, bar.width() / 2), radius);
}

} // namespace kestrune
