#include "Kestrune/Share/ShareCardView.h"

#include <QFontInfo>
#include <QImage>
#include <QRawFont>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

SavingsStats::Summary week(int streakDays = 5)
{
    return {.todayMinutes = 135, .todayWh = 12.34, .weekMinutes = 612.4, .weekWh = 55.8, .totalMinutes = 4821,
            .totalWh = 431.6, .streakDays = streakDays};
}

QByteArray png(const ShareCardView& card)
{
    return card.renderPNG().value_or(QByteArray());
}

// Whether anything in `area` (points) is brighter than the dark background and its faint glow,
// ring and panels: text and symbols are white or green.
bool hasInk(const QImage& image, const QRectF& area)
{
    const QRect pixels = QRectF(area.topLeft() * 2, area.size() * 2).toAlignedRect() & image.rect();
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            if (std::max({qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)), qBlue(image.pixel(x, y))}) > 110)
                return true;
    return false;
}

QStringList stats(const ShareCardView& card)
{
    QStringList values;
    for (const ShareCardView::StatBlock& block : card.layout().stats)
        values << block.value.text;
    return values;
}

} // namespace

TEST(ShareCardViewTest, EachPeriodGivesItsOwn1200By675PngWithTheRightFiguresAndNothingAdded)
{
    const QList<std::tuple<SharePeriod, QString, QString, QStringList>> periods{
        {SharePeriod::Today, "今日の実績", "+2時間15分", {"12.3 Wh", "5日連続", "93%"}},
        {SharePeriod::Week, "今週の実績", "+10時間12分", {"55.8 Wh", "5日連続", "93%"}},
        {SharePeriod::Total, "累計実績", "+80時間21分", {"431.6 Wh", "5日連続", "93%"}},
    };
    QSet<QByteArray> distinct;
    for (const auto& [period, caption, hero, values] : periods) {
        const ShareCardView card(week(), period, 92.6);
        EXPECT_EQ(card.layout().caption.text, caption);
        EXPECT_EQ(card.layout().hero.text, hero);
        EXPECT_EQ(stats(card), values);
        const QByteArray bytes = png(card);
        const QImage image = QImage::fromData(bytes, "PNG");
        EXPECT_EQ(image.size(), QSize(1200, 675));
        EXPECT_TRUE(image.textKeys().isEmpty()); // no tEXt, zTXt or iTXt chunks
        EXPECT_EQ(png(card), bytes) << "the same card must give the same bytes";
        distinct.insert(bytes);
    }
    EXPECT_EQ(distinct.size(), 3);

    // A streak below two and a health that is unknown, zero or negative are simply not shown.
    EXPECT_EQ(stats(ShareCardView(week(2), SharePeriod::Week, 100)), (QStringList{"55.8 Wh", "2日連続", "100%"}));
    const QByteArray plain = png(ShareCardView(week(0), SharePeriod::Week, std::nullopt));
    EXPECT_EQ(png(ShareCardView(week(1), SharePeriod::Week, 0.0)), plain);
    EXPECT_EQ(png(ShareCardView(week(0), SharePeriod::Week, -1.0)), plain);
    const ShareCardView nothing({}, SharePeriod::Today, std::nullopt);
    EXPECT_EQ(nothing.layout().hero.text, QStringLiteral("+0分"));
    EXPECT_EQ(stats(nothing), QStringList{"0.0 Wh"});
}

TEST(ShareCardViewTest, ALongFigureShrinksToFitThenIsCutButNeverGoesBelowHalfSize)
{
    const auto layout = [](double minutes) {
        return ShareCardView({.totalMinutes = minutes}, SharePeriod::Total, std::nullopt).layout();
    };
    EXPECT_EQ(layout(135).hero.font.pixelSize(), 76);
    const ShareCardView::Layout shrunk = layout(987654321);
    const ShareCardView::Layout cut = layout(9e18);
    EXPECT_TRUE(shrunk.hero.font.pixelSize() > 38 && shrunk.hero.font.pixelSize() < 76);
    EXPECT_FALSE(shrunk.hero.text.endsWith(QChar(0x2026)));
    EXPECT_EQ(cut.hero.font.pixelSize(), 38);
    EXPECT_TRUE(cut.hero.text.startsWith(u'+') && cut.hero.text.endsWith(QChar(0x2026)));
    for (const ShareCardView::Layout& card : {shrunk, cut})
        EXPECT_LE(card.heroWord.rect.right(), ShareCardView::size.width() - 28 + 0.01);
}

TEST(ShareCardViewTest, EveryAreaHasInkInNotoSansCjkAndAbsentBlocksLeaveTheirPlaceEmpty)
{
    const ShareCardView full(week(), SharePeriod::Week, 92.6);
    const ShareCardView::Layout card = full.layout();
    ASSERT_EQ(card.stats.size(), 3);
    const QImage image = QImage::fromData(png(full), "PNG");

    QList<ShareCardView::Text> texts{card.name,        card.caption, card.hero,   card.heroWord,
                                     card.heroCaption, card.host,    card.hashtag};
    for (const ShareCardView::StatBlock& block : card.stats) {
        texts << block.value << block.label;
        EXPECT_TRUE(hasInk(image, block.symbol.rect)) << block.symbol.name.toStdString();
    }
    EXPECT_TRUE(hasInk(image, card.logo.rect));
    for (const ShareCardView::Text& item : texts) {
        EXPECT_TRUE(hasInk(image, item.rect)) << item.text.toStdString();
        // The font really is the one asked for, and has a glyph for every character (no boxes).
        EXPECT_EQ(QFontInfo(item.font).family(), QStringLiteral("Noto Sans CJK JP"));
        const QRawFont raw = QRawFont::fromFont(item.font);
        for (const uint c : item.text.toUcs4())
            EXPECT_TRUE(raw.supportsCharacter(c)) << item.text.toStdString() << " U+" << std::hex << c;
    }

    // Without streak and health the energy block keeps its place and the rest of the row is bare.
    const ShareCardView bare(week(1), SharePeriod::Week, std::nullopt);
    ASSERT_EQ(bare.layout().stats.size(), 1);
    EXPECT_EQ(bare.layout().stats[0].frame, card.stats[0].frame);
    const QImage bareImage = QImage::fromData(png(bare), "PNG");
    EXPECT_FALSE(hasInk(bareImage, card.stats[1].frame));
    EXPECT_FALSE(hasInk(bareImage, card.stats[2].frame));
}

} // namespace kestrune::test
