#include "Kestrune/UI/GeneralView.h"

#include "Foundation/Localized.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppState.h"
#include "Kestrune/App/UpdaterManager.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/PlainText.h"
#include "Kestrune/UI/SettingToggle.h"
#include "Kestrune/UI/Style.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Kestrune/UI/WheelGuard.h"
#include "Kestrune/UI/WhileShown.h"
#include "Platform/ServiceManagement/LoginItem.h"
#include "Platform/Symbols/SystemColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <cmath>
#include <functional>

namespace kestrune {

namespace {

// The coroutines take what they use as parameters, which live in their frames: a lambda's
// captures would be gone once the timer that ran it has deleted it.
QCoro::Task<> connectThenEvaluate(AppState& state)
{
    const QPointer<const QObject> alive = state.lifetime();
    co_await state.helper().ensureConnected();
    if (alive)
        co_await state.evaluateNow();
}

QCoro::Task<> resetThenEvaluate(AppState& state)
{
    const QPointer<const QObject> alive = state.lifetime();
    co_await state.helper().resetChargingDefaults();
    if (!alive)
        co_return;
    // The daemon now allows charging whatever the controller last wrote. Forgotten, that
    // state is written again as the evaluation decides it, instead of being taken as
    // already in force while the battery charges past the limit.
    state.controller().invalidateAppliedCache();
    co_await state.evaluateNow();
}

// A button at its own width at the row's leading edge.
QWidget* leading(QPushButton* button)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button);
    layout->addStretch(1);
    return row;
}

QPixmap dot(const QColor& color, qreal devicePixelRatio)
{
    constexpr int side = 8;
    QPixmap pixmap(int(std::ceil(side * devicePixelRatio)), int(std::ceil(side * devicePixelRatio)));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, side, side));
    return pixmap;
}

struct NotificationRule {
    const char* text;
    SettingToggle::Getter get;
    SettingToggle::Setter set;
    SettingToggle::Changed changed;
};

const NotificationRule notificationRules[] = {
    { QT_TRANSLATE_NOOP("Kestrune", "充電上限に到達したら通知"), &ChargingSettings::notifyOnLimitReached,
        &ChargingSettings::setNotifyOnLimitReached, &ChargingSettings::notifyOnLimitReachedChanged },
    { QT_TRANSLATE_NOOP("Kestrune", "満充電が完了したら通知"), &ChargingSettings::notifyOnFull,
        &ChargingSettings::setNotifyOnFull, &ChargingSettings::notifyOnFullChanged },
    { QT_TRANSLATE_NOOP("Kestrune", "高温を警告"), &ChargingSettings::notifyHighTemp,
        &ChargingSettings::setNotifyHighTemp, &ChargingSettings::notifyHighTempChanged },
    { QT_TRANSLATE_NOOP("Kestrune", "異常なバッテリー消費を警告"), &ChargingSettings::notifyHighDrain,
        &ChargingSettings::setNotifyHighDrain, &ChargingSettings::notifyHighDrainChanged },
    { QT_TRANSLATE_NOOP("Kestrune", "節電マイルストーンを通知(シェア促し)"),
        &ChargingSettings::notifyMilestones, &ChargingSettings::setNotifyMilestones,
        &ChargingSettings::notifyMilestonesChanged },
};

// The threshold's slider follows the third rule, the high-temperature warning.
constexpr int thresholdAfterRule = 2;

} // namespace

GeneralView::GeneralView(AppState& state, Seeds seeds, QWidget* parent)
    : GroupedForm(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("general"));
    buildHelperSection();
    buildNotificationSection();
    buildDisplaySection(seeds);
    buildMaintenanceSections();

    auto* whileShown = new WhileShown(this);
    whileShown->onShow([this] {
        m_state.helper().refreshStatus();
        // The login item may have been changed elsewhere while the tab was away.
        setLaunchAtLogin(m_state.loginItem().status() == ServiceManagement::Status::Enabled);
        showUpdates();
    });
}

void GeneralView::reconnectAndEvaluate(AppState& state)
{
    QTimer::singleShot(0, &state, [&state] { connectThenEvaluate(state); });
}

void GeneralView::repairHelper(AppState& state)
{
    QTimer::singleShot(0, &state, [&state] { state.repairHelper(); });
}

bool GeneralView::openLoginItemsSettings(AppState& state)
{
    return state.services().openSystemSettingsLoginItems();
}

// The helper ------------------------------------------------------------------------------

void GeneralView::buildHelperSection()
{
    FormSection* section = addSection(Localized::text("充電制御ヘルパー"));
    auto* stateValue = new QWidget;
    auto* stateLayout = new QHBoxLayout(stateValue);
    stateLayout->setContentsMargins(0, 0, 0, 0);
    m_stateDot = new QLabel;
    m_stateDot->setObjectName(QStringLiteral("stateDot"));
    m_stateText = new QLabel;
    m_stateText->setObjectName(QStringLiteral("stateText"));
    PlainText::apply(m_stateText);
    stateLayout->addWidget(m_stateDot);
    stateLayout->addWidget(m_stateText);
    section->addRow(Localized::text("状態"), stateValue);

    m_version = section->addTextRow(Localized::text("ヘルパーバージョン"), QStringLiteral("helperVersion"));
    m_controlKey = section->addTextRow(Localized::text("充電停止キー"), QStringLiteral("controlKey"));
    m_dischargeKey = section->addTextRow(Localized::text("放電キー"), QStringLiteral("dischargeKey"));
    m_appleLimit
        = section->addTextRow(Localized::text("Apple 80%リミット(CHWA)"), QStringLiteral("appleLimit"));
    m_notes = section->addNote({});
    m_notes->setObjectName(QStringLiteral("probeNotes"));

    m_error = SymbolLabel::warning({});
    m_error->setObjectName(QStringLiteral("helperError"));
    m_errorRow = section->addRow(m_error);

    m_buttons = new QWidget;
    m_buttons->setObjectName(QStringLiteral("helperButtons"));
    auto* buttons = new QHBoxLayout(m_buttons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    section->addRow(m_buttons);
    m_instructions = section->addNote(m_state.services().enableInstructions());
    m_instructions->setObjectName(QStringLiteral("enableInstructions"));
    m_instructions->parentWidget()->hide();
    section->addNote(Localized::text(
        "充電制御(SMC書き込み)にはroot権限のヘルパーデーモンが必要です。登録後、「システム設定 → "
        "ログイン項目と機能拡張」"
        "で許可し、この画面に戻って「許可したので再接続」を押してください。"));

    HelperClient& helper = m_state.helper();
    connect(&helper, &HelperClient::statusChanged, this, &GeneralView::showButtons);
    connect(&helper, &HelperClient::isConnectedChanged, this, &GeneralView::showButtons);
    connect(&helper, &HelperClient::isConnectedChanged, this, &GeneralView::showHelper);
    connect(&helper, &HelperClient::statusChanged, this, &GeneralView::showHelper);
    connect(&helper, &HelperClient::helperVersionChanged, this, &GeneralView::showHelper);
    connect(&helper, &HelperClient::capabilitiesChanged, this, &GeneralView::showHelper);
    connect(&helper, &HelperClient::lastErrorChanged, this, &GeneralView::showHelper);
    showHelper();
    showButtons();
}

void GeneralView::showHelper()
{
    const HelperClient& helper = m_state.helper();
    const bool connected = helper.isConnected();
    m_stateDot->setPixmap(
        dot(connected ? SystemColors::green() : SystemColors::orange(), devicePixelRatioF()));
    m_stateText->setText(connected ? Localized::text("接続済み") : HelperClient::label(helper.status()));

    m_version->parentWidget()->setVisible(helper.helperVersion().has_value());
    m_version->setText(QStringLiteral("v%1").arg(helper.helperVersion().value_or(0)));

    const std::optional<ChargingCapabilities> capabilities = helper.capabilities();
    for (QLabel* probe : { m_controlKey, m_dischargeKey, m_appleLimit })
        probe->parentWidget()->setVisible(capabilities.has_value());
    const QString none = Localized::text("なし");
    if (capabilities) {
        m_controlKey->setText(capabilities->chargingControlMethod.value_or(none));
        m_dischargeKey->setText(capabilities->dischargeMethod.value_or(none));
        m_appleLimit->setText(capabilities->hasAppleLimit80 ? Localized::text("あり") : none);
        m_notes->setText(capabilities->notes.join(QStringLiteral(" / ")));
    }
    m_notes->parentWidget()->setVisible(capabilities && !capabilities->notes.isEmpty());

    m_errorRow->setVisible(helper.lastError().has_value());
    m_error->setText(helper.lastError().value_or(QString()));
}

void GeneralView::showButtons()
{
    struct Button {
        const char* text;
        const char* name;
        std::function<void()> action;
        bool destructive = false;
    };
    AppState& state = m_state;
    const Button reconnect { QT_TRANSLATE_NOOP("Kestrune", "再接続してプローブ"), "reconnect",
        [&state] { reconnectAndEvaluate(state); } };
    const Button repair { QT_TRANSLATE_NOOP("Kestrune", "ヘルパーを修復"), "repair",
        [&state] { repairHelper(state); } };
    const Button unregister { QT_TRANSLATE_NOOP("Kestrune", "登録解除"), "unregister",
        [&state] { state.helper().unregister(); }, true };
    const Button enable { QT_TRANSLATE_NOOP("Kestrune", "ヘルパーを有効化"), "enable",
        [&state] { state.registerHelper(); } };
    const Button openSettings { QT_TRANSLATE_NOOP("Kestrune", "システム設定を開く"), "openSettings", [this] {
                                   if (!openLoginItemsSettings(m_state))
                                       m_instructions->parentWidget()->show();
                               } };
    const Button approved { QT_TRANSLATE_NOOP("Kestrune", "許可したので再接続"), "approvedReconnect",
        [&state] { reconnectAndEvaluate(state); } };

    QList<Button> shown;
    switch (m_state.helper().status()) {
    case HelperClient::Status::Enabled:
        shown = m_state.helper().isConnected() ? QList<Button> { reconnect, unregister }
                                               : QList<Button> { reconnect, repair, unregister };
        break;
    case HelperClient::Status::RequiresApproval:
        shown = { enable, openSettings, approved, repair };
        break;
    case HelperClient::Status::Unknown:
    case HelperClient::Status::NotRegistered:
    case HelperClient::Status::NotFound:
        shown = { enable };
        break;
    }

    // The pressed button may be the one that changed the status: it goes once its click is over.
    auto* layout = static_cast<QHBoxLayout*>(m_buttons->layout());
    for (QPushButton* old : m_buttons->findChildren<QPushButton*>()) {
        layout->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    for (const Button& entry : std::as_const(shown)) {
        auto* button = new QPushButton(Localized::text(entry.text));
        button->setObjectName(QLatin1String(entry.name));
        button->setAutoDefault(false);
        if (entry.destructive)
            Style::setColor(button, SystemColors::red());
        connect(button, &QPushButton::clicked, this, entry.action);
        layout->insertWidget(layout->count() - 1, button);
    }
}

// Notifications ---------------------------------------------------------------------------

void GeneralView::buildNotificationSection()
{
    ChargingSettings& settings = m_state.settings();
    FormSection* section = addSection(Localized::text("通知"));
    for (int i = 0; i < int(std::size(notificationRules)); ++i) {
        const NotificationRule& rule = notificationRules[i];
        section->addRow(
            new SettingToggle(Localized::text(rule.text), settings, rule.get, rule.set, rule.changed));
        if (i != thresholdAfterRule)
            continue;
        auto* value = new QWidget;
        auto* layout = new QHBoxLayout(value);
        layout->setContentsMargins(0, 0, 0, 0);
        m_thresholdText = new QLabel;
        m_thresholdText->setObjectName(QStringLiteral("thresholdText"));
        m_threshold = new QSlider(Qt::Horizontal);
        m_threshold->setObjectName(QStringLiteral("thresholdSlider"));
        m_threshold->setRange(30, 45);
        m_threshold->setPageStep(1);
        WheelGuard::install(m_threshold);
        layout->addWidget(m_thresholdText);
        layout->addWidget(m_threshold, 1);
        m_thresholdRow = section->addRow(value);
        connect(m_threshold, &QSlider::valueChanged, &settings,
            [&settings](int degrees) { settings.setHighTempThreshold(degrees); });
    }
    connect(&settings, &ChargingSettings::notifyHighTempChanged, this, &GeneralView::showNotifications);
    connect(&settings, &ChargingSettings::highTempThresholdChanged, this, &GeneralView::showNotifications);
    showNotifications();
}

void GeneralView::showNotifications()
{
    const ChargingSettings& settings = m_state.settings();
    // Whole degrees: the integer part of what is stored, which a hidden slider leaves as it is.
    const qint64 degrees = qint64(settings.highTempThreshold());
    m_thresholdRow->setVisible(settings.notifyHighTemp());
    m_thresholdText->setText(Localized::fmt("しきい値 %lld°C", degrees));
    const QSignalBlocker blocker(m_threshold);
    m_threshold->setValue(int(degrees));
}

// Display, login and language ----------------------------------------------------------

void GeneralView::buildDisplaySection(const Seeds& seeds)
{
    ChargingSettings& settings = m_state.settings();
    FormSection* section = addSection(Localized::text("表示と起動"));
    section->addRow(new SettingToggle(Localized::text("メニューバーに残量%を表示"), settings,
        &ChargingSettings::showPercentInMenuBar, &ChargingSettings::setShowPercentInMenuBar,
        &ChargingSettings::showPercentInMenuBarChanged));

    m_launchAtLogin = new QCheckBox(Localized::text("ログイン時に起動"));
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLogin"));
    section->addRow(m_launchAtLogin);
    setLaunchAtLogin(seeds.launchAtLogin);
    // Only the user's click registers or unregisters; the view's own settings of the switch
    // (the seed, each appearance, a failure put right) change what it shows and nothing else.
    connect(m_launchAtLogin, &QCheckBox::clicked, this, &GeneralView::launchAtLoginToggled);

    m_language = new QComboBox;
    m_language->setObjectName(QStringLiteral("language"));
    WheelGuard::install(m_language);
    m_language->addItem(Localized::text("システムに従う"), AppLanguage(AppLanguage::system).rawValue());
    m_language->addItem(QStringLiteral("日本語"), AppLanguage(AppLanguage::japanese).rawValue());
    m_language->addItem(QStringLiteral("English"), AppLanguage(AppLanguage::english).rawValue());
    m_languageChoice = seeds.language;
    m_language->setCurrentIndex(m_language->findData(m_languageChoice.rawValue()));
    section->addRow(Localized::text("言語"), m_language);
    connect(m_language, &QComboBox::activated, this, &GeneralView::languagePicked);
}

void GeneralView::setLaunchAtLogin(bool on)
{
    const QSignalBlocker blocker(m_launchAtLogin);
    m_launchAtLogin->setChecked(on);
}

void GeneralView::launchAtLoginToggled(bool on)
{
    LoginItem& item = m_state.loginItem();
    const std::optional<QString> error = on ? item.registerItem() : item.unregisterItem();
    // The error itself goes unshown; the switch shows where the login item really stands.
    if (error)
        setLaunchAtLogin(item.status() == ServiceManagement::Status::Enabled);
}

void GeneralView::languagePicked(int index)
{
    const std::optional<AppLanguage> picked = AppLanguage::fromRaw(m_language->itemData(index).toString());
    if (!picked || *picked == m_languageChoice)
        return;
    m_languageChoice = *picked;
    AppLanguage::apply(*picked, m_state.defaults());

    // Asked every time, also when the choice goes back to the language running now.
    delete m_relaunchPrompt;
    auto* prompt
        = new QMessageBox(QMessageBox::NoIcon, Localized::text("言語の変更を反映するには再起動が必要です"),
            Localized::text("再起動すると選択した言語で表示されます。"), QMessageBox::NoButton, this);
    prompt->setObjectName(QStringLiteral("relaunchPrompt"));
    prompt->setTextFormat(Qt::PlainText);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* now = prompt->addButton(Localized::text("今すぐ再起動"), QMessageBox::AcceptRole);
    now->setObjectName(QStringLiteral("relaunchNow"));
    prompt->addButton(Localized::text("後で"), QMessageBox::RejectRole)
        ->setObjectName(QStringLiteral("later"));
    prompt->setDefaultButton(now);
    connect(now, &QPushButton::clicked, prompt, [] { AppLanguage::relaunchApp(); });
    m_relaunchPrompt = prompt;
    prompt->open();
}

// Maintenance and updates -------------------------------------------------------------

void GeneralView::buildMaintenanceSections()
{
    FormSection* maintenance = addSection(Localized::text("メンテナンス"));
    m_reset = new QPushButton(Localized::text("充電制御をリセット(充電を許可状態に戻す)"));
    m_reset->setObjectName(QStringLiteral("resetCharging"));
    m_reset->setAutoDefault(false);
    maintenance->addRow(leading(m_reset));
    maintenance->addNote(Localized::text(
        "macOS標準の「バッテリー充電の最適化」はオフを推奨します(本アプリの制御と競合します)。"
        "システム設定 → バッテリーで変更できます。"));
    connect(m_reset, &QPushButton::clicked, this, &GeneralView::resetCharging);
    const auto followConnection = [this](bool connected) { m_reset->setEnabled(connected); };
    connect(&m_state.helper(), &HelperClient::isConnectedChanged, this, followConnection);
    followConnection(m_state.helper().isConnected());

    FormSection* updates = addSection(Localized::text("ソフトウェアアップデート"));
    const QString version = QCoreApplication::applicationVersion();
    updates->addTextRow(Localized::text("バージョン"), QStringLiteral("appVersion"))
        ->setText(version.isEmpty() ? QStringLiteral("-") : version);
    m_lastCheck = updates->addTextRow(Localized::text("前回の確認"), QStringLiteral("lastCheck"));
    m_checkForUpdates = new QPushButton(Localized::text("今すぐアップデートを確認"));
    m_checkForUpdates->setObjectName(QStringLiteral("checkForUpdates"));
    m_checkForUpdates->setAutoDefault(false);
    updates->addRow(leading(m_checkForUpdates));
    updates->addNote(Localized::text(
        "新しいバージョンは自動的に確認・ダウンロードされ、アプリの再起動時に適用されます。"));
    connect(m_checkForUpdates, &QPushButton::clicked, this, [this] {
        if (Updater* updater = m_state.updater().controller())
            updater->checkForUpdates();
    });
    // A check that ends makes checking possible again, and may have a new date to show.
    connect(&m_state.updater(), &UpdaterManager::canCheckForUpdatesChanged, this, &GeneralView::showUpdates);
    showUpdates();
}

void GeneralView::showUpdates()
{
    const Updater* updater = m_state.updater().controller();
    const std::optional<QDateTime> last = updater ? updater->lastUpdateCheckDate() : std::nullopt;
    m_lastCheck->parentWidget()->setVisible(last.has_value());
    if (last)
        m_lastCheck->setText(QLocale().toString(last->toLocalTime(), Localized::text("yyyy/MM/dd H:mm")));
    m_checkForUpdates->setEnabled(m_state.updater().canCheckForUpdates());
}

void GeneralView::resetCharging()
{
    QTimer::singleShot(0, &m_state, [&state = m_state] { resetThenEvaluate(state); });
}

} // namespace kestrune
