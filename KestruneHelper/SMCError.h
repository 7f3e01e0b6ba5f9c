#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

namespace kestrune {

// Why a controller operation failed. The text is what the application shows the user.
class SMCError : public std::exception {
public:
    enum class Kind {
        OpenFailed,
        CallFailed,
        KeyNotFound,
        SmcResult,
        UnexpectedDataSize,
        ServiceNotFound,
        DataTooLarge,
    };

    static SMCError openFailed(std::int32_t code) { return SMCError(Kind::OpenFailed, code); }
    static SMCError callFailed(std::int32_t code) { return SMCError(Kind::CallFailed, code); }
    static SMCError keyNotFound(const QString& key) { return SMCError(Kind::KeyNotFound, 0, key); }
    static SMCError smcResult(std::uint8_t result) { return SMCError(Kind::SmcResult, result); }
    static SMCError unexpectedDataSize(qint64 expected, qint64 got)
    {
        return SMCError(Kind::UnexpectedDataSize, expected, {}, got);
    }
    static SMCError serviceNotFound() { return SMCError(Kind::ServiceNotFound); }
    // A key larger than the record's 32 data bytes cannot be written through it.
    static SMCError dataTooLarge(qint64 size) { return SMCError(Kind::DataTooLarge, size); }

    Kind kind() const { return m_kind; }
    QString key() const { return m_key; }
    QString text() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    explicit SMCError(Kind kind, qint64 value = 0, QString key = {}, qint64 second = 0);

    Kind m_kind;
    qint64 m_value;
    QString m_key;
    qint64 m_second;
    QByteArray m_utf8;
};

} // namespace kestrune
