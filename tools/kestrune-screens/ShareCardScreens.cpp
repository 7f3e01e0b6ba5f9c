#include "tools/kestrune-screens/ShareCardScreens.h"

#include "Kestrune/Share/ShareCardView.h"

namespace kestrune {

namespace {

bool writeCard(const ScreenFolder& folder, const QString& screen, const ShareCardView& card)
{
    return folder.write(screen, card.renderPNG().value_or(QByteArray()));
}

} // namespace

bool shareCardScreens(const ScreenFolder& folder)
{
    const SavingsStats::Summary summary{.todayMinutes = 135, .todayWh = 12.3, .weekMinutes = 612.4, .weekWh = 55.8,
                                        .totalMinutes = 4821, .totalWh = 431.6, .streakDays = 5};
    bool ok = true;
    for (const SharePeriod period : SharePeriod::allCases())
        ok &= writeCard(folder, QStringLiteral("share-card-") + period.rawValue(), ShareCardView(summary, period, 92.6));
    ok &= writeCard(folder, QStringLiteral("share-card-empty"), ShareCardView({}, SharePeriod::Today, std::nullopt));
    const SavingsStats::Summary lifetime{.totalMinutes = 987654321, .totalWh = 1234567.8, .streakDays = 1200};
    ok &= writeCard(folder, QStringLiteral("share-card-long"), ShareCardView(lifetime, SharePeriod::Total, 100));
    return ok;
}

} // namespace kestrune
