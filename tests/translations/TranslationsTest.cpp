#include "Foundation/Localized.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

struct Message {
    QString context, source, translation;
    bool finished = false;
};

QList<Message> readTs(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QList<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
        if (xml.isStartElement() && xml.name() == u"name")
            context = xml.readElementText();
        if (!xml.isStartElement() || xml.name() != u"message")
            continue;
        Message message{context, {}, {}};
        while (xml.readNextStartElement()) {
            const bool unfinished = xml.attributes().hasAttribute(QLatin1String("type"));
            if (xml.name() == u"source") {
                message.source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                message.translation = xml.readElementText();
                message.finished = !unfinished && !message.translation.isEmpty();
            } else {
                xml.skipCurrentElement();
            }
        }
        messages << message;
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return messages;
}

// What a translation must keep of its key: the printf-style conversions that Localized::fmt
// fills, and the %1..%99 markers of QString::arg. A key without conversions is shown through
// Localized::text as it stands, where a "%" is only a percent sign ("80% limit").
bool keepsPlaceholders(const Message& m)
{
    const auto of = [&m](const QString& text) {
        QStringList found = Localized::placeholders(m.source).isEmpty() ? QStringList() : Localized::placeholders(text);
        static const QRegularExpression argMarker(QStringLiteral("%(\\d{1,2})(?!\\d|\\$)"));
        QStringList markers;
        for (const auto& match : argMarker.globalMatch(text))
            markers << match.captured(1);
        markers.sort();
        return found << markers;
    };
    return of(m.translation) == of(m.source);
}

std::string listed(const QStringList& lines)
{
    return (QStringLiteral("\n  ") + lines.join(QStringLiteral("\n  "))).toStdString();
}

} // namespace

// The texts of the code as lupdate finds them now, merged into a scratch copy of the English
// file exactly as the update_translations target merges them into the real one.
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
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(lupdate, arguments << QStringLiteral("-silent") << QStringLiteral("-ts") << scratch);
        ASSERT_TRUE(process.waitForFinished(120000));
        ASSERT_EQ(process.exitCode(), 0);
        current = readTs(scratch);
        // A known key proves that lupdate read the sources in Localized's context.
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
    QStringList missing, mismatched, contextless;
    for (const Message& m : current) {
        // lupdate files a call it cannot place (a local helper that happens to be named like
        // an alias, say) under no context, where no lookup ever finds it.
        if (m.context.isEmpty())
            contextless << m.source;
        // A key in plain ASCII is already English.
        const bool japanese = std::any_of(m.source.begin(), m.source.end(), [](QChar c) { return c.unicode() > 0x7f; });
        if (japanese && !m.finished)
            missing << m.context + QStringLiteral(": ") + m.source;
        else if (!m.translation.isEmpty() && !keepsPlaceholders(m))
            mismatched << m.source + QStringLiteral(" → ") + m.translation;
    }
    EXPECT_TRUE(missing.isEmpty()) << "keys without a finished English text (run `cmake --build build --target "
                                      "update_translations`, then translate them in translations/kestrune_en.ts):"
                                   << listed(missing);
    EXPECT_TRUE(mismatched.isEmpty()) << "English texts whose placeholders differ from their key's:" << listed(mismatched);
    EXPECT_TRUE(contextless.isEmpty()) << "keys lupdate found outside any context, which no lookup reaches:"
                                       << listed(contextless);
}

TEST_F(TranslationsTest, TheJapaneseOverridesStillMatchKeysOfTheCode)
{
    QStringList stale, mismatched;
    for (const Message& m : readTs(directory + QStringLiteral("/kestrune_ja.ts"))) {
        const bool inCode = std::any_of(current.begin(), current.end(), [&m](const Message& c) {
            return c.context == m.context && c.source == m.source;
        });
        if (m.finished && !inCode)
            stale << m.source;
        if (m.finished && !keepsPlaceholders(m))
            mismatched << m.source + QStringLiteral(" → ") + m.translation;
    }
    EXPECT_TRUE(stale.isEmpty()) << "kestrune_ja.ts translates keys the code no longer has:" << listed(stale);
    EXPECT_TRUE(mismatched.isEmpty()) << "Japanese texts whose placeholders differ from their key's:" << listed(mismatched);
}
