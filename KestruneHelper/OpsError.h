#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

namespace kestrune {

// Why a power-saving operation failed. The text is the reply message the application shows.
class OpsError : public std::exception {
public:
    enum class Kind {
        InvalidPID,
        SystemProcessProtected,
        SetpriorityFailed,
        CommandFailed,
        // A tool that could not be started at all; the text is the launcher's own.
        LaunchFailed,
    };

    // The pid is kept wide so that one outside the 32-bit range reads as it was sent.
    static OpsError invalidPID(qint64 pid);
    static OpsError systemProcessProtected(std::int32_t pid, std::uint32_t uid);
    static OpsError setpriorityFailed(std::int32_t pid, std::int32_t error);
    static OpsError commandFailed(const QString& command, std::int32_t status, const QString& output);
    static OpsError launchFailed(const QString& description);

    Kind kind() const { return m_kind; }
    const QString& text() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    OpsError(Kind kind, QString text);

    Kind m_kind;
    QString m_text;
    QByteArray m_utf8;
};

} // namespace kestrune
