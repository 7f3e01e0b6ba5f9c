#include "Kestrune/UI/ShareView.h"

#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Share/ShareCardView.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/ShareCardPreview.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tests/support/Await.h"
#include "tests/support/UrlRecorder.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QUrlQuery>

namespace kestrune::test {

namespace {

const QString pasteTitle = QStringLiteral("Xの投稿画面を開きました");

// The post page's "url" field as X reads it.
QUrl postedLink(const QUrl& post)
{
    return QUrl(QUrlQuery(post).queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded));
}

} // namespace

// The share window on the application core, with the fake backend on 127.0.0.1 and the
// notifications, links and files it produces recorded.
class ShareViewTest : public AppStateFixture {
protected:
    void SetUp() override
    {
        AppStateFixture::SetUp();
        ASSERT_TRUE(backend.listen());
        preset({{QStringLiteral("backendURL"), backend.url().toString()}});
        launch();
    }

    void TearDown() override
    {
        view.reset();
        AppStateFixture::TearDown();
    }

    // Posts open their page in `browser` unless the options name another opener.
    ShareView& open(ShareView::Options options = {})
    {
        if (!options.openLink)
            options.openLink = browser.opener();
        view = std::make_unique<ShareView>(*state, std::move(options));
        view->show();
        return *view;
    }

    // Savings booked now: today's ledger, as the engine books it, and seen by the engine.
    void save(double minutes, double wh = 1.5)
    {
        state->history()->accrueSavings(wh, minutes, 1, clock.now());
        state->powerSaver().loadLedgerTotals(clock.now());
    }

    void registerDevice()
    {
        await(state->backend().checkHealth(true));
        ASSERT_TRUE(state->backend().deviceID());
    }

    // The periods of the shares recorded so far, the latest first.
    QStringList shares() const
    {
        QStringList periods;
        for (const PowerActionRecord& record : state->history()->recentPowerActions(50))
            if (record.action == QLatin1String("share"))
                periods << record.detail;
        return periods;
    }

    template <typename T = QPushButton> T* find(const char* name) const
    {
        return view->findChild<T*>(QString::fromLatin1(name));
    }
    QPushButton* postButton() const { return find("shareToX"); }

    FakeBackend backend;
    UrlRecorder browser;
    std::unique_ptr<ShareView> view;
};

TEST_F(ShareViewTest, RendersOnAppearPeriodChangeAndTodaysMinutesOnlyAndFollowsThePNG)
{
    int renders = 0;
    bool failing = false;
    ShareView::Options options;
    options.renderCard = [&](const ShareCardView& card) -> std::optional<QByteArray> {
        ++renders;
        return failing ? std::nullopt : card.renderPNG();
    };
    view = std::make_unique<ShareView>(*state, options);
    EXPECT_EQ(renders, 0);
    view->show();
    ASSERT_EQ(renders, 1);
    ASSERT_TRUE(view->pngData());
    const QImage today = QImage::fromData(*view->pngData(), "PNG");
    EXPECT_EQ(today.size(), QSize(1200, 675));
    EXPECT_TRUE(find<ShareCardPreview>("preview")->showsImage());
    EXPECT_TRUE(postButton()->isEnabled());
    EXPECT_TRUE(find("shareElsewhere")->isVisible());
    EXPECT_TRUE(find("copy")->isEnabled());
    EXPECT_TRUE(find("save")->isEnabled());
    EXPECT_FALSE(find<SymbolLabel>("pasteHint")->isVisible());

    find<QAbstractButton>("week")->click();
    EXPECT_EQ(renders, 2);
    EXPECT_EQ(view->period(), SharePeriod::Week);
    find<QAbstractButton>("week")->click(); // already chosen
    EXPECT_EQ(renders, 2);
    find<QAbstractButton>("total")->click();
    EXPECT_EQ(renders, 3);

    // Today's minutes re-render whatever the period; a new reading alone does not.
    save(42);
    EXPECT_EQ(renders, 4);
    readAfter(60);
    spin(100); // the evaluation the reading starts
    EXPECT_EQ(renders, 4);

    // A rendering that fails takes the card away: nothing to post, copy or save, and the
    // live card stands in for the picture.
    failing = true;
    find<QAbstractButton>("today")->click();
    EXPECT_EQ(renders, 5);
    EXPECT_FALSE(view->pngData());
    EXPECT_FALSE(find<ShareCardPreview>("preview")->showsImage());
    EXPECT_FALSE(postButton()->isEnabled());
    EXPECT_FALSE(find("shareElsewhere")->isVisible());
    EXPECT_FALSE(find("copy")->isEnabled());
    EXPECT_FALSE(find("save")->isEnabled());
    view->shareToX();
    view->copyImage();
    EXPECT_FALSE(view->uploading());
    EXPECT_FALSE(view->copied());

    // Hidden, the window follows nothing.
    view->hide();
    save(10);
    EXPECT_EQ(renders, 5);
}

TEST_F(ShareViewTest, TheCardsHealthIsTheFullChargeOverTheDesignCapacity)
{
    EXPECT_EQ(ShareView::healthPercent(std::nullopt), std::nullopt);
    BatterySnapshot reading;
    reading.designCapacitymAh = 0;
    reading.nominalCapacitymAh = 4000;
    EXPECT_EQ(ShareView::healthPercent(reading), std::nullopt);
    reading.designCapacitymAh = 5000;
    reading.nominalCapacitymAh = 0; // a firmware glitch, not a dead battery
    EXPECT_EQ(ShareView::healthPercent(reading), std::nullopt);
    reading.nominalCapacitymAh = 5200;
    EXPECT_EQ(ShareView::healthPercent(reading), 100.0);
    reading.nominalCapacitymAh = 4000;
    EXPECT_EQ(ShareView::healthPercent(reading), 80.0);
}

TEST_F(ShareViewTest, APostUploadsTheCardAndOpensXWithTheHostedLinkOnce)
{
    registerDevice();
    save(135);
    backend.answerNext(QStringLiteral("/v1/share/card"), FakeBackend::Answer::serve().after(200));
    ShareView& share = open();
    const QByteArray png = *share.pngData();

    postButton()->click();
    EXPECT_TRUE(share.uploading());
    EXPECT_FALSE(postButton()->isEnabled());
    EXPECT_TRUE(find<QProgressBar>("posting")->isVisible());
    EXPECT_TRUE(find("copy")->isEnabled()); // the rest stays usable meanwhile
    share.shareToX(); // a second tap while uploading
    ASSERT_TRUE(waitUntil([&] { return !browser.opened.isEmpty(); }));
    spin(50);

    const QList<FakeBackend::Request> uploads = backend.requests(QStringLiteral("/v1/share/card"));
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads[0].body, png);
    EXPECT_EQ(uploads[0].query.value(QStringLiteral("m")), QStringLiteral("135"));
    EXPECT_EQ(uploads[0].query.value(QStringLiteral("p")), QStringLiteral("today"));
    EXPECT_EQ(uploads[0].query.value(QStringLiteral("lang")), QStringLiteral("ja"));
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0].host(), QStringLiteral("x.com"));
    EXPECT_EQ(postedLink(browser.opened[0]), QUrl(backend.url().toString() + QStringLiteral("/c/1")));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), png);
    EXPECT_EQ(shares(), QStringList{QStringLiteral("today")});
    EXPECT_FALSE(share.uploading());
    EXPECT_TRUE(postButton()->isEnabled());
    EXPECT_TRUE(find<SymbolLabel>("pasteHint")->isVisible());
    EXPECT_EQ(titles(1), QStringList{pasteTitle});
}

TEST_F(ShareViewTest, AFailedUploadPostsTheSitesLinkWithThePeriodAndMinutesOfTheTap)
{
    registerDevice();
    save(12.5);
    backend.answerNext(QStringLiteral("/v1/share/card"),
                       FakeBackend::Answer::json(500, QJsonObject{{QStringLiteral("error"), QStringLiteral("down")}}).after(200));
    ShareView& share = open();
    find<QAbstractButton>("week")->click();
    const QByteArray weekCard = *share.pngData();
    postButton()->click();
    find<QAbstractButton>("total")->click(); // while the card uploads
    ASSERT_TRUE(waitUntil([&] { return !browser.opened.isEmpty(); }));

    const FakeBackend::Request upload = backend.requests(QStringLiteral("/v1/share/card")).value(0);
    EXPECT_EQ(upload.query.value(QStringLiteral("m")), QStringLiteral("13"));
    EXPECT_EQ(upload.query.value(QStringLiteral("p")), QStringLiteral("week"));
    EXPECT_EQ(upload.body, weekCard);
    EXPECT_EQ(postedLink(browser.opened[0]), QUrl(QStringLiteral("https://kestrune.org/?m=13&p=week")));
    EXPECT_EQ(shares(), QStringList{QStringLiteral("week")});
    EXPECT_EQ(titles(1), QStringList{pasteTitle});

    // A backend that cannot be reached: the same, once more (no cooldown on this notice).
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    state->settings().setBackendURL(QStringLiteral("http://127.0.0.1:%1").arg(port));
    clock.advance(1);
    postButton()->click();
    ASSERT_TRUE(waitUntil([&] { return browser.opened.size() == 2; }));
    EXPECT_EQ(postedLink(browser.opened[1]), QUrl(QStringLiteral("https://kestrune.org/?m=13&p=total")));
    EXPECT_EQ(shares(), (QStringList{QStringLiteral("total"), QStringLiteral("week")}));
    EXPECT_EQ(titles(2), (QStringList{pasteTitle, pasteTitle}));
}

TEST_F(ShareViewTest, APostOutlivesItsWindowAndALinkThatDoesNotOpenIsNotAnnounced)
{
    registerDevice();
    backend.answerNext(QStringLiteral("/v1/share/card"), FakeBackend::Answer::serve().after(200));
    open().shareToX();
    view.reset(); // closed while the card uploads
    ASSERT_TRUE(waitUntil([&] { return !browser.opened.isEmpty(); }));
    EXPECT_EQ(shares(), QStringList{QStringLiteral("today")});
    EXPECT_EQ(titles(1), QStringList{pasteTitle});

    // The desktop's opener fails (no browser): the share still counts, but nobody is told to
    // paste into a page that never opened.
    ShareView::Options noBrowser;
    noBrowser.openLink = [](QUrl url) { return DesktopOpener::open(QStringLiteral("false"), std::move(url)); };
    ShareView& share = open(noBrowser);
    share.shareToX();
    ASSERT_TRUE(waitUntil([&] { return shares().size() == 2; }));
    EXPECT_FALSE(share.uploading());
    EXPECT_FALSE(share.showPasteHint());
    EXPECT_FALSE(find<SymbolLabel>("pasteHint")->isVisible());
    EXPECT_EQ(titles(), QStringList{pasteTitle});

    // The application itself goes while a card uploads: the post ends with it, opening nothing.
    backend.answerNext(QStringLiteral("/v1/share/card"), FakeBackend::Answer::hold());
    open().shareToX();
    ASSERT_TRUE(waitUntil([&] { return backend.requests(QStringLiteral("/v1/share/card")).size() == 3; }));
    view.reset();
    state.reset();
    spin(50);
    EXPECT_EQ(browser.opened.size(), 1);
}

TEST_F(ShareViewTest, CopySaveAndSharingElsewhereHandOverTheExactCard)
{
    QTemporaryDir files;
    UrlRecorder desktop;
    ShareView::Options options;
    options.copiedFeedback = std::chrono::milliseconds(150);
    QString chosen = files.filePath(QStringLiteral("card.png"));
    QString offered;
    std::function<void()> whileChoosing;
    options.chooseSaveLocation = [&](const QString& name, const QString&, const QString&) {
        offered = name;
        if (whileChoosing)
            whileChoosing();
        return chosen;
    };
    options.shareSheet
        = ShareSheet(bus.connect(QStringLiteral("share-sheet")), files.filePath(QStringLiteral("cache")), desktop.opener());
    ShareView& share = open(options);
    find<QAbstractButton>("week")->click();
    const QByteArray png = *share.pngData();

    find("copy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->formats(), QStringList{QStringLiteral("image/png")});
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), png);
    EXPECT_EQ(find("copy")->text(), QStringLiteral("コピーしました"));
    EXPECT_TRUE(waitUntil([&] { return find("copy")->text() == QStringLiteral("画像をコピー"); }, 1000));

    find("save")->click();
    EXPECT_EQ(offered, QStringLiteral("Kestrune-week.png"));
    QFile saved(chosen);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), png);

    // A write that fails shows nothing; the window closing while the dialog is up is no harm.
    chosen = files.filePath(QStringLiteral("no-such-folder/card.png"));
    whileChoosing = [&] { view.reset(); };
    share.saveImage();
    EXPECT_FALSE(view);
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMessageBox*>(window) && window->isVisible());
    EXPECT_TRUE(shares().isEmpty()); // neither copying nor saving shares

    // "その他…": with no portal on the bus the card opens in the default application, byte for
    // byte; with nothing to open it either, the share counts all the same.
    open(options).findChild<QPushButton*>(QStringLiteral("shareElsewhere"))->click();
    ASSERT_TRUE(waitUntil([&] { return !desktop.opened.isEmpty(); }));
    QFile handed(desktop.opened[0].toLocalFile());
    EXPECT_TRUE(handed.fileName().endsWith(QStringLiteral("/Kestrune-today.png")));
    ASSERT_TRUE(handed.open(QIODevice::ReadOnly));
    EXPECT_EQ(handed.readAll(), *view->pngData());
    desktop.takes = false;
    find("shareElsewhere")->click();
    EXPECT_EQ(shares(), (QStringList{QStringLiteral("today"), QStringLiteral("today")}));
    EXPECT_TRUE(waitUntil([&] { return desktop.refused == 1; }));
}

} // namespace kestrune::test
