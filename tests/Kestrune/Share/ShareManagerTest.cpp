#include "Kestrune/Share/ShareManager.h"

#include "tests/support/Files.h"
#include "tests/support/UrlRecorder.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace kestrune::test {

namespace {

const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(6000, '\0') + "end";

// The query as X reads it: a form, where "+" is a space and %XX a byte.
QList<std::pair<QString, QString>> formFields(const QUrl& url)
{
    QList<std::pair<QString, QString>> fields;
    for (QString field : url.query(QUrl::FullyEncoded).split(u'&')) {
        field.replace(u'+', u' ');
        const qsizetype equals = field.indexOf(u'=');
        fields.append({QUrl::fromPercentEncoding(field.left(equals).toLatin1()),
                       QUrl::fromPercentEncoding(field.mid(equals + 1).toLatin1())});
    }
    return fields;
}

} // namespace

TEST(ShareManagerTest, ThePostSentenceFollowsThePeriod)
{
    EXPECT_EQ(ShareManager::postText(135, SharePeriod::Today),
              QStringLiteral("KestruneのAI節電で、今日Macのバッテリーが +2時間15分 長持ちしました #Kestrune"));
    EXPECT_EQ(ShareManager::postText(612.4, SharePeriod::Week),
              QStringLiteral("KestruneのAI節電で、今週Macのバッテリーが合計 +10時間12分 長持ちしました #Kestrune"));
    EXPECT_EQ(ShareManager::postText(60, SharePeriod::Total),
              QStringLiteral("Kestrune導入から、Macのバッテリーを累計 +1時間 延命できました #Kestrune"));
    EXPECT_EQ(SharePeriod::fromRawValue(QStringLiteral("total")), SharePeriod::Total);
    EXPECT_EQ(SharePeriod::fromRawValue(QStringLiteral("Week")), std::nullopt);
}

TEST(ShareManagerTest, PostingLeavesOnlyTheCardOnTheClipboardAndOpensTheExactTextAndLink)
{
    UrlRecorder browser;
    auto* earlier = new QMimeData;
    earlier->setText(QStringLiteral("earlier"));
    earlier->setHtml(QStringLiteral("<b>earlier</b>"));
    QGuiApplication::clipboard()->setMimeData(earlier);

    // Every character a form decoder treats specially, in both values.
    const QString text = QStringLiteral("今日 +2時間15分 & more = #Kestrune 100%");
    const QUrl link(QStringLiteral("https://kestrune.org/?m=13&p=week#card"));
    EXPECT_TRUE(QCoro::waitFor(ShareManager::shareToX(png, text, link, browser.opener())));
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(clipboard->formats(), QStringList{QStringLiteral("image/png")});
    EXPECT_EQ(clipboard->data(QStringLiteral("image/png")), png);

    ASSERT_EQ(browser.opened.size(), 1);
    const QUrl post = browser.opened.first();
    EXPECT_EQ(post.adjusted(QUrl::RemoveQuery), QUrl(QStringLiteral("https://x.com/intent/post")));
    const QList<std::pair<QString, QString>> expected{{"text", text}, {"url", link.toString()}};
    EXPECT_EQ(formFields(post), expected);

    // A link the desktop cannot open is reported; the card is on the clipboard all the same.
    browser.takes = false;
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(QCoro::waitFor(ShareManager::shareToX(png, text, link, browser.opener())));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), png);
}

TEST(ShareManagerTest, SavingWritesTheBytesWhereChosenAndAFailedWriteKeepsTheOldFile)
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("chosen.png"));
    QStringList asked;
    QString answer = target;
    const auto chooser = [&](const QString& name, const QString& filter, const QString& suffix) {
        asked = {name, filter, suffix};
        return answer;
    };
    ASSERT_TRUE(ShareManager::saveImage(png, SharePeriod::Week, chooser));
    EXPECT_EQ(asked, (QStringList{"Kestrune-week.png", "PNG (*.png)", "png"}));
    EXPECT_EQ(readBytes(target), png);

    answer.clear(); // cancelled
    EXPECT_FALSE(ShareManager::saveImage("another card", SharePeriod::Total, chooser));
    EXPECT_EQ(asked.first(), QStringLiteral("Kestrune-total.png"));
    EXPECT_EQ(readBytes(target), png);

    // The disk refuses the new bytes half way (a file size limit binds root too, unlike
    // permissions): the file the user agreed to replace stays whole, and no scrap is left.
    answer = target;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ShareManager::saveImage(png + png, SharePeriod::Week, chooser);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(written);
    EXPECT_EQ(readBytes(target), png);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("chosen.png")});
}

} // namespace kestrune::test
