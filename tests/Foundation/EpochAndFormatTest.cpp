#include "Foundation/Epoch.h"
#include "Foundation/Localized.h"
#include "Foundation/Rounding.h"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrune;

TEST(Epoch, ConvertsBetweenBothEpochs)
{
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(Epoch::fromSecondsSince2001(0), reference);
    EXPECT_EQ(Epoch::secondsSince2001(reference), 0.0);
    EXPECT_EQ(Epoch::secondsSince1970(reference), 978307200.0);
    EXPECT_EQ(Epoch::fromSecondsSince1970(0), QDateTime::fromSecsSinceEpoch(0, Qt::UTC));

    const QDateTime later = Epoch::fromSecondsSince2001(86400.25);
    EXPECT_EQ(later, reference.addMSecs(86400250));
    EXPECT_DOUBLE_EQ(Epoch::secondsSince2001(later), 86400.25);
    // Before the reference date the count is negative, not wrapped.
    EXPECT_DOUBLE_EQ(Epoch::secondsSince2001(reference.addSecs(-10)), -10.0);
}

TEST(Epoch, RejectsNumbersNoDateCanHold)
{
    EXPECT_FALSE(Epoch::fromSecondsSince2001(std::numeric_limits<double>::infinity()).isValid());
    EXPECT_FALSE(Epoch::fromSecondsSince2001(std::nan("")).isValid());
    EXPECT_FALSE(Epoch::fromSecondsSince1970(1e300).isValid());
}

TEST(Rounding, HalvesGoAwayFromZero)
{
    EXPECT_EQ(Rounding::halfAwayFromZero(2.5), 3.0);
    EXPECT_EQ(Rounding::halfAwayFromZero(-2.5), -3.0);
    EXPECT_EQ(Rounding::halfAwayFromZero(0.5), 1.0);
    EXPECT_EQ(Rounding::toPlaces(1.25, 1), 1.3);
    EXPECT_EQ(Rounding::toInteger(79.5), 80);
    EXPECT_EQ(Rounding::toInteger(std::nan("")), 0);
    EXPECT_EQ(Rounding::toInteger(1e300), std::numeric_limits<long long>::max());
}

TEST(LocalizedPrintf, FillsTheConversionsTheTextsUse)
{
    EXPECT_EQ(Localized::printf("%lld分", {qint64(42)}), "42分");
    // printf's own rounding of the binary value: 2.25 is exact and goes to even.
    EXPECT_EQ(Localized::printf("%.1f W", {2.25}), "2.2 W");
    EXPECT_EQ(Localized::printf("%.1f W", {2.26}), "2.3 W");
    EXPECT_EQ(Localized::printf("%.1f W", {3.0}), "3.0 W");
    EXPECT_EQ(Localized::printf("%@ を減速", {QStringLiteral("Safari")}), "Safari を減速");
    EXPECT_EQ(Localized::printf("%d%%", {80}), "80%");
    EXPECT_EQ(Localized::printf("0x%08x", {qint64(-536870212)}), "0xe00002bc");
    EXPECT_EQ(Localized::printf("%02x", {0x84}), "84");
    EXPECT_EQ(Localized::printf("%2$@ then %1$@", {QStringLiteral("a"), QStringLiteral("b")}), "b then a");
    // An integer conversion given a double, and a missing argument, do not crash or invent text.
    EXPECT_EQ(Localized::printf("%lld", {7.9}), "7");
    EXPECT_EQ(Localized::printf("%@ and %@", {QStringLiteral("x")}), "x and %@");
    // A percent sign inside an argument is the argument's, not a placeholder.
    EXPECT_EQ(Localized::printf("%@", {QStringLiteral("100%%")}), "100%%");
}

TEST(LocalizedPrintf, ComparesPlaceholdersByPositionAndKind)
{
    EXPECT_EQ(Localized::placeholders("%lld分 %.1f"), (QStringList{"1:int", "2:double"}));
    EXPECT_EQ(Localized::placeholders("%2$.1f %1$d"), (QStringList{"1:int", "2:double"}));
    EXPECT_EQ(Localized::placeholders("100%% 完了"), QStringList{});
}

namespace {
class FixedTranslator : public QTranslator {
public:
    QString translate(const char*, const char* source, const char*, int) const override
    {
        const QString key = QString::fromUtf8(source);
        if (key == "%lld分")
            return "%lld min";
        if (key == "%.1f時間")
            return "%@ hours"; // a broken translation: wrong conversion
        if (key == "充電中")
            return "Charging";
        return {};
    }
    bool isEmpty() const override { return false; }
};
} // namespace

TEST(Localized, UsesATranslationOnlyWhenItsPlaceholdersMatch)
{
    FixedTranslator translator;
    QCoreApplication::installTranslator(&translator);
    EXPECT_EQ(Localized::text("充電中"), "Charging");
    EXPECT_EQ(Localized::text("未翻訳"), "未翻訳");
    EXPECT_EQ(Localized::fmt("%lld分", qint64(5)), "5 min");
    EXPECT_EQ(Localized::fmt("%.1f時間", 2.5), "2.5時間");
    QCoreApplication::removeTranslator(&translator);
    EXPECT_EQ(Localized::fmt("%lld分", qint64(5)), "5分");
}
