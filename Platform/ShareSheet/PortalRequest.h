#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace kestrune {

// The answer to one call of the desktop portal. The call's reply only names a request; the
// portal answers later, once the user chose, with the request's Response signal. The request
// is named after the caller and the "handle_token" of the call's options, so it is watched
// for before the call is made and no answer can slip by.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    // The portal's answers.
    static constexpr uint success = 0;
    static constexpr uint cancelled = 1;

    explicit PortalRequest(QDBusConnection bus, QObject* parent = nullptr);

    // The "handle_token" to pass in the call's options.
    QString token() const { return m_token; }
    // The request the call's reply named, where a portal of its own mind named another.
    void setPath(const QString& path) { m_repliedPath = path; }
    // The portal's answer: 0 success, 1 cancelled by the user, 2 anything else; none yet.
    std::optional<uint> response() const { return m_response; }

signals:
    void answered();

private slots:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);

private:
    QString m_token;
    QString m_expectedPath;
    QString m_repliedPath;
    std::optional<uint> m_response;
};

} // namespace kestrune
