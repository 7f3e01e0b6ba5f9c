#pragma once

#include <QColor>
#include <QSize>
#include <QWidget>

namespace kestrune {

// A share of a whole (0 to 1) drawn as a filled bar over a faint track of the same shape.
class ProportionalBar : public QWidget {
    Q_OBJECT

public:
    // A bar of `size` whose corners have `cornerRadius`; a negative radius makes a capsule.
    explicit ProportionalBar(QSize size, qreal cornerRadius = -1, QWidget* parent = nullptr);

    // Clamped into 0…1; a value that is not a number draws an empty bar.
    void setValue(double fraction);
    double value() const { return m_value; }

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    // Fills with a light-to-full gradient of the colour instead of the flat colour.
    void setGradient(bool gradient);
    bool gradient() const { return m_gradient; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_cornerRadius;
    double m_value = 0;
    QColor m_color;
    bool m_gradient = false;
};

} // namespace kestrune
