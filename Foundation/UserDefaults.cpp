#include "Foundation/UserDefaults.h"

#include "Foundation/Epoch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>

namespace kestrune {

namespace {

constexpr auto formatName = "kestrune-defaults";
constexpr int formatVersion = 1;

// Brings a caller's value into the store's own types; invalid when the type is not storable.
QVariant normalized(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Short: case QMetaType::Long:
    case QMetaType::Char: case QMetaType::SChar:
        return value.toLongLong();
    case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::UShort: case QMetaType::ULong:
    case QMetaType::UChar: {
        bool ok = false;
        const qulonglong u = value.toULongLong(&ok);
        if (u > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return static_cast<double>(u);
        return static_cast<qint64>(u);
    }
    case QMetaType::Float: case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return value.toByteArray();
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? value : QVariant();
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString& s : value.toStringList())
            list << s;
        return list;
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& item : value.toList()) {
            QVariant n = normalized(item);
            if (!n.isValid())
                return {};
            list << n;
        }
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.begin(); it != source.end(); ++it) {
            QVariant n = normalized(it.value());
            if (!n.isValid())
                return {};
            map.insert(it.key(), n);
        }
        return map;
    }
    default:
        return {};
    }
}

QJsonValue encode(const QVariant& value)
{
    QJsonObject tagged;
    switch (value.typeId()) {
    case QMetaType::Bool:
        tagged["bool"] = value.toBool();
        break;
    case QMetaType::LongLong:
        tagged["int"] = value.toLongLong();
        break;
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d))
            tagged["double"] = d;
        else
            tagged["double"] = std::isnan(d) ? "nan" : (d > 0 ? "inf" : "-inf");
        break;
    }
    case QMetaType::QString:
        tagged["string"] = value.toString();
        break;
    case QMetaType::QByteArray:
        tagged["data"] = QString::fromLatin1(value.toByteArray().toBase64());
        break;
    case QMetaType::QDateTime:
        tagged["date"] = Epoch::secondsSince2001(value.toDateTime());
        break;
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& item : value.toList())
            array.append(encode(item));
        tagged["array"] = array;
        break;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object[it.key()] = encode(it.value());
        tagged["dict"] = object;
        break;
    }
    default:
        break;
    }
    return tagged;
}

// Decodes one tagged value; invalid when it is malformed.
QVariant decode(const QJsonValue& json)
{
    if (!json.isObject() || json.toObject().size() != 1)
        return {};
    const QJsonObject tagged = json.toObject();
    const QString tag = tagged.begin().key();
    const QJsonValue v = tagged.begin().value();
    if (tag == "bool" && v.isBool())
        return v.toBool();
    if (tag == "int" && v.isDouble()) {
        // Whole numbers that fit come as integers; anything else (a fraction, or a number
        // like 1e19 that no 64-bit integer holds) is no integer this store wrote.
        const QVariant number = v.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return number.toLongLong();
        const double d = v.toDouble();
        if (d != std::floor(d) || d < -0x1p63 || d >= 0x1p63)
            return {};
        return static_cast<qint64>(d);
    }
    if (tag == "double") {
        if (v.isDouble())
            return v.toDouble();
        const QString s = v.toString();
        if (s == "nan")
            return std::nan("");
        if (s == "inf")
            return HUGE_VAL;
        if (s == "-inf")
            return -HUGE_VAL;
        return {};
    }
    if (tag == "string" && v.isString())
        return v.toString();
    if (tag == "data" && v.isString()) {
        auto result = QByteArray::fromBase64Encoding(v.toString().toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return {};
        return *result;
    }
    if (tag == "date" && v.isDouble()) {
        const QDateTime date = Epoch::fromSecondsSince2001(v.toDouble());
        return date.isValid() ? QVariant(date) : QVariant();
    }
    if (tag == "array" && v.isArray()) {
        QVariantList list;
        for (const QJsonValue& item : v.toArray()) {
            QVariant d = decode(item);
            if (!d.isValid())
                return {};
            list << d;
        }
        return list;
    }
    if (tag == "dict" && v.isObject()) {
        QVariantMap map;
        const QJsonObject object = v.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            QVariant d = decode(it.value());
            if (!d.isValid())
                return {};
            map.insert(it.key(), d);
        }
        return map;
    }
    return {};
}

bool isNumber(const QVariant& v)
{
    return v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double;
}

} // namespace

UserDefaults::UserDefaults(const QString& filePath, QObject* parent, std::chrono::milliseconds batchInterval)
    : QObject(parent)
    , m_filePath(filePath)
    , m_batchTimer(new QTimer(this))
{
    m_batchTimer->setSingleShot(true);
    m_batchTimer->setInterval(batchInterval);
    connect(m_batchTimer, &QTimer::timeout, this, &UserDefaults::synchronize);
    load();
}

UserDefaults::~UserDefaults()
{
    synchronize();
}

QString UserDefaults::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Kestrune/defaults.json");
}

void UserDefaults::load()
{
    QFile file(m_filePath);
    if (!file.exists())
        return;

    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = tr("cannot read %1: %2").arg(m_filePath, file.errorString());
    } else {
        const QByteArray bytes = file.readAll();
        file.close();
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
        const QJsonObject root = document.object();
        // Files of this format carry version 1; one without a version predates the field.
        const QJsonValue version = root.value("version");
        const bool formatOne = version.isUndefined() || (version.isDouble() && version.toDouble() == formatVersion);
        if (parseError.error != QJsonParseError::NoError) {
            problem = tr("%1 is not valid JSON: %2 at offset %3")
                          .arg(m_filePath, parseError.errorString())
                          .arg(parseError.offset);
        } else if (!document.isObject() || root.value("format").toString() != formatName
                   || !root.value("values").isObject()) {
            problem = tr("%1 is not a preferences file").arg(m_filePath);
        } else if (version.isDouble() && version.toDouble() > formatVersion) {
            // A newer build wrote it: it stays as it is for that build, and this one keeps
            // what the user changes in memory only, rather than lose the newer keys.
            m_writable = false;
            m_loadError = tr("%1 was written by a newer version (format %2); changes will not be saved")
                              .arg(m_filePath, version.toVariant().toString());
            return;
        } else if (!formatOne) {
            problem = tr("%1 is of an unknown format version").arg(m_filePath);
        } else {
            const QJsonObject values = root.value("values").toObject();
            QStringList malformed;
            for (auto it = values.begin(); it != values.end(); ++it) {
                const QVariant value = decode(it.value());
                if (value.isValid()) {
                    m_values.insert(it.key(), value);
                } else {
                    m_unreadable.insert(it.key(), it.value());
                    malformed << QStringLiteral("\"%1\"").arg(it.key());
                }
            }
            if (!malformed.isEmpty())
                m_loadError = tr("%1 holds malformed values for %2; they read as unset and are kept as they are")
                                  .arg(m_filePath, malformed.join(QStringLiteral(", ")));
            return;
        }
    }

    // Keep the unreadable file for the user to inspect or repair, and start empty.
    m_loadError = problem;
    const QString aside = m_filePath + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    if (QFile::rename(m_filePath, aside)) {
        m_quarantinedPath = aside;
    } else {
        m_writable = false;
        m_loadError += tr("; the file could not be moved aside, so changes will not be saved");
    }
}

QVariant UserDefaults::object(const QString& key) const
{
    return m_values.value(key);
}

bool UserDefaults::set(const QString& key, const QVariant& value, Write write)
{
    if (!value.isValid()) {
        remove(key);
        return true;
    }
    const QVariant stored = normalized(value);
    if (!stored.isValid())
        return false;
    // Compared as written, so that the integer 1 and the double 1.0 stay different values.
    const auto old = m_values.constFind(key);
    const bool same = old != m_values.constEnd() && encode(*old) == encode(stored);
    if (!same) {
        m_values.insert(key, stored);
        m_unreadable.remove(key);
        scheduleWrite(write);
    }
    emit changed(key);
    return true;
}

void UserDefaults::remove(const QString& key)
{
    const bool unreadable = m_unreadable.contains(key);
    m_unreadable.remove(key);
    if (m_values.remove(key) == 0 && !unreadable)
        return;
    scheduleWrite();
    emit changed(key);
}

bool UserDefaults::boolean(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0.0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == "true" || s == "yes" || s == "1";
    }
    return false;
}

qint64 UserDefaults::integer(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Bool)
        return v.toLongLong();
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            return 0;
        return static_cast<qint64>(d);
    }
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        return ok ? n : 0;
    }
    return 0;
}

double UserDefaults::real(const QString& key) const
{
    const QVariant v = object(key);
    if (isNumber(v) || v.typeId() == QMetaType::Bool)
        return v.toDouble();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0;
    }
    return 0.0;
}

std::optional<QString> UserDefaults::string(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (isNumber(v))
        return v.toString();
    return std::nullopt;
}

std::optional<QStringList> UserDefaults::stringArray(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList result;
    for (const QVariant& item : v.toList()) {
        if (item.typeId() != QMetaType::QString)
            return std::nullopt;
        result << item.toString();
    }
    return result;
}

std::optional<QByteArray> UserDefaults::data(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v.toByteArray();
}

std::optional<QVariantList> UserDefaults::array(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return v.toList();
}

std::optional<QVariantMap> UserDefaults::dictionary(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return v.toMap();
}

void UserDefaults::scheduleWrite(Write write)
{
    m_dirty = true;
    if (write == Write::Batched) {
        // The batch runs from its first change: later ones join it rather than put it off.
        if (!m_writeScheduled && !m_batchTimer->isActive())
            m_batchTimer->start();
        return;
    }
    if (m_writeScheduled)
        return;
    m_writeScheduled = true;
    // Many settings change together; one write at the end of this turn of the event loop
    // covers them all. The destructor writes whatever is still pending.
    QTimer::singleShot(0, this, [this] {
        m_writeScheduled = false;
        synchronize();
    });
}

bool UserDefaults::synchronize()
{
    // Whatever waited goes with this write; a failed one is tried again at the next change.
    m_batchTimer->stop();
    if (!m_dirty)
        return true;
    if (!m_writable) {
        m_lastWriteError = m_loadError;
        return false;
    }

    const QFileInfo info(m_filePath);
    if (!QDir().mkpath(info.absolutePath())) {
        m_lastWriteError = tr("cannot create %1").arg(info.absolutePath());
        return false;
    }
    QFile::setPermissions(info.absolutePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QJsonObject values = m_unreadable;
    for (auto it = m_values.begin(); it != m_values.end(); ++it)
        values[it.key()] = encode(it.value());
    QJsonObject root;
    root["format"] = formatName;
    root["version"] = formatVersion;
    root["values"] = values;

    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastWriteError = tr("cannot write %1: %2").arg(m_filePath, file.errorString());
        return false;
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        m_lastWriteError = tr("cannot write %1: %2").arg(m_filePath, file.errorString());
        return false;
    }
    m_dirty = false;
    m_lastWriteError.clear();
    return true;
}

} // namespace kestrune
