#include "Foundation/Localized.h"

#include <QCoreApplication>

#include <cstdio>
#include <map>
#include <optional>

namespace kestrune {

namespace {

struct Conversion {
    int position = 0;      // 1-based argument index
    QString flags;
    QString width;
    QString precision;     // with its leading '.', or empty
    QString length;
    QChar conversion;
    qsizetype begin = 0;
    qsizetype end = 0;     // one past the last character
};

enum class Kind { Signed, Unsigned, Double, Text, Character };

Kind kindOf(QChar c)
{
    switch (c.toLatin1()) {
    case 'd': case 'i': return Kind::Signed;
    case 'u': case 'x': case 'X': case 'o': return Kind::Unsigned;
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': return Kind::Double;
    case 'c': case 'C': return Kind::Character;
    default: return Kind::Text;
    }
}

const char* kindName(Kind kind)
{
    switch (kind) {
    case Kind::Signed: case Kind::Unsigned: return "int";
    case Kind::Double: return "double";
    case Kind::Character: return "char";
    case Kind::Text: return "text";
    }
    return "text";
}

bool isConversion(QChar c)
{
    return QStringLiteral("diuxXofFeEgGaA@scC").contains(c);
}

// Parses the conversions of a pattern ("%%" becomes a literal one). A malformed tail ends the scan.
std::vector<Conversion> parse(const QString& pattern)
{
    std::vector<Conversion> conversions;
    int nextPosition = 1;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'%')
            continue;
        Conversion conv;
        conv.begin = i;
        qsizetype j = i + 1;
        if (j < pattern.size() && pattern[j] == u'%') {
            conv.conversion = u'%';
            conv.position = -1;
            conv.end = j + 1;
            conversions.push_back(conv);
            i = j;
            continue;
        }
        // Optional "n$" position.
        qsizetype k = j;
        while (k < pattern.size() && pattern[k].isDigit())
            ++k;
        if (k > j && k < pattern.size() && pattern[k] == u'$') {
            conv.position = pattern.mid(j, k - j).toInt();
            j = k + 1;
        }
        while (j < pattern.size() && QStringLiteral("-+ 0#'").contains(pattern[j]))
            conv.flags += pattern[j++];
        while (j < pattern.size() && pattern[j].isDigit())
            conv.width += pattern[j++];
        if (j < pattern.size() && pattern[j] == u'.') {
            conv.precision += pattern[j++];
            while (j < pattern.size() && pattern[j].isDigit())
                conv.precision += pattern[j++];
        }
        while (j < pattern.size() && QStringLiteral("hlqLzjt").contains(pattern[j]))
            conv.length += pattern[j++];
        if (j >= pattern.size() || !isConversion(pattern[j]))
            break;
        conv.conversion = pattern[j];
        conv.end = j + 1;
        if (conv.position == 0)
            conv.position = nextPosition++;
        conversions.push_back(conv);
        i = j;
    }
    return conversions;
}

QString formatNumber(const Conversion& conv, const QVariant& value)
{
    const Kind kind = kindOf(conv.conversion);
    QByteArray c = "%" + conv.flags.toLatin1() + conv.width.toLatin1() + conv.precision.toLatin1();
    char buffer[512];
    int written = 0;
    if (kind == Kind::Double) {
        c += conv.conversion.toLatin1();
        written = std::snprintf(buffer, sizeof buffer, c.constData(), value.toDouble());
    } else if (kind == Kind::Signed) {
        c += "ll";
        c += conv.conversion.toLatin1();
        const long long v = value.typeId() == QMetaType::Double ? static_cast<long long>(value.toDouble())
                                                                : value.toLongLong();
        written = std::snprintf(buffer, sizeof buffer, c.constData(), v);
    } else {
        c += "ll";
        c += conv.conversion.toLatin1();
        // A negative value prints as its bit pattern of the declared width, as printf does.
        unsigned long long v = value.toULongLong();
        if (value.typeId() != QMetaType::ULongLong && value.typeId() != QMetaType::UInt) {
            const long long s = value.toLongLong();
            v = static_cast<unsigned long long>(s);
            if (!conv.length.startsWith(u"ll") && !conv.length.startsWith(u'l') && !conv.length.startsWith(u'q'))
                v &= 0xffffffffULL;
        }
        written = std::snprintf(buffer, sizeof buffer, c.constData(), v);
    }
    if (written < 0)
        return {};
    return QString::fromLatin1(buffer, qMin<int>(written, sizeof buffer - 1));
}

QString formatText(const Conversion& conv, QString text)
{
    if (!conv.precision.isEmpty())
        text.truncate(conv.precision.mid(1).toInt());
    const int width = conv.width.toInt();
    if (text.size() < width) {
        const QString pad(width - text.size(), u' ');
        text = conv.flags.contains(u'-') ? text + pad : pad + text;
    }
    return text;
}

} // namespace

QString Localized::text(const char* key)
{
    return QCoreApplication::translate(context, key);
}

QStringList Localized::placeholders(const QString& pattern)
{
    std::map<int, QString> byPosition;
    for (const Conversion& conv : parse(pattern))
        if (conv.position > 0)
            byPosition[conv.position] = QString::fromLatin1(kindName(kindOf(conv.conversion)));
    QStringList result;
    for (const auto& [position, kind] : byPosition)
        result << QStringLiteral("%1:%2").arg(position).arg(kind);
    return result;
}

QString Localized::printf(const QString& pattern, const QVariantList& args)
{
    QString out;
    qsizetype copied = 0;
    for (const Conversion& conv : parse(pattern)) {
        out += pattern.mid(copied, conv.begin - copied);
        copied = conv.end;
        if (conv.conversion == u'%') {
            out += u'%';
            continue;
        }
        if (conv.position < 1 || conv.position > args.size()) {
            out += pattern.mid(conv.begin, conv.end - conv.begin);
            continue;
        }
        const QVariant& value = args[conv.position - 1];
        switch (kindOf(conv.conversion)) {
        case Kind::Text:
            out += formatText(conv, value.toString());
            break;
        case Kind::Character:
            out += formatText(conv, value.typeId() == QMetaType::QString ? value.toString().left(1)
                                                                     : QString(QChar(value.toInt())));
            break;
        default:
            out += formatNumber(conv, value);
        }
    }
    out += pattern.mid(copied);
    return out;
}

QString Localized::format(const char* key, const QVariantList& args)
{
    const QString source = QString::fromUtf8(key);
    const QString translated = text(key);
    const QString& pattern = placeholders(translated) == placeholders(source) ? translated : source;
    return printf(pattern, args);
}

} // namespace kestrune
