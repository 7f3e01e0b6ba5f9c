#include "Kestrune/Share/ShareManager.h"

#include "Foundation/AtomicFile.h"
#include "Foundation/Localized.h"
#include "Kestrune/Share/SavingsStats.h"
#include "Kestrune/Share/ShareCardImage.h"

#include <QClipboard>
#include <QGuiApplication>

namespace kestrune {

QUrl ShareManager::productSite()
{
    return QUrl(QStringLiteral("https://kestrune.org/"));
}

QString ShareManager::postText(double minutes, SharePeriod period)
{
    const QString duration = SavingsStats::formattedDuration(minutes);
    QString sentence;
    switch (period.value()) {
    case SharePeriod::Today:
        sentence = Localized::fmt("KestruneのAI節電で、今日Macのバッテリーが +%@ 長持ちしました", duration);
        break;
    case SharePeriod::Week:
        sentence = Localized::fmt("KestruneのAI節電で、今週Macのバッテリーが合計 +%@ 長持ちしました", duration);
        break;
    case SharePeriod::Total:
        sentence = Localized::fmt("Kestrune導入から、Macのバッテリーを累計 +%@ 延命できました", duration);
        break;
    }
    return sentence + QStringLiteral(" #Kestrune");
}

QCoro::Task<bool> ShareManager::shareToX(QByteArray pngData, QString text, QUrl url, DesktopOpener::Open open)
{
    // The card goes first, so it is there to paste when the browser comes up.
    QGuiApplication::clipboard()->setMimeData(ShareCardImage(pngData).mimeData().release());

    // X reads the query as a form, where a bare "+" is a space: the standard query encoding
    // would turn "+2時間15分" into " 2時間15分". Every reserved character is encoded instead.
    const QString query = QStringLiteral("text=") + QString::fromLatin1(QUrl::toPercentEncoding(text))
        + QStringLiteral("&url=") + QString::fromLatin1(QUrl::toPercentEncoding(url.toString(QUrl::FullyEncoded)));
    QUrl post(QStringLiteral("https://x.com/intent/post"));
    post.setQuery(query, QUrl::StrictMode);
    if (!post.isValid())
        co_return false;
    co_return co_await open(post);
}

QString ShareManager::fileName(SharePeriod period)
{
    return QStringLiteral("Kestrune-%1.png").arg(period.rawValue());
}

bool ShareManager::saveImage(const QByteArray& pngData, SharePeriod period, const SaveLocationChooser& chooseLocation)
{
    const QString path = chooseLocation(fileName(period), QStringLiteral("PNG (*.png)"), QStringLiteral("png"));
    if (path.isEmpty())
        return false;
    return AtomicFile::write(path, pngData);
}

} // namespace kestrune
