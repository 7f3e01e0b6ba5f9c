#pragma once

#include "Foundation/Clock.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkReply;

namespace kestrune {

class UpdateUserDriver;
class UserDefaults;

// Checks, when asked, whether a newer release than this build has been published, and shows
// the answer through a user driver. Nothing is checked on a schedule, downloaded or
// installed: the distribution's packages bring updates; this only points the user to them.
//
// A check is one GET of the release feed. While it runs no second check can start.
class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    static constexpr auto lastCheckTimeKey = "updater.lastCheckTime";
    // A feed address stored here takes the built-in one's place, an empty one turns checks
    // off: so a demo or a test installation points its checks at a feed of its own, or none.
    static constexpr auto feedUrlKey = "SUFeedURL";
    // A feed is a few kilobytes; anything far larger is not one.
    static constexpr qint64 maximumFeedBytes = 16 * 1024 * 1024;

    struct Options {
        QUrl feedUrl = builtInFeedUrl();
        QString currentVersion = builtInVersion();
        std::chrono::milliseconds timeout{20000};
    };

    // The feed this build was configured with; empty when it was built without update checks.
    static QUrl builtInFeedUrl();
    // This build's own version.
    static QString builtInVersion();

    // `defaults` and `driver` must outlive the updater. Without an http(s) feed address, or
    // without a readable version of its own, the updater can never check.
    Updater(Options options, UserDefaults& defaults, UpdateUserDriver& driver, const Clock& clock = Clock::system(),
            QObject* parent = nullptr);
    ~Updater() override;

    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    // When a check last got a readable answer from the feed; kept across launches.
    std::optional<QDateTime> lastUpdateCheckDate() const;

    // Starts a check unless one is running or none can be made.
    void checkForUpdates();

signals:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    void finish();
    void setCanCheckForUpdates(bool canCheck);

    Options m_options;
    UserDefaults& m_defaults;
    UpdateUserDriver& m_driver;
    const Clock& m_clock;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    bool m_canCheckForUpdates = false;
    bool m_tooLarge = false;
};

} // namespace kestrune
