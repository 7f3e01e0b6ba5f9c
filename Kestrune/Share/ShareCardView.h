#pragma once

#include "Kestrune/Share/SavingsStats.h"
#include "Kestrune/Share/SharePeriod.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

class QPainter;

namespace kestrune {

// The savings card: what the power saver achieved in one period, drawn for posting. It is a
// value: everything it shows comes from its three fields. One layout, in points, serves both
// the live preview and the PNG, which is the card at two pixels per point.
class ShareCardView {
public:
    static constexpr QSizeF size{600, 337.5};
    static constexpr int pixelsPerPoint = 2;

    // One line of text placed on the card: `rect` is its line box, `baseline` where it sits.
    struct Text {
        QString text;
        QFont font;
        QColor color;
        QRectF rect;
        qreal baseline = 0;
    };
    struct Symbol {
        QString name;
        QRectF rect;
    };
    struct StatBlock {
        QRectF frame;
        Symbol symbol;
        Text value;
        Text label;
    };
    struct Layout {
        Symbol logo;
        Text name;
        QRectF captionCapsule;
        Text caption;
        Text hero;
        Text heroWord;
        Text heroCaption;
        QList<StatBlock> stats; // energy, then streak and health where shown
        Text host;
        Text hashtag;
    };

    ShareCardView(SavingsStats::Summary summary, SharePeriod period, std::optional<double> healthPercent);

    Layout layout() const;
    // Draws the card into the 600 × 337.5 point frame at the painter's origin. Nothing is
    // clipped: whoever shows the card decides where it ends.
    void paint(QPainter& painter) const;

    // The card at two pixels per point (1200 × 675), or a null image when it cannot be drawn.
    QImage renderImage() const;
    // The PNG of an image, with nothing of ours added to it; nothing when encoding fails.
    static std::optional<QByteArray> encodePNG(const QImage& image);
    // The card image: renderImage() as PNG, or nothing on any failure.
    std::optional<QByteArray> renderPNG() const;

    // The card's typeface at a size in points (= pixels of the layout) and a weight.
    static QFont font(int pixelSize, QFont::Weight weight);

private:
    SavingsStats::Summary m_summary;
    SharePeriod m_period;
    std::optional<double> m_healthPercent;
};

} // namespace kestrune
