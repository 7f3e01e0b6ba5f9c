#pragma once

#include <QWidget>

namespace kestrune {

// A row of small dots, one per page, the current one in the accent colour: where a step-by-
// step window stands.
class PageDots : public QWidget {
    Q_OBJECT

public:
    explicit PageDots(int count, QWidget* parent = nullptr);

    int count() const { return m_count; }
    int current() const { return m_current; }
    void setCurrent(int index);

    // The colour the dot at `index` is drawn in.
    QColor dotColor(int index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_count;
    int m_current = 0;
};

} // namespace kestrune
