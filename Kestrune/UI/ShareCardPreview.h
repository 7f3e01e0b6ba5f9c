#pragma once

#include "Kestrune/Share/ShareCardView.h"

#include <QByteArray>
#include <QPixmap>
#include <QWidget>

#include <optional>

namespace kestrune {

// The share window's picture of the card, in the card's own 600 × 337.5 frame with rounded
// corners and a soft shadow: the rendered PNG when there is one that decodes, else the card
// drawn live at half size, so the window never shows an empty frame.
class ShareCardPreview : public QWidget {
    Q_OBJECT

public:
    explicit ShareCardPreview(ShareCardView card, QWidget* parent = nullptr);

    // The live card stands in wherever `png` is absent or does not decode.
    void setCard(const ShareCardView& card, const std::optional<QByteArray>& png);
    // Whether the rendered image is shown (rather than the live card).
    bool showsImage() const { return !m_image.isNull(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ShareCardView m_card;
    QPixmap m_image;
};

} // namespace kestrune
