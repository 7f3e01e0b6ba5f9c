#include "Kestrune/UI/ShareView.h"

#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Notifications/Notifier.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Share/ShareCardImage.h"
#include "Kestrune/Share/ShareCardView.h"
#include "Kestrune/Storage/BatterySample.h"
#include "Kestrune/UI/ProminentButton.h"
#include "Kestrune/UI/SegmentedPicker.h"
#include "Kestrune/UI/ShareCardPreview.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WhileShown.h"
#include "Platform/SavePanel/SavePanel.h"
#include "Platform/Symbols/SystemColors.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace kestrune {

namespace {

constexpr int windowWidth = 640;
constexpr int symbolSide = 16;
// The copy button's two titles, looked up each time the button changes.
const char* const copyTitle = QT_TRANSLATE_NOOP("Kestrune", "画像をコピー");
const char* const copiedTitle = QT_TRANSLATE_NOOP("Kestrune", "コピーしました");

template <typename Button = QPushButton>
Button* button(const QString& title, const QString& objectName, QWidget* parent)
{
    auto* button = new Button(title, parent);
    button->setObjectName(objectName);
    button->setFont(Style::font(Style::Callout));
    button->setAutoDefault(false);
    return button;
}

} // namespace

ShareView::ShareView(AppState& state, QWidget* parent)
    : ShareView(state, Options(), parent)
{
}

ShareView::ShareView(AppState& state, Options options, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_options(std::move(options))
    , m_picker(new SegmentedPicker(this))
    , m_preview(new ShareCardPreview(ShareCardView({}, m_period, std::nullopt), this))
    , m_pasteHint(new SymbolLabel(QStringLiteral("command.square.fill"),
                                  Localized::text("画像はコピー済みです — Xの投稿画面で ⌘V を押すと添付されます"), this))
{
    setObjectName(QStringLiteral("share"));
    setFixedWidth(windowWidth);

    m_picker->setObjectName(QStringLiteral("period"));
    m_picker->setAccessibleName(Localized::text("期間"));
    for (const SharePeriod period : SharePeriod::allCases())
        m_picker->addSegment(period.label(), period.rawValue())->setObjectName(period.rawValue());
    m_picker->setValue(m_period.rawValue());
    connect(m_picker, &SegmentedPicker::picked, this, [this](const QVariant& value) {
        if (const std::optional<SharePeriod> period = SharePeriod::fromRawValue(value.toString()))
            setPeriod(*period);
    });

    m_preview->setObjectName(QStringLiteral("preview"));

    m_pasteHint->setObjectName(QStringLiteral("pasteHint"));
    Style::apply(m_pasteHint, Style::Caption, SystemColors::green());
    Style::setWeight(m_pasteHint, QFont::Bold);
    m_pasteHint->hide();

    auto* footer = new QLabel(
        Localized::text(
            "「Xでシェア」で投稿画面が開きます。画像を付けるには投稿画面で ⌘V(コピー済み)。リンクだけでも投稿後に実績カードが画像として表示されます。"),
        this);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setWordWrap(true);
    footer->setAlignment(Qt::AlignHCenter);
    Style::apply(footer, Style::Caption2, Style::Secondary);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    layout->addWidget(m_picker, 0, Qt::AlignHCenter);
    layout->addWidget(m_preview, 0, Qt::AlignHCenter);
    layout->addWidget(buildButtons());
    layout->addWidget(m_pasteHint, 0, Qt::AlignHCenter);
    layout->addWidget(footer);

    auto* shown = new WhileShown(this);
    shown->onShow([this] { render(); });
    shown->connect(&m_state.powerSaver(), &PowerSaverEngine::extendedTodayMinutesChanged, [this] { render(); });
    refreshButtons();
}

QWidget* ShareView::buildButtons()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* post = button<ProminentButton>(Localized::text("Xでシェア"), QStringLiteral("shareToX"), row);
    post->setTint(SystemColors::green());
    post->setIcon(postIcon());
    m_postButton = post;
    // The spinner takes the label's place; the button keeps its width meanwhile.
    m_postButton->setMinimumWidth(m_postButton->sizeHint().width());
    auto* inside = new QHBoxLayout(m_postButton);
    inside->setContentsMargins(12, 0, 12, 0);
    m_postProgress = new QProgressBar(m_postButton);
    m_postProgress->setObjectName(QStringLiteral("posting"));
    m_postProgress->setRange(0, 0);
    m_postProgress->setTextVisible(false);
    m_postProgress->setFixedHeight(6);
    m_postProgress->hide();
    inside->addWidget(m_postProgress, 0, Qt::AlignVCenter);
    connect(m_postButton, &QPushButton::clicked, this, &ShareView::shareToX);
    layout->addWidget(m_postButton);

    m_elsewhereButton = button(Localized::text("その他…"), QStringLiteral("shareElsewhere"), row);
    m_elsewhereButton->setIcon(Style::symbol(QStringLiteral("square.and.arrow.up"),
                                             palette().color(QPalette::ButtonText), symbolSide, devicePixelRatioF()));
    connect(m_elsewhereButton, &QPushButton::clicked, this, &ShareView::shareElsewhere);
    layout->addWidget(m_elsewhereButton);

    layout->addStretch(1);

    m_copyButton = button(Localized::text(copyTitle), QStringLiteral("copy"), row);
    connect(m_copyButton, &QPushButton::clicked, this, &ShareView::copyImage);
    layout->addWidget(m_copyButton);

    m_saveButton = button(Localized::text("画像を保存"), QStringLiteral("save"), row);
    connect(m_saveButton, &QPushButton::clicked, this, &ShareView::saveImage);
    layout->addWidget(m_saveButton);
    return row;
}

QIcon ShareView::postIcon() const
{
    return Style::symbol(QStringLiteral("square.and.arrow.up.fill"), Qt::white, symbolSide, devicePixelRatioF());
}

std::optional<double> ShareView::healthPercent(const std::optional<BatterySnapshot>& snapshot)
{
    if (!snapshot)
        return std::nullopt;
    return BatterySample::healthPercentOf(snapshot->designCapacitymAh, snapshot->nominalCapacitymAh);
}

QUrl ShareView::fallbackLink(qint64 minutes, SharePeriod period)
{
    QUrl link = ShareManager::productSite();
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("m"), QString::number(minutes));
    query.addQueryItem(QStringLiteral("p"), period.rawValue());
    link.setQuery(query);
    return link;
}

void ShareView::setPeriod(SharePeriod period)
{
    if (period == m_period)
        return;
    m_period = period;
    m_picker->setValue(period.rawValue());
    render();
}

void ShareView::render()
{
    const ShareCardView card(m_state.powerSaver().savingsSummary(m_state.clock().now()), m_period,
                             healthPercent(m_state.snapshot()));
    // A failed rendering clears the last card: nothing may be shared that no longer matches.
    m_pngData = m_options.renderCard ? m_options.renderCard(card) : card.renderPNG();
    m_preview->setCard(card, m_pngData);
    refreshButtons();
}

void ShareView::refreshButtons()
{
    const bool hasCard = m_pngData.has_value();
    m_postButton->setEnabled(hasCard && !m_uploading);
    m_postButton->setText(m_uploading ? QString() : Localized::text("Xでシェア"));
    m_postButton->setIcon(m_uploading ? QIcon() : postIcon());
    m_postProgress->setVisible(m_uploading);
    m_elsewhereButton->setVisible(hasCard);
    m_copyButton->setEnabled(hasCard);
    m_copyButton->setText(Localized::text(m_copied ? copiedTitle : copyTitle));
    m_saveButton->setEnabled(hasCard);
}

void ShareView::setUploading(bool uploading)
{
    m_uploading = uploading;
    refreshButtons();
}

void ShareView::setCopied(bool copied)
{
    m_copied = copied;
    refreshButtons();
}

void ShareView::setShowPasteHint(bool shown)
{
    m_showPasteHint = shown;
    m_pasteHint->setVisible(shown);
}

void ShareView::copyImage()
{
    if (!m_pngData)
        return;
    QGuiApplication::clipboard()->setMimeData(ShareCardImage(*m_pngData).mimeData().release());
    setCopied(true);
    // Every copy restores the title once its own interval is over, whichever copy came last.
    QTimer::singleShot(m_options.copiedFeedback, this, [this] { setCopied(false); });
}

void ShareView::saveImage()
{
    if (!m_pngData)
        return;
    const QByteArray png = *m_pngData;
    const SharePeriod period = m_period;
    // The dialog has no parent: the window may close while it is up, and would take a dialog
    // of its own with it in the middle of its modal loop. Nothing here is touched afterwards.
    const ShareManager::SaveLocationChooser choose = m_options.chooseSaveLocation
        ? m_options.chooseSaveLocation
        : [](const QString& fileName, const QString& filter, const QString& suffix) {
              return SavePanel::run(fileName, filter, suffix);
          };
    // A failed write leaves any earlier file whole and, as a cancelled one, shows nothing.
    ShareManager::saveImage(png, period, choose);
}

void ShareView::shareElsewhere()
{
    if (!m_pngData)
        return;
    // The share counts from the user's choice to share: whether anything takes the card is
    // not ours to know.
    m_state.recordShare(m_period);
    ShareSheet sheet = m_options.shareSheet.value_or(ShareSheet(QDBusConnection::sessionBus(), ShareSheet::standardFolder()));
    sheet.share(*m_pngData, ShareManager::fileName(m_period));
}

void ShareView::shareToX()
{
    if (!m_pngData || m_uploading)
        return;
    setUploading(true);
    const double minutes = m_period.minutes(m_state.powerSaver().savingsSummary(m_state.clock().now()));
    QTimer::singleShot(0, &m_state, [state = &m_state, view = QPointer<ShareView>(this), png = *m_pngData,
                                     period = m_period, minutes,
                                     open = m_options.openLink ? m_options.openLink : DesktopOpener::system()] {
        post(*state, view, png, period, minutes, open);
    });
}

QCoro::Task<> ShareView::post(AppState& state, QPointer<ShareView> view, QByteArray png, SharePeriod period,
                              double minutes, DesktopOpener::Open open)
{
    const QPointer<const QObject> alive = state.lifetime();
    const qint64 wholeMinutes = Rounding::toInteger(minutes);
    const QUrl fallback = fallbackLink(wholeMinutes, period);
    const BackendResult<QUrl> hosted
        = co_await state.backend().uploadShareCard(png, wholeMinutes, period.rawValue(), AppLanguage::resolvedCode());
    if (!alive)
        co_return;
    // Whatever went wrong with the upload, the post goes out with the site's link instead.
    const QUrl link = hosted ? hosted.value() : fallback;
    // Opened means a browser took the page, which the desktop's opener tells only once it has
    // tried: its start alone is no answer.
    const bool opened = co_await ShareManager::shareToX(png, ShareManager::postText(minutes, period), link, open);
    if (!alive)
        co_return;
    // Recorded on the user's intent, as a share through "その他…" is, even when no browser came up.
    state.recordShare(period);
    if (view)
        view->setUploading(false);
    // Telling the user to paste into a page that never opened would only mislead.
    if (!opened)
        co_return;
    if (view)
        view->setShowPasteHint(true);
    state.notifier().notify(QStringLiteral("share-paste"), Localized::text("Xの投稿画面を開きました"),
                            Localized::text("⌘Vを押すと実績カードの画像を添付できます(コピー済み)。リンクだけでも投稿後にカードが画像表示されます。"),
                            0);
}

} // namespace kestrune
