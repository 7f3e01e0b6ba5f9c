#pragma once

#include <QColor>
#include <QPushButton>

namespace kestrune {

// A push button filled with a tint and labelled in white: the one action a view leads to.
// Without a tint of its own it takes the palette's accent (highlight) colour.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

    void setTint(const QColor& tint);

private:
    void applyTint();

    QColor m_tint;
};

} // namespace kestrune
