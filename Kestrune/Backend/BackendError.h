#pragma once

#include <QString>

namespace kestrune {

// Why a request to the backend failed, as the strategist and the sync show it.
class BackendError {
public:
    enum class Kind {
        HttpError, // the server answered outside 2xx (status and body)
        Disabled, // the backend is switched off in the settings
        Offline, // no network, no device identifier, or the transfer failed
        InvalidURL, // the base address or the route does not form an address
        InvalidResponse, // not an HTTP answer, too large, or JSON of the wrong shape
    };

    static BackendError httpError(int status, QString body);
    static BackendError disabled() { return BackendError(Kind::Disabled); }
    static BackendError offline() { return BackendError(Kind::Offline); }
    static BackendError invalidURL() { return BackendError(Kind::InvalidURL); }
    static BackendError invalidResponse() { return BackendError(Kind::InvalidResponse); }

    Kind kind() const { return m_kind; }
    // HttpError only.
    int status() const { return m_status; }
    QString body() const { return m_body; }
    bool isHttpStatus(int status) const { return m_kind == Kind::HttpError && m_status == status; }

    // "HTTP <status>: " and the body's first 200 characters, or the translated fixed text.
    QString description() const;

    bool operator==(const BackendError&) const = default;

private:
    explicit BackendError(Kind kind, int status = 0, QString body = QString());

    Kind m_kind;
    int m_status;
    QString m_body;
};

} // namespace kestrune
