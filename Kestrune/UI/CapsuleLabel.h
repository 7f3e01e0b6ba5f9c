#pragma once

#include <QColor>
#include <QLabel>

namespace kestrune {

// A short text on a capsule of its own colour, such as a saving level's badge.
class CapsuleLabel : public QLabel {
    Q_OBJECT

public:
    explicit CapsuleLabel(QWidget* parent = nullptr);

    // The capsule's fill and the text's colour (white unless given).
    void setColors(const QColor& fill, const QColor& text = Qt::white);
    QColor fill() const { return m_fill; }
    QColor textColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
};

} // namespace kestrune
