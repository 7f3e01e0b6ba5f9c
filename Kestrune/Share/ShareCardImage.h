#pragma once

#include <QByteArray>
#include <QMimeData>

#include <memory>

namespace kestrune {

// The card image as other applications receive it: a PNG and nothing else, byte for byte.
class ShareCardImage {
public:
    explicit ShareCardImage(QByteArray pngData);

    // Holds "image/png" alone, with the bytes unchanged; no file name and no other type.
    std::unique_ptr<QMimeData> mimeData() const;

private:
    QByteArray m_pngData;
};

} // namespace kestrune
