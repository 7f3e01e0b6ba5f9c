#include "Kestrune/Share/ShareCardView.h"

#include "Foundation/Localized.h"
#include "Kestrune/Share/ShareManager.h"
#include "Platform/Symbols/SymbolIcon.h"
#include "Platform/Symbols/SystemColors.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace kestrune {

namespace {

constexpr qreal inset = 28;
constexpr int heroPixelSize = 76;

QColor faded(QColor color, qreal opacity)
{
    color.setAlphaF(float(opacity));
    return color;
}

// A symbol drawn at a font size fills about the line of that size.
qreal symbolSide(int fontSize)
{
    return fontSize * 1.2;
}

ShareCardView::Text textBlock(const QString& string, const QFont& font, const QColor& color)
{
    const QFontMetricsF metrics(font);
    return {string, font, color, QRectF(0, 0, metrics.horizontalAdvance(string), metrics.height()), metrics.ascent()};
}

void place(ShareCardView::Text& item, const QPointF& topLeft)
{
    item.baseline += topLeft.y() - item.rect.top();
    item.rect.moveTopLeft(topLeft);
}

// Centred on the line of a row that starts at `top` and is `height` high.
void placeInRow(ShareCardView::Text& item, qreal left, qreal top, qreal height)
{
    place(item, QPointF(left, top + (height - item.rect.height()) / 2));
}

QRectF squareInRow(qreal left, qreal top, qreal height, qreal side)
{
    return QRectF(left, top + (height - side) / 2, side, side);
}

// The saved time shrinks until it fits, never below half its size, and is cut short past that.
ShareCardView::Text fittedHero(const QString& string, qreal width)
{
    for (int pixels = heroPixelSize; pixels >= heroPixelSize / 2; --pixels) {
        ShareCardView::Text item = textBlock(string, ShareCardView::font(pixels, QFont::ExtraBold), Qt::white);
        if (item.rect.width() <= width)
            return item;
    }
    const QFont smallest = ShareCardView::font(heroPixelSize / 2, QFont::ExtraBold);
    return textBlock(QFontMetricsF(smallest).elidedText(string, Qt::ElideRight, width), smallest, Qt::white);
}

void drawText(QPainter& painter, const ShareCardView::Text& item)
{
    painter.setFont(item.font);
    painter.setPen(item.color);
    painter.drawText(QPointF(item.rect.left(), item.baseline), item.text);
}

void drawPanel(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill, const QColor& stroke)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, fill);
    painter.strokePath(path, QPen(stroke, 1));
}

void drawBackground(QPainter& painter)
{
    const QSizeF size = ShareCardView::size;
    QLinearGradient base(QPointF(0, 0), QPointF(size.width(), size.height()));
    base.setColorAt(0, QColor::fromRgbF(0.05f, 0.09f, 0.08f));
    base.setColorAt(1, QColor::fromRgbF(0.02f, 0.16f, 0.10f));
    painter.fillRect(QRectF(QPointF(0, 0), size), base);

    const QColor green = SystemColors::green();
    const QPointF centre(size.width() / 2, size.height() / 2);
    const QPointF glowCentre = centre + QPointF(220, -160);
    QRadialGradient glow(glowCentre, 220);
    glow.setColorAt(0, faded(green, 0.35));
    glow.setColorAt(1, faded(green, 0)); // transparent green, so the fade does not pass through grey
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(glowCentre, 220, 220);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(faded(green, 0.12), 22));
    painter.drawEllipse(centre + QPointF(-180, 220), 150, 150);
}

} // namespace

ShareCardView::ShareCardView(SavingsStats::Summary summary, SharePeriod period, std::optional<double> healthPercent)
    : m_summary(summary)
    , m_period(period)
    , m_healthPercent(healthPercent)
{
}

QFont ShareCardView::font(int pixelSize, QFont::Weight weight)
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(pixelSize);
    // The typeface ships Regular and Bold only: semibold and heavier draw Bold, medium Regular.
    font.setWeight(weight >= QFont::DemiBold ? QFont::Bold : QFont::Normal);
    // Unhinted outlines keep advances proportional to size, so the layout measured here holds
    // at two pixels per point as well.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

ShareCardView::Layout ShareCardView::layout() const
{
    const QRectF content = QRectF(QPointF(0, 0), size).adjusted(inset, inset, -inset, -inset);
    const QColor green = SystemColors::green();
    const QColor white = Qt::white;
    Layout card;

    // Header: logo, name, and the period's caption in a capsule at the trailing edge.
    const qreal logoSide = symbolSide(22);
    card.logo.name = QStringLiteral("bolt.batteryblock.fill");
    card.name = textBlock(QStringLiteral("Kestrune"), font(19, QFont::Bold), white);
    card.caption = textBlock(m_period.cardCaption(), font(13, QFont::DemiBold), green);
    const QSizeF capsule(card.caption.rect.width() + 24, card.caption.rect.height() + 10);
    const qreal headerHeight = std::max({logoSide, card.name.rect.height(), capsule.height()});

    // Hero: the saved time and "延命" on one baseline, the caption under them.
    card.heroWord = textBlock(Localized::text("延命"), font(30, QFont::Bold), green);
    card.heroCaption = textBlock(Localized::text("AIが自分のMacに合わせて学習した節電の実績(推定)"),
                            font(14, QFont::Medium), faded(white, 0.65));
    card.hero = fittedHero(u'+' + SavingsStats::formattedDuration(m_period.minutes(m_summary)),
                           content.width() - 10 - card.heroWord.rect.width());
    const QFontMetricsF heroMetrics(card.hero.font);
    const QFontMetricsF wordMetrics(card.heroWord.font);
    const qreal heroAscent = std::max(heroMetrics.ascent(), wordMetrics.ascent());
    const qreal heroLine = heroAscent + std::max(heroMetrics.descent(), wordMetrics.descent());
    const qreal heroHeight = heroLine + 6 + card.heroCaption.rect.height();

    // Stat row: energy always, the streak from two days, the health when known and positive.
    struct Stat {
        const char* symbol;
        QString value;
        const char* label;
    };
    QList<Stat> stats{{"leaf.fill", QString::asprintf("%.1f Wh", m_period.wattHours(m_summary)),
                       QT_TRANSLATE_NOOP("Kestrune", "節電電力量")}};
    if (m_summary.streakDays >= 2)
        stats.append({"flame.fill", Localized::fmt("%lld日連続", m_summary.streakDays),
                      QT_TRANSLATE_NOOP("Kestrune", "継続実績")});
    if (m_healthPercent && *m_healthPercent > 0)
        stats.append({"heart.fill", QString::asprintf("%.0f%%", *m_healthPercent),
                      QT_TRANSLATE_NOOP("Kestrune", "バッテリー最大容量")});
    const qreal statSymbolSide = symbolSide(14);
    qreal statHeight = 0;
    for (const Stat& stat : stats) {
        StatBlock block;
        block.symbol.name = QString::fromLatin1(stat.symbol);
        block.value = textBlock(stat.value, font(15, QFont::Bold), white);
        block.label = textBlock(Localized::text(stat.label), font(10, QFont::Medium), faded(white, 0.55));
        const qreal innerHeight = std::max(statSymbolSide, block.value.rect.height() + 1 + block.label.rect.height());
        const qreal textWidth = std::max(block.value.rect.width(), block.label.rect.width());
        block.frame = QRectF(0, 0, 14 + statSymbolSide + 8 + textWidth + 14, 8 + innerHeight + 8);
        statHeight = std::max(statHeight, block.frame.height());
        card.stats.append(block);
    }

    // Footer: the web site's host and the hashtag at the two edges.
    card.host = textBlock(ShareManager::productSite().host(), font(13, QFont::DemiBold), green);
    card.hashtag = textBlock(QStringLiteral("#Kestrune"), font(13, QFont::Medium), faded(white, 0.5));
    const qreal footerHeight = std::max(card.host.rect.height(), card.hashtag.rect.height());

    // The two spacers share what the rows leave free.
    const qreal statGap = 14;
    const qreal spacer = std::max<qreal>(
        0, (content.height() - headerHeight - heroHeight - statHeight - statGap - footerHeight) / 2);

    qreal top = content.top();
    card.logo.rect = squareInRow(content.left(), top, headerHeight, logoSide);
    placeInRow(card.name, card.logo.rect.right() + 8, top, headerHeight);
    card.captionCapsule = QRectF(QPointF(content.right() - capsule.width(), top + (headerHeight - capsule.height()) / 2),
                                 capsule);
    place(card.caption, card.captionCapsule.topLeft() + QPointF(12, 5));
    top += headerHeight + spacer;

    const qreal baseline = top + heroAscent;
    place(card.hero, QPointF(content.left(), baseline - heroMetrics.ascent()));
    place(card.heroWord, QPointF(card.hero.rect.right() + 10, baseline - wordMetrics.ascent()));
    place(card.heroCaption, QPointF(content.left(), top + heroLine + 6));
    top += heroHeight + spacer;

    qreal left = content.left();
    for (StatBlock& block : card.stats) {
        block.frame.moveTopLeft(QPointF(left, top + (statHeight - block.frame.height()) / 2));
        const QRectF inner = block.frame.adjusted(14, 8, -14, -8);
        block.symbol.rect = squareInRow(inner.left(), inner.top(), inner.height(), statSymbolSide);
        const qreal textLeft = block.symbol.rect.right() + 8;
        const qreal textTop = inner.top() + (inner.height() - block.value.rect.height() - 1 - block.label.rect.height()) / 2;
        place(block.value, QPointF(textLeft, textTop));
        place(block.label, QPointF(textLeft, block.value.rect.bottom() + 1));
        left = block.frame.right() + 10;
    }
    top += statHeight + statGap;

    placeInRow(card.host, content.left(), top, footerHeight);
    placeInRow(card.hashtag, content.right() - card.hashtag.rect.width(), top, footerHeight);
    return card;
}

void ShareCardView::paint(QPainter& painter) const
{
    const Layout card = layout();
    const QColor green = SystemColors::green();
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    drawBackground(painter);

    SymbolIcon::paint(painter, card.logo.rect, card.logo.name, green);
    drawText(painter, card.name);
    drawPanel(painter, card.captionCapsule, card.captionCapsule.height() / 2, faded(green, 0.15), faded(green, 0.4));
    drawText(painter, card.caption);

    drawText(painter, card.hero);
    drawText(painter, card.heroWord);
    drawText(painter, card.heroCaption);

    for (const StatBlock& block : card.stats) {
        drawPanel(painter, block.frame, 10, faded(Qt::white, 0.06), faded(Qt::white, 0.08));
        SymbolIcon::paint(painter, block.symbol.rect, block.symbol.name, green);
        drawText(painter, block.value);
        drawText(painter, block.label);
    }

    drawText(painter, card.host);
    drawText(painter, card.hashtag);
    painter.restore();
}

QImage ShareCardView::renderImage() const
{
    // The card is opaque, so the image needs no alpha channel (a smaller, faster PNG).
    QImage image((size * pixelsPerPoint).toSize(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(pixelsPerPoint);
    QPainter painter(&image);
    if (!painter.isActive())
        return {};
    paint(painter);
    return image;
}

std::optional<QByteArray> ShareCardView::encodePNG(const QImage& image)
{
    if (image.isNull())
        return std::nullopt;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return std::nullopt;
    return buffer.data();
}

std::optional<QByteArray> ShareCardView::renderPNG() const
{
    return encodePNG(renderImage());
}

} // namespace kestrune
