#include "Kestrune/Share/ShareCardImage.h"

namespace kestrune {

ShareCardImage::ShareCardImage(QByteArray pngData)
    : m_pngData(std::move(pngData))
{
}

std::unique_ptr<QMimeData> ShareCardImage::mimeData() const
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/png"), m_pngData);
    return data;
}

} // namespace kestrune
