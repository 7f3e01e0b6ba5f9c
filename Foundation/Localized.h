#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace kestrune {

// User-visible texts are Japanese source texts that double as translation keys. Keys with
// printf-style placeholders ("%lld分", "%.1f W", "%@") are filled here. A translation is used
// only when its placeholders match the key's; a translation that would misread its arguments
// falls back to the key itself.
class Localized {
    // Tells lupdate which context `text` and `fmt` translate in: it reads them as tr().
    Q_DECLARE_TR_FUNCTIONS(Kestrune)

public:
    static constexpr const char* context = "Kestrune";

    // The translation of `key` in the installed translators, or the key itself.
    static QString text(const char* key);

    static QString format(const char* key, const QVariantList& args);

    template <typename... Args>
    static QString fmt(const char* key, const Args&... args)
    {
        return format(key, QVariantList{argument(args)...});
    }

    // The formatter without translation: %d %i %u %x %X %o %f %F %e %E %g %G %@ %s %c %%,
    // with flags, width, precision, length modifiers and positions ("%1$@").
    static QString printf(const QString& pattern, const QVariantList& args);

    // The conversions a pattern expects, in argument order, as "1:int", "2:double", ...
    static QStringList placeholders(const QString& pattern);

private:
    static QVariant argument(const char* value) { return QString::fromUtf8(value); }
    template <typename T>
    static QVariant argument(const T& value) { return QVariant::fromValue(value); }
};

} // namespace kestrune
