#include "Kestrune/UI/ShareCardPreview.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kestrune {

namespace {
constexpr qreal cornerRadius = 12;
constexpr qreal liveScale = 0.5;
} // namespace

ShareCardPreview::ShareCardPreview(ShareCardView card, QWidget* parent)
    : QWidget(parent)
    , m_card(std::move(card))
{
    setFixedSize(sizeHint());
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 77));
    shadow->setBlurRadius(8);
    shadow->setOffset(0, 3);
    setGraphicsEffect(shadow);
}

void ShareCardPreview::setCard(const ShareCardView& card, const std::optional<QByteArray>& png)
{
    m_card = card;
    m_image = QPixmap();
    if (png && m_image.loadFromData(*png, "PNG"))
        m_image.setDevicePixelRatio(ShareCardView::pixelsPerPoint);
    update();
}

QSize ShareCardPreview::sizeHint() const
{
    return QSize(int(ShareCardView::size.width()), int(std::ceil(ShareCardView::size.height())));
}

void ShareCardPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(QPointF(0, 0), ShareCardView::size);
    QPainterPath clip;
    clip.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.setClipPath(clip);
    if (!m_image.isNull()) {
        painter.drawPixmap(frame, m_image, QRectF(m_image.rect()));
        return;
    }
    // The live card is drawn at half size about the frame's centre, inside its own rounded
    // edge as the image would be: its glow and rings reach past it.
    painter.translate(frame.center());
    painter.scale(liveScale, liveScale);
    painter.translate(-frame.center());
    QPainterPath card;
    card.addRoundedRect(frame, cornerRadius / liveScale, cornerRadius / liveScale);
    painter.setClipPath(card, Qt::IntersectClip);
    m_card.paint(painter);
}

} // namespace kestrune
