#include "Kestrune/Share/ShareCardView.h"

#include <QFontInfo>
#include <QImage>
#include <QRawFont>
#include <QtEndian>

#include <gtest/gtest.h>

namespace kestrune::test {

namespace {

SavingsStats::Summary week(int streakDays = 5)
{
    return {.todayMinutes = 135, .todayWh = 12.34, .weekMinutes = 612.4, .weekWh = 55.8, .totalMinutes = 4821,
            .totalWh = 431.6, .streakDays = streakDays};
}

QImage decoded(const QByteArray& png)
{
    return QImage::fromData(png, "PNG");
}

// The PNG's chunk types, in order.
QStringList chunks(const QByteArray& png)
{
    QStringList types;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        types << QString::fromLatin1(png.mid(at + 4, 4));
        at += 12 + qsizetype(length);
    }
    return types;
}

// Whether anything is drawn in `area` (points) brighter than the card's dark background and
// its faint glow, ring and panels: text and symbols are white or green.
bool hasInk(const QImage& image, const QRectF& area)
{
    const QRect pixels = QRectF(area.topLeft() * 2, area.size() * 2).toAlignedRect() & image.rect();
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::max({qRed(p), qGreen(p), qBlue(p)}) > 110)
                return true;
        }
    return false;
}

QList<ShareCardView::Text> texts(const ShareCardView::Layout& card)
{
    QList<ShareCardView::Text> all{card.name, card.caption, card.hero, card.heroWord, card.heroCaption, card.host,
                                   card.hashtag};
    for (const ShareCardView::StatBlock& block : card.stats)
        all << block.value << block.label;
    return all;
}

QStringList statValues(const ShareCardView& card)
{
    QStringList values;
    for (const ShareCardView::StatBlock& block : card.layout().stats)
        values << block.value.text;
    return values;
}

} // namespace

TEST(ShareCardViewTest, EveryCardIsA1200By675PngOfItsOwnAndNothingElse)
{
    QList<ShareCardView> cards;
    for (const SharePeriod period : SharePeriod::allCases())
        cards << ShareCardView(week(), period, 92.6);
    cards << ShareCardView({}, SharePeriod::Today, std::nullopt);
    SavingsStats::Summary endless;
    endless.totalMinutes = 9e18;
    cards << ShareCardView(endless, SharePeriod::Total, 100);

    QList<QByteArray> pngs;
    for (const ShareCardView& card : cards) {
        const std::optional<QByteArray> png = card.renderPNG();
        ASSERT_TRUE(png);
        const QImage image = decoded(*png);
        EXPECT_EQ(image.size(), QSize(1200, 675));
        EXPECT_TRUE(image.textKeys().isEmpty());
        for (const QString& type : chunks(*png))
            EXPECT_FALSE(type == u"tEXt" || type == u"zTXt" || type == u"iTXt") << type.toStdString();
        EXPECT_EQ(card.renderPNG(), png) << "the same card must give the same bytes";
        pngs << *png;
    }
    EXPECT_NE(pngs[0], pngs[1]);
    EXPECT_NE(pngs[1], pngs[2]);
    EXPECT_NE(pngs[0], pngs[2]);

    // A streak below two and a health that is unknown, zero or negative are simply not shown.
    const auto png = [](int streak, std::optional<double> health) {
        return ShareCardView(week(streak), SharePeriod::Week, health).renderPNG();
    };
    EXPECT_EQ(png(0, std::nullopt), png(1, std::nullopt));
    EXPECT_EQ(png(0, std::nullopt), png(0, 0.0));
    EXPECT_EQ(png(0, std::nullopt), png(0, -1.0));
    EXPECT_NE(png(0, std::nullopt), png(2, std::nullopt));
    EXPECT_NE(png(0, std::nullopt), png(0, 92.6));
}

TEST(ShareCardViewTest, ThePeriodDecidesCaptionFiguresAndEnergyWhileStreakAndHealthFollowTheirRules)
{
    const ShareCardView today(week(), SharePeriod::Today, 92.6);
    EXPECT_EQ(today.layout().caption.text, QStringLiteral("今日の実績"));
    EXPECT_EQ(today.layout().hero.text, QStringLiteral("+2時間15分"));
    EXPECT_EQ(statValues(today), (QStringList{"12.3 Wh", "5日連続", "93%"}));

    const ShareCardView thisWeek(week(), SharePeriod::Week, 100);
    EXPECT_EQ(thisWeek.layout().caption.text, QStringLiteral("今週の実績"));
    EXPECT_EQ(thisWeek.layout().hero.text, QStringLiteral("+10時間12分"));
    EXPECT_EQ(statValues(thisWeek), (QStringList{"55.8 Wh", "5日連続", "100%"}));

    const ShareCardView total(week(2), SharePeriod::Total, std::nullopt);
    EXPECT_EQ(total.layout().caption.text, QStringLiteral("累計実績"));
    EXPECT_EQ(total.layout().hero.text, QStringLiteral("+80時間21分"));
    EXPECT_EQ(statValues(total), (QStringList{"431.6 Wh", "2日連続"}));

    EXPECT_EQ(statValues(ShareCardView(week(1), SharePeriod::Today, 0.0)), QStringList{"12.3 Wh"});
    EXPECT_EQ(statValues(ShareCardView(week(0), SharePeriod::Today, -5.0)), QStringList{"12.3 Wh"});

    const ShareCardView nothing({}, SharePeriod::Today, std::nullopt);
    EXPECT_EQ(nothing.layout().hero.text, QStringLiteral("+0分"));
    EXPECT_EQ(statValues(nothing), QStringList{"0.0 Wh"});
}

TEST(ShareCardViewTest, ALongFigureShrinksToFitThenIsCutButNeverGoesBelowHalfSize)
{
    const auto heroOf = [](double minutes) {
        SavingsStats::Summary summary;
        summary.totalMinutes = minutes;
        return ShareCardView(summary, SharePeriod::Total, std::nullopt).layout();
    };
    const qreal contentRight = ShareCardView::size.width() - 28;

    EXPECT_EQ(heroOf(135).hero.font.pixelSize(), 76);

    const ShareCardView::Layout shrunk = heroOf(987654321);
    EXPECT_LT(shrunk.hero.font.pixelSize(), 76);
    EXPECT_GE(shrunk.hero.font.pixelSize(), 38);
    EXPECT_FALSE(shrunk.hero.text.endsWith(QChar(0x2026)));
    EXPECT_LE(shrunk.heroWord.rect.right(), contentRight + 0.01);

    const ShareCardView::Layout cut = heroOf(9e18);
    EXPECT_EQ(cut.hero.font.pixelSize(), 38);
    EXPECT_TRUE(cut.hero.text.startsWith(u'+'));
    EXPECT_TRUE(cut.hero.text.endsWith(QChar(0x2026)));
    EXPECT_LE(cut.heroWord.rect.right(), contentRight + 0.01);
}

TEST(ShareCardViewTest, EveryTextIsSetInNotoSansCjkWithAGlyphForEachCharacter)
{
    SavingsStats::Summary summary = week();
    summary.totalMinutes = 987654321;
    for (const SharePeriod period : SharePeriod::allCases()) {
        for (const ShareCardView::Text& item : texts(ShareCardView(summary, period, 92.6).layout())) {
            EXPECT_EQ(QFontInfo(item.font).family(), QStringLiteral("Noto Sans CJK JP")) << item.text.toStdString();
            const QRawFont raw = QRawFont::fromFont(item.font);
            for (const uint c : item.text.toUcs4())
                EXPECT_TRUE(raw.supportsCharacter(c)) << item.text.toStdString() << " U+" << std::hex << c;
        }
    }
}

TEST(ShareCardViewTest, EachAreaOfTheLayoutHasInkAndAbsentBlocksLeaveTheirPlaceEmpty)
{
    const ShareCardView full(week(), SharePeriod::Week, 92.6);
    const ShareCardView::Layout card = full.layout();
    ASSERT_EQ(card.stats.size(), 3);
    const QImage image = decoded(*full.renderPNG());

    const QList<std::pair<const char*, QRectF>> areas{
        {"logo", card.logo.rect},         {"name", card.name.rect},       {"caption", card.caption.rect},
        {"hero", card.hero.rect},         {"hero word", card.heroWord.rect}, {"hero caption", card.heroCaption.rect},
        {"host", card.host.rect},         {"hashtag", card.hashtag.rect},
    };
    for (const auto& [name, area] : areas)
        EXPECT_TRUE(hasInk(image, area)) << name;
    for (const ShareCardView::StatBlock& block : card.stats) {
        EXPECT_TRUE(hasInk(image, block.symbol.rect)) << block.symbol.name.toStdString();
        EXPECT_TRUE(hasInk(image, block.value.rect)) << block.value.text.toStdString();
        EXPECT_TRUE(hasInk(image, block.label.rect)) << block.label.text.toStdString();
    }
    // Everything sits inside the card, below the header and above the footer in that order.
    const QRectF frame(QPointF(0, 0), ShareCardView::size);
    for (const ShareCardView::Text& item : texts(card))
        EXPECT_TRUE(frame.contains(item.rect)) << item.text.toStdString();
    EXPECT_LT(card.caption.rect.bottom(), card.hero.rect.top());
    EXPECT_LT(card.heroCaption.rect.bottom(), card.stats[0].frame.top());
    EXPECT_LT(card.stats[0].frame.bottom(), card.host.rect.top());

    // Without streak and health, the energy block stays where it was and the rest is bare.
    const ShareCardView bare(week(1), SharePeriod::Week, std::nullopt);
    const ShareCardView::Layout bareCard = bare.layout();
    ASSERT_EQ(bareCard.stats.size(), 1);
    EXPECT_EQ(bareCard.stats[0].frame, card.stats[0].frame);
    const QImage bareImage = decoded(*bare.renderPNG());
    EXPECT_TRUE(hasInk(bareImage, bareCard.stats[0].value.rect));
    EXPECT_FALSE(hasInk(bareImage, card.stats[1].frame));
    EXPECT_FALSE(hasInk(bareImage, card.stats[2].frame));
}

} // namespace kestrune::test
