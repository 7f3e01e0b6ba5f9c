#include "Kestrune/UI/OnboardingView.h"

#include "Foundation/Localized.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/UI/GeneralView.h"
#include "Kestrune/UI/PageDots.h"
#include "Kestrune/UI/ProminentButton.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WhileShown.h"
#include "Platform/ServiceManagement/LoginItem.h"
#include "Platform/Symbols/SystemColors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrune {

namespace {

constexpr QSize windowSize(560, 480);
constexpr int wideButtonWidth = 200;
constexpr int summaryWidth = 300;
// The default button's titles: to the first step, to the next one, and to finish.
const char* const startTitle = QT_TRANSLATE_NOOP("Kestrune", "はじめる");
const char* const nextTitle = QT_TRANSLATE_NOOP("Kestrune", "次へ");
const char* const doneTitle = QT_TRANSLATE_NOOP("Kestrune", "完了");

QLabel* label(const QString& text, Style::TextStyle style, Style::Foreground foreground = Style::Primary)
{
    auto* label = new QLabel(text);
    Style::apply(label, style, foreground);
    label->setWordWrap(true);
    return label;
}

QLabel* heading(const QString& text, Style::TextStyle style)
{
    QLabel* heading = label(text, style);
    Style::setWeight(heading, QFont::Bold);
    heading->setAlignment(Qt::AlignHCenter);
    return heading;
}

QLabel* centred(const QString& text, Style::TextStyle style, Style::Foreground foreground)
{
    QLabel* centred = label(text, style, foreground);
    centred->setAlignment(Qt::AlignHCenter);
    return centred;
}

QLabel* picture(const QString& symbol, const QColor& color, int side, int height)
{
    auto* picture = new QLabel;
    picture->setPixmap(Style::symbol(symbol, color, side, qApp->devicePixelRatio()));
    picture->setAlignment(Qt::AlignCenter);
    picture->setFixedHeight(height);
    return picture;
}

// The picture at the top of steps 1 to 3.
QLabel* stepIcon(const QString& symbol, const QColor& color)
{
    return picture(symbol, color, 52, 64);
}

SymbolLabel* coloured(const QString& symbol, const QString& text, const QColor& color, const QString& objectName)
{
    auto* label = new SymbolLabel(symbol, text);
    label->setObjectName(objectName);
    Style::setColor(label, color);
    return label;
}

template <typename Button = QPushButton>
Button* button(const QString& text, const QString& objectName)
{
    auto* button = new Button(text);
    button->setObjectName(objectName);
    // Return belongs to the window's default button, whichever button has the focus.
    button->setAutoDefault(false);
    return button;
}

// A step: its items one under the other, centred, in the middle of the content region. Texts
// take the whole width (wrapping there if they must); buttons and labelled symbols their own.
QWidget* stepPage(const QString& objectName, const QList<QWidget*>& items)
{
    auto* page = new QWidget;
    page->setObjectName(objectName);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addStretch(1);
    for (QWidget* item : items) {
        const bool ownWidth = qobject_cast<QAbstractButton*>(item) || qobject_cast<SymbolLabel*>(item);
        layout->addWidget(item, 0, ownWidth ? Qt::AlignHCenter : Qt::Alignment());
    }
    layout->addStretch(1);
    return page;
}

QWidget* featureRow(const QString& symbol, const QColor& color, const QString& title, const QString& text)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    const int side = QFontMetrics(Style::font(Style::Title3)).height();
    QLabel* icon = picture(symbol, color, side, side);
    icon->setFixedWidth(28);
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(title, Style::Headline));
    texts->addWidget(label(text, Style::Caption, Style::Secondary));
    layout->addLayout(texts, 1);
    return row;
}

} // namespace

OnboardingView::OnboardingView(AppState& state, OpenWindow openWindow, QWidget* parent)
    : OnboardingView(state, std::move(openWindow), Options(), parent)
{
}

OnboardingView::OnboardingView(AppState& state, OpenWindow openWindow, Options options, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_openWindow(std::move(openWindow))
    , m_options(std::move(options))
{
    setObjectName(QStringLiteral("onboarding"));

    m_steps = new QStackedWidget;
    m_steps->setObjectName(QStringLiteral("steps"));
    m_steps->addWidget(welcomeStep());
    m_steps->addWidget(notificationStep());
    m_steps->addWidget(helperStep());
    m_steps->addWidget(finishStep());

    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(28, 28, 28, 28);
    contentLayout->addWidget(m_steps);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    // The frame holds the fixed size, so that a window sized to its content takes it.
    auto* frame = new QWidget(this);
    frame->setFixedSize(windowSize);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->setSpacing(0);
    frameLayout->addWidget(content, 1);
    frameLayout->addWidget(divider);
    frameLayout->addWidget(controls());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);

    const HelperClient& helper = m_state.helper();
    connect(&helper, &HelperClient::statusChanged, this, &OnboardingView::refreshHelperStep);
    connect(&helper, &HelperClient::isConnectedChanged, this, &OnboardingView::refreshHelperStep);

    auto* shown = new WhileShown(this);
    shown->onShow([this] {
        QTimer::singleShot(0, this, [this] { readNotificationStatus(false); });
    });
    setStep(0);
    refreshNotificationStep();
    refreshHelperStep();
}

QWidget* OnboardingView::welcomeStep()
{
    QLabel* icon = nullptr;
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull()) {
        icon = new QLabel;
        icon->setPixmap(appIcon.pixmap(QSize(84, 84), devicePixelRatioF()));
        icon->setFixedSize(84, 84);
    } else {
        icon = picture(QStringLiteral("bolt.batteryblock.fill"), SystemColors::green(), 64, 64);
    }
    icon->setObjectName(QStringLiteral("appIcon"));

    auto* features = new QWidget;
    auto* rows = new QVBoxLayout(features);
    rows->setContentsMargins(0, 6, 0, 0);
    rows->setSpacing(10);
    rows->addWidget(featureRow(QStringLiteral("brain.fill"), SystemColors::purple(), Localized::text("AI省電力"),
                               Localized::text("節電効果を実測学習し、駆動時間を自動で延ばします")));
    rows->addWidget(featureRow(QStringLiteral("battery.100percent.bolt"), SystemColors::green(),
                               Localized::text("充電管理"), Localized::text("充電上限でバッテリーの劣化を抑えます")));
    rows->addWidget(featureRow(QStringLiteral("chart.line.uptrend.xyaxis"), SystemColors::blue(),
                               Localized::text("見える化"),
                               Localized::text("「今日 +X分延命」など効果を定量表示します")));

    return stepPage(QStringLiteral("welcome"),
                    {icon, heading(Localized::text("Kestruneへようこそ"), Style::Title),
                     centred(Localized::text("AIがこのMacの使い方を学習し、バッテリーを長持ちさせます。"), Style::Body,
                             Style::Secondary),
                     features});
}

QWidget* OnboardingView::notificationStep()
{
    m_notificationsAllowed = coloured(QStringLiteral("checkmark.circle.fill"), Localized::text("通知は許可されています"),
                                      SystemColors::green(), QStringLiteral("notificationsAllowed"));

    m_notificationsDenied = new QWidget;
    m_notificationsDenied->setObjectName(QStringLiteral("notificationsDenied"));
    auto* denied = new QVBoxLayout(m_notificationsDenied);
    denied->setContentsMargins(0, 0, 0, 0);
    denied->setSpacing(8);
    denied->addWidget(coloured(QStringLiteral("exclamationmark.triangle"),
                               Localized::text("通知が拒否されています(あとから変更できます)"), SystemColors::orange(),
                               QStringLiteral("deniedLabel")),
                      0, Qt::AlignHCenter);
    QPushButton* openSettings = button(Localized::text("システム設定で許可する"), QStringLiteral("openNotificationSettings"));
    connect(openSettings, &QPushButton::clicked, this, [this] { m_options.systemSettings.openNotificationSettings(); });
    denied->addWidget(openSettings, 0, Qt::AlignHCenter);

    m_requestNotification = button<ProminentButton>(Localized::text("通知を許可する"), QStringLiteral("requestNotification"));
    m_requestNotification->setIcon(Style::symbol(QStringLiteral("bell"), Qt::white, 16, qApp->devicePixelRatio()));
    m_requestNotification->setFixedWidth(wideButtonWidth);
    connect(m_requestNotification, &QPushButton::clicked, this, &OnboardingView::requestNotification);

    return stepPage(QStringLiteral("notifications"),
                    {stepIcon(QStringLiteral("bell.badge.fill"), SystemColors::red()),
                     heading(Localized::text("通知の許可"), Style::Title2),
                     centred(Localized::text("充電の完了・バッテリーの高温・AI節電レポートなど、\n大事なタイミングだけお知らせします。"),
                             Style::Body, Style::Secondary),
                     m_notificationsAllowed, m_notificationsDenied, m_requestNotification});
}

QWidget* OnboardingView::helperStep()
{
    m_helperEnabled = coloured(QStringLiteral("checkmark.circle.fill"), Localized::text("ヘルパーは有効です"),
                               SystemColors::green(), QStringLiteral("helperEnabled"));

    m_helperApproval = new QWidget;
    m_helperApproval->setObjectName(QStringLiteral("helperApproval"));
    auto* approval = new QVBoxLayout(m_helperApproval);
    approval->setContentsMargins(0, 0, 0, 0);
    approval->setSpacing(8);
    approval->addWidget(coloured(QStringLiteral("hand.raised.fill"), Localized::text("システム設定での許可が必要です"),
                                 SystemColors::orange(), QStringLiteral("approvalLabel")),
                        0, Qt::AlignHCenter);
    approval->addWidget(centred(Localized::text("「ログイン項目と機能拡張」で Kestrune を許可してください。"), Style::Caption,
                                Style::Secondary));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* openSettings = button<ProminentButton>(Localized::text("システム設定を開く"), QStringLiteral("openLoginItems"));
    connect(openSettings, &QPushButton::clicked, this, [this] { GeneralView::openLoginItemsSettings(m_state); });
    buttons->addWidget(openSettings);
    QPushButton* reconnect = button(Localized::text("許可したので再接続"), QStringLiteral("reconnectHelper"));
    connect(reconnect, &QPushButton::clicked, this, [this] { GeneralView::reconnectAndEvaluate(m_state); });
    buttons->addWidget(reconnect);
    buttons->addStretch(1);
    approval->addLayout(buttons);

    m_enableHelper = button<ProminentButton>(Localized::text("ヘルパーを有効にする"), QStringLiteral("enableHelper"));
    m_enableHelper->setIcon(Style::symbol(QStringLiteral("bolt.shield"), Qt::white, 16, qApp->devicePixelRatio()));
    m_enableHelper->setFixedWidth(wideButtonWidth);
    connect(m_enableHelper, &QPushButton::clicked, this, [this] { m_state.registerHelper(); });

    QLabel* skip = centred(
        Localized::text("スキップしても監視機能は使えます(充電制御・省電力は後から「一般」タブで有効化できます)。"),
        Style::Caption, Style::Tertiary);

    return stepPage(QStringLiteral("helper"),
                    {stepIcon(QStringLiteral("bolt.shield.fill"), SystemColors::green()),
                     heading(Localized::text("充電制御を有効にする"), Style::Title2),
                     centred(Localized::text("充電上限や省電力の自動制御には、システム権限を持つ\nヘルパーの登録が必要です(Appleの標準機構を使用)。"),
                             Style::Body, Style::Secondary),
                     m_helperEnabled, m_helperApproval, m_enableHelper, skip});
}

QWidget* OnboardingView::finishStep()
{
    auto* toggle = new QCheckBox(Localized::text("ログイン時に自動で起動する(推奨)"));
    toggle->setObjectName(QStringLiteral("launchAtLogin"));
    toggle->setChecked(m_launchAtLogin);
    connect(toggle, &QCheckBox::toggled, this, [this](bool on) { m_launchAtLogin = on; });
    auto* toggleRow = new QWidget;
    auto* toggleLayout = new QVBoxLayout(toggleRow);
    toggleLayout->setContentsMargins(0, 6, 0, 0);
    toggleLayout->addWidget(toggle, 0, Qt::AlignHCenter);

    auto* summary = new QWidget;
    summary->setObjectName(QStringLiteral("summary"));
    // A longer translation widens the rows rather than being cut off.
    summary->setMinimumWidth(summaryWidth);
    auto* rows = new QVBoxLayout(summary);
    rows->setContentsMargins(0, 0, 0, 0);
    m_notificationSummary = summaryRow(Localized::text("通知"), summary);
    m_helperSummary = summaryRow(Localized::text("充電制御ヘルパー"), summary);

    auto* centredSummary = new QWidget;
    auto* centring = new QHBoxLayout(centredSummary);
    centring->setContentsMargins(0, 0, 0, 0);
    centring->addWidget(summary, 0, Qt::AlignHCenter);
    return stepPage(QStringLiteral("ready"), {stepIcon(QStringLiteral("checkmark.seal.fill"), SystemColors::green()),
                                              heading(Localized::text("準備ができました"), Style::Title2), toggleRow,
                                              centredSummary});
}

OnboardingView::SummaryRow OnboardingView::summaryRow(const QString& title, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    SummaryRow summary{new QLabel(row), new QLabel(title, row), label(QString(), Style::Caption, Style::Secondary)};
    summary.state->setObjectName(QStringLiteral("summaryState"));
    summary.state->setWordWrap(false);
    layout->addWidget(summary.icon);
    layout->addWidget(summary.title);
    layout->addStretch(1);
    layout->addWidget(summary.state);
    parent->layout()->addWidget(row);
    return summary;
}

QWidget* OnboardingView::controls()
{
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(16, 16, 16, 16);
    m_dots = new PageDots(totalSteps, bar);
    m_dots->setObjectName(QStringLiteral("dots"));
    layout->addWidget(m_dots);
    layout->addStretch(1);
    m_back = button(Localized::text("戻る"), QStringLiteral("back"));
    connect(m_back, &QPushButton::clicked, this, [this] { setStep(m_step - 1); });
    layout->addWidget(m_back);
    m_next = button<ProminentButton>(QString(), QStringLiteral("next"));
    m_next->setDefault(true);
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_step < totalSteps - 1)
            setStep(m_step + 1);
        else
            finish();
    });
    layout->addWidget(m_next);
    return bar;
}

void OnboardingView::setStep(int step)
{
    m_step = step;
    // Anything past the helper step is the ready step.
    m_steps->setCurrentIndex(std::clamp(step, 0, totalSteps - 1));
    m_dots->setCurrent(step);
    m_back->setVisible(step >= 1);
    m_next->setText(Localized::text(step == 0 ? startTitle : step < totalSteps - 1 ? nextTitle : doneTitle));
    refreshSummary();
}

void OnboardingView::finish()
{
    // A login item that cannot be written must not keep the user from the application.
    if (m_launchAtLogin)
        m_state.loginItem().registerItem();
    m_state.completeOnboarding();
    accept();
    // The opener brings the main window to the front.
    m_openWindow(QStringLiteral("main"));
}

void OnboardingView::requestNotification()
{
    m_requestingNotification = true;
    refreshNotificationStep();
    QTimer::singleShot(0, this, [this] { readNotificationStatus(true); });
}

QCoro::Task<> OnboardingView::readNotificationStatus(bool request)
{
    QPointer<OnboardingView> self(this);
    Notifier& notifier = m_state.notifier();
    if (request) {
        co_await notifier.requestAuthorization();
        if (!self)
            co_return;
    }
    const Notifier::AuthorizationStatus status = co_await notifier.authorizationStatus();
    if (!self)
        co_return;
    m_notificationStatus = status;
    if (request)
        m_requestingNotification = false;
    refreshNotificationStep();
    refreshSummary();
}

void OnboardingView::refreshNotificationStep()
{
    using Status = Notifier::AuthorizationStatus;
    m_notificationsAllowed->setVisible(m_notificationStatus == Status::Authorized);
    m_notificationsDenied->setVisible(m_notificationStatus == Status::Denied);
    m_requestNotification->setVisible(m_notificationStatus != Status::Authorized
                                      && m_notificationStatus != Status::Denied);
    m_requestNotification->setEnabled(!m_requestingNotification);
}

void OnboardingView::refreshHelperStep()
{
    const HelperClient& helper = m_state.helper();
    const bool connected = helper.isConnected();
    const bool approval = !connected && helper.status() == HelperClient::Status::RequiresApproval;
    m_helperEnabled->setVisible(connected);
    m_helperApproval->setVisible(approval);
    m_enableHelper->setVisible(!connected && !approval);
    refreshSummary();
}

void OnboardingView::refreshSummary()
{
    setSummary(m_notificationSummary, m_notificationStatus == Notifier::AuthorizationStatus::Authorized);
    setSummary(m_helperSummary, m_state.helper().isConnected());
}

void OnboardingView::setSummary(const SummaryRow& row, bool granted)
{
    const QColor color = granted ? SystemColors::green()
                                 : Style::foreground(Style::Secondary, row.title->palette().color(QPalette::WindowText));
    row.icon->setPixmap(Style::symbol(granted ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("minus.circle"),
                                      color, row.title->fontMetrics().height(), row.icon->devicePixelRatioF()));
    row.state->setText(granted ? Localized::text("有効") : Localized::text("未設定(後から変更可)"));
}

} // namespace kestrune
