#include "Foundation/Localized.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QList<Message> readTs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            Message message{context, {}, {}, false};
            while (xml.readNextStartElement()) {
                if (xml.name() == u"source") {
                    message.source = xml.readElementText();
                } else if (xml.name() == u"translation") {
                    const auto type = xml.attributes().value(QLatin1String("type"));
                    message.translation = xml.readElementText();
                    message.finished = type.isEmpty() && !message.translation.isEmpty();
                } else {
                    xml.skipCurrentElement();
                }
            }
            messages << message;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return messages;
}

// Japanese keys need an English text; a key in plain ASCII is already English.
bool needsTranslation(const QString& source)
{
    for (const QChar c : source)
        if (c.unicode() > 0x7f)
            return true;
    return false;
}

// What a translation must keep of its key: the printf-style conversions that Localized::fmt
// fills, and the %1..%99 markers of QString::arg. A key without conversions is shown through
// Localized::text as it stands, where a "%" is only a percent sign ("80% limit").
QStringList placeholders(const QString& text, const QString& key)
{
    QStringList found = Localized::placeholders(key).isEmpty() ? QStringList() : Localized::placeholders(text);
    static const QRegularExpression argMarker(QStringLiteral("%(\\d{1,2})(?!\\d|\\$)"));
    QStringList markers;
    for (const auto& match : argMarker.globalMatch(text))
        markers << QStringLiteral("arg %1").arg(match.captured(1));
    markers.sort();
    return found + markers;
}

bool keepsPlaceholders(const Message& m)
{
    return placeholders(m.translation, m.source) == placeholders(m.source, m.source);
}

QString listed(const QStringList& lines)
{
    return QStringLiteral("\n  ") + lines.join(QStringLiteral("\n  "));
}

} // namespace

// The texts of the code as lupdate finds them now, merged into a scratch copy of the English
// file exactly as `update_translations` would merge them into the real one.
class TranslationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile argumentsFile(QStringLiteral(KESTRUNE_LUPDATE_ARGUMENTS));
        ASSERT_TRUE(argumentsFile.open(QIODevice::ReadOnly)) << KESTRUNE_LUPDATE_ARGUMENTS;
        QStringList arguments = QString::fromUtf8(argumentsFile.readAll()).split(u'\n', Qt::SkipEmptyParts);
        const QString lupdate = arguments.takeFirst();

        const QString scratch = folder.filePath(QStringLiteral("kestrune_en.ts"));
        ASSERT_TRUE(QFile::copy(directory + QStringLiteral("/kestrune_en.ts"), scratch));
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(lupdate, arguments << QStringLiteral("-silent") << QStringLiteral("-ts") << scratch);
        ASSERT_TRUE(process.waitForFinished(120000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardOutput().toStdString();
        current = readTs(scratch);
        // A known key proves that lupdate read the sources with Localized's context.
        ASSERT_TRUE(std::any_of(current.begin(), current.end(), [](const Message& m) {
            return m.context == QLatin1String(Localized::context) && m.source == QStringLiteral("満充電");
        }));
    }

    const QString directory = QStringLiteral(KESTRUNE_TRANSLATIONS_DIR);
    QTemporaryDir folder;
    QList<Message> current;
};

TEST_F(TranslationsTest, EveryKeyHasAFinishedEnglishTextWithTheSamePlaceholders)
{
    QStringList missing, mismatched;
    for (const Message& m : current) {
        if (needsTranslation(m.source) && !m.finished)
            missing << m.context + QStringLiteral(": ") + m.source;
        else if (!m.translation.isEmpty() && !keepsPlaceholders(m))
            mismatched << m.source + QStringLiteral(" → ") + m.translation;
    }
    EXPECT_TRUE(missing.isEmpty()) << "keys without a finished English text (run `cmake --build build --target update_translations`, "
                                      "then translate them in translations/kestrune_en.ts):"
                                   << listed(missing).toStdString();
    EXPECT_TRUE(mismatched.isEmpty()) << "English texts whose placeholders differ from their key's:"
                                      << listed(mismatched).toStdString();
}

TEST_F(TranslationsTest, TheJapaneseOverridesStillMatchKeysOfTheCode)
{
    QSet<QString> keys;
    for (const Message& m : current)
        keys.insert(m.context + u'\n' + m.source);
    QStringList stale, mismatched;
    int overrides = 0;
    for (const Message& m : readTs(directory + QStringLiteral("/kestrune_ja.ts"))) {
        if (!m.finished)
            continue;
        ++overrides;
        if (!keys.contains(m.context + u'\n' + m.source))
            stale << m.source;
        if (!keepsPlaceholders(m))
            mismatched << m.source + QStringLiteral(" → ") + m.translation;
    }
    EXPECT_GT(overrides, 0);
    EXPECT_TRUE(stale.isEmpty()) << "kestrune_ja.ts translates keys the code no longer has:"
                                 << listed(stale).toStdString();
    EXPECT_TRUE(mismatched.isEmpty()) << "Japanese texts whose placeholders differ from their key's:"
                                      << listed(mismatched).toStdString();
}
