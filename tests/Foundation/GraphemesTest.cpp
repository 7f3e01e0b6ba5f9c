#include "Foundation/Graphemes.h"

#include <gtest/gtest.h>

using kestrune::Graphemes;

TEST(Graphemes, CutsWholeClustersOnly)
{
    const QString flag = QString::fromUtf8("\U0001F1EF\U0001F1F5");          // two code points
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString accented = QString::fromUtf8("e\u0301");                   // e + combining acute

    EXPECT_EQ(Graphemes::count(QString()), 0);
    EXPECT_EQ(Graphemes::count(QStringLiteral("abc")), 3);
    EXPECT_EQ(Graphemes::count(flag + family + accented), 3);

    const QString text = QStringLiteral("ab") + accented + family + QStringLiteral("z");
    EXPECT_EQ(Graphemes::prefix(text, 0), QString());
    EXPECT_EQ(Graphemes::prefix(text, 2), QStringLiteral("ab"));
    EXPECT_EQ(Graphemes::prefix(text, 3), QStringLiteral("ab") + accented);
    EXPECT_EQ(Graphemes::prefix(text, 4), QStringLiteral("ab") + accented + family);
    EXPECT_EQ(Graphemes::prefix(text, 5), text);
    EXPECT_EQ(Graphemes::prefix(text, 500), text);
    EXPECT_EQ(Graphemes::prefix(QString::fromUtf8("日本語のテキスト"), 3), QString::fromUtf8("日本語"));

    // Bounded in code units too, still at whole clusters, even where the bound splits the
    // surrogate pair of a cluster's mark (a skin tone).
    const QString toned = QString::fromUtf8("\U0001F44D\U0001F3FD");
    EXPECT_EQ(Graphemes::prefix(text, 500, 4), QStringLiteral("ab") + accented);
    EXPECT_EQ(Graphemes::prefix(QStringLiteral("a") + toned + toned, 500, 7), QStringLiteral("a") + toned);
    EXPECT_EQ(Graphemes::prefix(QStringLiteral("ok") + QString(100000, QChar(0x0301)), 4000, 16000), "o");
}
