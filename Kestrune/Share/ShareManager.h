#pragma once

#include "Kestrune/Share/SharePeriod.h"
#include "Platform/Opener/DesktopOpener.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <functional>

namespace kestrune {

// Takes a rendered savings card out of the application: the sentence of a post, the post
// itself (the card on the clipboard, X's post page in the browser), and saving to a file.
class ShareManager {
public:
    // Asks the user where to save: the suggested file name, the name filter and the suffix
    // to add; answers the confirmed path, or empty when the user cancelled.
    using SaveLocationChooser =
        std::function<QString(const QString& fileName, const QString& nameFilter, const QString& defaultSuffix)>;

    // The product's web site; the card shows its host.
    static QUrl productSite();

    // The sentence that goes with a post, e.g. "...今日Macのバッテリーが +2時間15分 長持ちしました #Kestrune".
    static QString postText(double minutes, SharePeriod period);

    // Puts the card on the clipboard (it alone), then opens X's post page with `text` and
    // `url` filled in through `open`. True once the page has opened; the card stays on the
    // clipboard anyway.
    static QCoro::Task<bool> shareToX(QByteArray pngData, QString text, QUrl url, DesktopOpener::Open open);

    // "Kestrune-<period>.png".
    static QString fileName(SharePeriod period);

    // Asks for a location and writes the card there. The write replaces an existing file only
    // once it is complete, so a failed save leaves that file as it was. True when written.
    static bool saveImage(const QByteArray& pngData, SharePeriod period, const SaveLocationChooser& chooseLocation);
};

} // namespace kestrune
