#include "Platform/Updater/Updater.h"

#include "Foundation/Localized.h"
#include "Foundation/UserDefaults.h"
#include "Platform/Network/ReplyDeadline.h"
#include "Platform/Updater/UpdateFeed.h"
#include "Platform/Updater/UpdateUserDriver.h"
#include "Platform/Updater/VersionNumber.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace kestrune {

QUrl Updater::builtInFeedUrl()
{
    return QUrl(QStringLiteral(KESTRUNE_UPDATE_FEED_URL));
}

QString Updater::builtInVersion()
{
    return QStringLiteral(KESTRUNE_VERSION);
}

Updater::Updater(Options options, UserDefaults& defaults, UpdateUserDriver& driver, const Clock& clock,
                 QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_defaults(defaults)
    , m_driver(driver)
    , m_clock(clock)
{
    if (const std::optional<QString> feed = m_defaults.string(QString::fromLatin1(feedUrlKey)))
        m_options.feedUrl = QUrl(*feed);
    m_canCheckForUpdates = UpdateFeed::isWebAddress(m_options.feedUrl)
        && VersionNumber::parse(m_options.currentVersion).has_value();
    m_network.setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
}

Updater::~Updater()
{
    // The reply goes with the network manager; its finished signal must not reach us then.
    if (m_reply)
        m_reply->disconnect(this);
}

std::optional<QDateTime> Updater::lastUpdateCheckDate() const
{
    const QVariant stored = m_defaults.object(QString::fromLatin1(lastCheckTimeKey));
    if (stored.typeId() != QMetaType::QDateTime)
        return std::nullopt;
    return stored.toDateTime();
}

void Updater::checkForUpdates()
{
    if (!m_canCheckForUpdates)
        return;
    setCanCheckForUpdates(false);
    m_tooLarge = false;

    QNetworkRequest request(m_options.feedUrl);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Kestrune/") + m_options.currentVersion);
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, &Updater::finish);
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (received > maximumFeedBytes && !m_tooLarge) {
            m_tooLarge = true;
            reply->abort();
        }
    });
    ReplyDeadline::arm(reply, m_options.timeout);
}

void Updater::finish()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString error;
    std::optional<UpdateRelease> newest;
    if (ReplyDeadline::expired(reply)) {
        error = Localized::text("アップデートサーバーが時間内に応答しませんでした");
    } else if (m_tooLarge) {
        error = Localized::text("アップデート情報が大きすぎます");
    } else if (status != 0 && status != 200) {
        error = Localized::fmt("アップデート情報を取得できませんでした(HTTP %lld)", qint64(status));
    } else if (reply->error() != QNetworkReply::NoError) {
        error = Localized::fmt("アップデート情報を取得できませんでした: %@", reply->errorString());
    } else {
        UpdateFeed::Result feed = UpdateFeed::newestRelease(reply->readAll());
        error = feed.error;
        newest = feed.newest;
    }

    if (!newest) {
        m_driver.showUpdateError(error);
    } else {
        m_defaults.set(QString::fromLatin1(lastCheckTimeKey), m_clock.now());
        const auto current = VersionNumber::parse(m_options.currentVersion);
        if (newest->version > *current)
            m_driver.showUpdateAvailable(newest->version.toString(), newest->page, m_options.currentVersion);
        else
            m_driver.showUpToDate(m_options.currentVersion);
    }
    setCanCheckForUpdates(true);
}

void Updater::setCanCheckForUpdates(bool canCheck)
{
    if (m_canCheckForUpdates == canCheck)
        return;
    m_canCheckForUpdates = canCheck;
    emit canCheckForUpdatesChanged(canCheck);
}

} // namespace kestrune
