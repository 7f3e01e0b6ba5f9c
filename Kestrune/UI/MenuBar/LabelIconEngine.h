#pragma once

#include <QIconEngine>
#include <QMap>
#include <QPixmap>
#include <QString>

#include <utility>

namespace kestrune {

// The tray label's icon, drawn when it is asked for and at the size asked for: a tray shows
// one size, but a fixed set of sizes would all be drawn at every change of the figure. Each
// picture drawn is kept, so that asking again draws nothing.
class LabelIconEngine : public QIconEngine {
public:
    // The size trays commonly show, as MenuBarLabel::draw takes it; the sizes offered to
    // whoever lists them (the tray protocol sends a list) are it and its double.
    static constexpr int commonSide = 22;

    LabelIconEngine(QString symbol, QString text);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    bool isNull() override;

private:
    // A square of `side` logical pixels at that density.
    QPixmap picture(int side, qreal devicePixelRatio);

    QString m_symbol;
    QString m_text;
    QMap<std::pair<int, qreal>, QPixmap> m_pictures;
};

} // namespace kestrune
