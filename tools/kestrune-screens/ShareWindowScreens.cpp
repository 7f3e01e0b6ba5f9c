#include "tools/kestrune-screens/ShareWindowScreens.h"

#include "Kestrune/UI/ShareView.h"
#include "Kestrune/UI/WindowRegistry.h"
#include "tools/kestrune-screens/ScreenApp.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QUrl>

namespace kestrune {

namespace {

// Takes the links a post opens, so that no browser comes up.
QCoro::Task<bool> takeLink(QUrl)
{
    co_return true;
}

// The window as the application opens it, after `prepare` acted on it.
bool writeWindow(const ScreenFolder& folder, const QString& screen, AppState& state,
                 const std::function<void(ShareView&)>& prepare = nullptr,
                 ShareView::Options options = {})
{
    options.openLink = takeLink;
    WindowRegistry windows;
    windows.addFitted(QStringLiteral("share"), "実績をシェア", [&] { return new ShareView(state, options); });
    auto* view = qobject_cast<ShareView*>(windows.open(QStringLiteral("share")));
    if (!view)
        return false;
    if (prepare)
        prepare(*view);
    return folder.write(screen, *view);
}

} // namespace

bool shareWindowScreens(const ScreenFolder& folder)
{
    bool ok = true;
    {
        ScreenApp app({});
        ok &= writeWindow(folder, QStringLiteral("share-window"), app.state());
        ShareView::Options failing;
        failing.renderCard = [](const ShareCardView&) { return std::nullopt; };
        ok &= writeWindow(folder, QStringLiteral("share-window-no-card"), app.state(), nullptr, failing);
        // The backend is off, so the post goes out at once with the site's link.
        ok &= writeWindow(folder, QStringLiteral("share-window-posted"), app.state(), [](ShareView& view) {
            view.shareToX();
        });
    }
    {
        // A backend that takes the card and never answers keeps the post uploading.
        QTcpServer silent;
        silent.listen(QHostAddress::LocalHost);
        ScreenApp app({.backend = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()))});
        ok &= writeWindow(folder, QStringLiteral("share-window-posting"), app.state(), [](ShareView& view) {
            view.shareToX();
        });
    }
    return ok;
}

} // namespace kestrune
