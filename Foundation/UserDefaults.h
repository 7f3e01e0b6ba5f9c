#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <optional>

class QTimer;

namespace kestrune {

// The application's preferences: a typed key-value store kept in one JSON file.
//
// Values keep their type (boolean, integer, double, text, data, date, arrays and dictionaries
// of those), so that a reader can tell a stored `true` from the number 1 or the text "80"
// from the number 80. Every change is written back atomically, with mode 0600: what the user
// sets at the end of the turn of the event loop it was set in, figures the program derives from
// its readings in batches, at most once per batch interval (a crash loses no more than that).
// Any write takes everything that waits, and `synchronize()` writes it at once (at quit, before
// sleep, when the session ends).
// A file that cannot be understood is moved aside and the store starts empty; it is never
// overwritten. A file of a newer format is left as it is for the build that wrote it: this
// one then keeps its values in memory only. One malformed value costs only its key, which
// reads as absent and is written back as it was found.
class UserDefaults : public QObject {
    Q_OBJECT

public:
    // How a change reaches the file: the user's settings `Now`, figures the program derives
    // from its readings on every tick `Batched`.
    enum class Write { Now, Batched };
    static constexpr std::chrono::milliseconds defaultBatchInterval = std::chrono::minutes(1);

    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr,
                          std::chrono::milliseconds batchInterval = defaultBatchInterval);
    ~UserDefaults() override;

    // $XDG_CONFIG_HOME/Kestrune/defaults.json
    static QString standardFilePath();

    QString filePath() const { return m_filePath; }

    // Set when the file could not be used at start, in whole or in part: why, and where the
    // old file now lies (empty when it was not moved; when it was not used at all, the store
    // then never writes the file).
    QString loadError() const { return m_loadError; }
    QString quarantinedPath() const { return m_quarantinedPath; }
    // The reason of the last failed write, empty after a successful one.
    QString lastWriteError() const { return m_lastWriteError; }

    // The stored value as it is (invalid when absent). Integers come back as qint64.
    QVariant object(const QString& key) const;
    bool contains(const QString& key) const { return m_values.contains(key); }
    QStringList keys() const { return m_values.keys(); }

    // Stores a value: bool, any integer type, float/double, QString, QByteArray, QDateTime,
    // QStringList, QVariantList and QVariantMap of these. An invalid QVariant removes the key.
    // Values of other types are refused (returns false, nothing changes). A value equal to
    // the stored one, type included, writes nothing.
    bool set(const QString& key, const QVariant& value, Write write = Write::Now);
    void remove(const QString& key);

    // Lenient typed reads, for keys whose exact type does not matter to the caller:
    // a bool also reads a number (non-zero) or the text "true"/"yes"/"1"; numbers read
    // each other and numeric text; absent or other types give false, 0 or nothing.
    bool boolean(const QString& key) const;
    qint64 integer(const QString& key) const;
    double real(const QString& key) const;
    std::optional<QString> string(const QString& key) const;      // text, or a number's text
    std::optional<QStringList> stringArray(const QString& key) const; // only if every item is text
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QVariantList> array(const QString& key) const;
    std::optional<QVariantMap> dictionary(const QString& key) const;

    // Writes pending changes now, batched ones included. Returns false when the file could
    // not be written.
    bool synchronize();

signals:
    void changed(const QString& key);

private:
    void load();
    void scheduleWrite(Write write = Write::Now);

    QString m_filePath;
    QVariantMap m_values;
    // Entries of the file this build could not read, kept as they were until their key is
    // set or removed.
    QJsonObject m_unreadable;
    bool m_dirty = false;
    bool m_writeScheduled = false;
    // Runs while batched changes wait and no earlier write is due.
    QTimer* m_batchTimer;
    bool m_writable = true;
    QString m_loadError;
    QString m_quarantinedPath;
    QString m_lastWriteError;
};

} // namespace kestrune
