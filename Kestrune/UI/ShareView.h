#pragma once

#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Share/ShareManager.h"
#include "Kestrune/Share/SharePeriod.h"
#include "Platform/ShareSheet/ShareSheet.h"

#include <QByteArray>
#include <QIcon>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class QProgressBar;
class QPushButton;

namespace kestrune {

class AppState;
class SegmentedPicker;
class ShareCardPreview;
class ShareCardView;
class SymbolLabel;

// The share window: the savings card of the period the user picks, kept rendered as a PNG,
// and the ways to pass it on (post to X with a link to the card, hand it to another
// application, copy it, save it).
//
// A post runs on after the window closes: it still opens X's page, records the share and tells
// the user, and leaves the window alone once it is gone. The user is told to paste only once
// the page has really opened.
class ShareView : public QWidget {
    Q_OBJECT

public:
    struct Options {
        // How long the copy button says the card was copied.
        std::chrono::milliseconds copiedFeedback{2000};
        // Where "画像を保存" writes; none: the desktop's save dialog.
        ShareManager::SaveLocationChooser chooseSaveLocation;
        // Where "その他…" hands the card; none: the desktop portal on the session bus.
        std::optional<ShareSheet> shareSheet;
        // How a post opens X's page; none: the desktop's opener.
        DesktopOpener::Open openLink;
        // How a card becomes its PNG; none: ShareCardView::renderPNG().
        std::function<std::optional<QByteArray>(const ShareCardView&)> renderCard;
    };

    explicit ShareView(AppState& state, QWidget* parent = nullptr);
    ShareView(AppState& state, Options options, QWidget* parent = nullptr);

    // The card's battery health: the full-charge capacity over the design capacity in percent,
    // at most 100; none without a reading or when either capacity is unknown (below 1 mAh).
    static std::optional<double> healthPercent(const std::optional<BatterySnapshot>& snapshot);
    // The product site with the whole minutes ("m") and the period ("p"): the link a post
    // carries when the card could not be hosted.
    static QUrl fallbackLink(qint64 minutes, SharePeriod period);

    SharePeriod period() const { return m_period; }
    const std::optional<QByteArray>& pngData() const { return m_pngData; }
    bool uploading() const { return m_uploading; }
    bool copied() const { return m_copied; }
    bool showPasteHint() const { return m_showPasteHint; }

    // The four actions; each does nothing without a rendered card.
    void shareToX();
    void shareElsewhere();
    void copyImage();
    void saveImage();

private:
    QWidget* buildButtons();
    QIcon postIcon() const;
    void setPeriod(SharePeriod period);
    void render();
    void refreshButtons();
    void setUploading(bool uploading);
    void setCopied(bool copied);
    void setShowPasteHint(bool shown);

    // The post once the button was pressed: with the card, period and minutes of that moment,
    // whatever the window does meanwhile, and without the window once it is closed.
    static QCoro::Task<> post(AppState& state, QPointer<ShareView> view, QByteArray png, SharePeriod period,
                              double minutes, DesktopOpener::Open open);

    AppState& m_state;
    Options m_options;

    SharePeriod m_period = SharePeriod::Today;
    std::optional<QByteArray> m_pngData;
    bool m_copied = false;
    bool m_uploading = false;
    bool m_showPasteHint = false;

    SegmentedPicker* m_picker;
    ShareCardPreview* m_preview;
    QPushButton* m_postButton = nullptr;
    QProgressBar* m_postProgress = nullptr;
    QPushButton* m_elsewhereButton = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    SymbolLabel* m_pasteHint;
};

} // namespace kestrune
