#include "Kestrune/UI/MenuBar/LabelIconEngine.h"

#include "Kestrune/UI/MenuBar/MenuBarLabel.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kestrune {

namespace {

// A few sizes are asked for at most; a caller that asks for many (a zoom) does not keep them all.
constexpr qsizetype keptPictures = 8;

} // namespace

LabelIconEngine::LabelIconEngine(QString symbol, QString text)
    : m_symbol(std::move(symbol))
    , m_text(std::move(text))
{
}

void LabelIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State)
{
    const int side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
    painter->drawPixmap(square, picture(side, ratio));
}

QPixmap LabelIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap LabelIconEngine::scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale)
{
    // `size` is in device pixels; the picture is drawn for that many at `scale`.
    const qreal ratio = scale > 0 ? scale : 1.0;
    const int side = int(std::floor(std::min(size.width(), size.height()) / ratio));
    return side > 0 ? picture(side, ratio) : QPixmap();
}

QSize LabelIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State)
{
    const int side = std::min(size.width(), size.height());
    return QSize(side, side);
}

QList<QSize> LabelIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    return {QSize(commonSide, commonSide), QSize(2 * commonSide, 2 * commonSide)};
}

QIconEngine* LabelIconEngine::clone() const
{
    return new LabelIconEngine(*this);
}

QString LabelIconEngine::key() const
{
    return QStringLiteral("KestruneLabel");
}

bool LabelIconEngine::isNull()
{
    return false;
}

QPixmap LabelIconEngine::picture(int side, qreal devicePixelRatio)
{
    const std::pair<int, qreal> key(side, devicePixelRatio);
    const auto kept = m_pictures.constFind(key);
    if (kept != m_pictures.cend())
        return *kept;
    if (m_pictures.size() >= keptPictures)
        m_pictures.clear();
    const QPixmap drawn = MenuBarLabel::draw(m_symbol, m_text, side, devicePixelRatio);
    m_pictures.insert(key, drawn);
    return drawn;
}

} // namespace kestrune
