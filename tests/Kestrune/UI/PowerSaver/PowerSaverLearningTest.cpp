#include "Foundation/Epoch.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/ProportionalBar.h"
#include "Platform/Symbols/SystemColors.h"
#include "tests/Kestrune/UI/PowerSaver/PowerSaverViewFixture.h"

#include <QJsonObject>

namespace kestrune::test {

namespace {

QJsonObject effect(double deltaW, int samples, const QDateTime& at)
{
    return {{QStringLiteral("deltaW"), deltaW},
            {QStringLiteral("samples"), samples},
            {QStringLiteral("updatedAt"), Epoch::secondsSince1970(at)}};
}

} // namespace

TEST_F(PowerSaverViewFixture, LearningReportListsTheLargestEffectsTheStrongestDislikesAndTheWeek)
{
    open();
    SavingsModel& savings = state->savings();
    HistoryStore& history = *state->history();
    const QDateTime now = clock().now();
    // Shown anew, the tab reads what depends on the day afresh.
    const auto reshow = [&] {
        view->hide();
        view->show();
    };

    // Nothing learned yet: the intro instead of rows, the dislikes and the week still there.
    savings.recordPenalty(QStringLiteral("lpm"), 0.8, now);
    history.accrueSavings(2.0, 0.6, 1, now);
    reshow();
    EXPECT_TRUE(shown("effectsIntro"));
    EXPECT_TRUE(all("effectRow").isEmpty());
    EXPECT_TRUE(shown("dislikesRow"));
    EXPECT_EQ(text("dislikes"), QStringLiteral("Low Power Mode — 巻き戻し傾向 0.8"));
    EXPECT_EQ(text("weekLine"), QStringLiteral("-")) << "only the minutes decide";

    // Twelve effects: the ten largest, a negative one among them, with their confidence.
    QJsonObject effects{{QStringLiteral("lpm"), effect(2.0, 5, now)},        {QStringLiteral("kbOff"), effect(1.5, 4, now)},
                        {QStringLiteral("dim70"), effect(1.2, 3, now)},      {QStringLiteral("dim50"), effect(1.0, 0, now)},
                        {QStringLiteral("spotlight"), effect(0.8, 9, now)},  {QStringLiteral("timemachine"), effect(0.7, 1, now)},
                        {QStringLiteral("throttle:A"), effect(0.6, 2, now)}, {QStringLiteral("throttle:B"), effect(0.5, 2, now)},
                        {QStringLiteral("throttle:C"), effect(0.4, 2, now)}, {QStringLiteral("throttle:D"), effect(-0.3, 2, now)},
                        {QStringLiteral("throttle:E"), effect(-0.5, 2, now)}, {QStringLiteral("throttle:F"), effect(-0.9, 2, now)}};
    savings.importBackup({{QStringLiteral("effects"), effects}});
    const QList<QWidget*> rows = all("effectRow");
    ASSERT_EQ(rows.size(), 10);
    EXPECT_FALSE(shown("effectsIntro"));
    const auto rowNamed = [&](const QString& name) -> QWidget* {
        for (QWidget* row : rows)
            if (row->findChild<QLabel*>(QStringLiteral("effectName"))->text() == name)
                return row;
        ADD_FAILURE() << name.toStdString();
        return rows.first();
    };
    EXPECT_EQ(textsIn(rows.first()), (QStringList{QStringLiteral("Low Power Mode"), QStringLiteral("2.0W"), QStringLiteral("実測5回")}));
    EXPECT_EQ(textsIn(rows.last()), (QStringList{QStringLiteral("D を減速"), QStringLiteral("-0.3W"), QStringLiteral("実測2回")}));
    EXPECT_EQ(colorOf(rows.last()->findChild<QLabel*>(QStringLiteral("effectWatts"))), SystemColors::green());
    struct Expected {
        QString name;
        double fill;
        QColor color;
        QString tooltip;
    };
    for (const Expected& expected : {
             Expected{QStringLiteral("画面輝度50%制限"), 0.0, SystemColors::yellow(), QStringLiteral("信頼度 0%(実測5回で100%)")},
             Expected{QStringLiteral("画面輝度70%制限"), 0.6, SystemColors::yellow(), QStringLiteral("信頼度 60%(実測5回で100%)")},
             Expected{QStringLiteral("キーボードバックライトOFF"), 0.8, SystemColors::green(), QStringLiteral("信頼度 80%(実測5回で100%)")},
             Expected{QStringLiteral("Spotlight一時停止"), 1.0, SystemColors::green(), QStringLiteral("信頼度 100%(実測5回で100%)")},
         }) {
        const auto* bar = rowNamed(expected.name)->findChild<ProportionalBar*>(QStringLiteral("confidence"));
        EXPECT_DOUBLE_EQ(bar->value(), expected.fill) << expected.name.toStdString();
        EXPECT_EQ(bar->color(), expected.color) << expected.name.toStdString();
        EXPECT_EQ(bar->toolTip(), expected.tooltip);
    }

    // Six strong dislikes: the five highest.
    for (int i = 0; i < 6; ++i)
        savings.recordPenalty(QStringLiteral("throttle:App%1").arg(i), 0.9 + 0.1 * i, now);
    EXPECT_EQ(text("dislikes").split(u'\n'),
              (QStringList{QStringLiteral("App5 を減速 — 巻き戻し傾向 1.4"), QStringLiteral("App4 を減速 — 巻き戻し傾向 1.3"),
                           QStringLiteral("App3 を減速 — 巻き戻し傾向 1.2"), QStringLiteral("App2 を減速 — 巻き戻し傾向 1.1"),
                           QStringLiteral("App1 を減速 — 巻き戻し傾向 1.0")}));

    // The seven days start at the start of the day six days before today.
    const QDateTime firstDay = QDateTime(now.date().addDays(-6), QTime(0, 0), Qt::UTC);
    history.accrueSavings(9.0, 120, 1, firstDay.addSecs(-1));
    history.accrueSavings(1.5, 30, 1, firstDay);
    reshow();
    EXPECT_EQ(text("weekLine"), QStringLiteral("+31分延命(3.5Wh)"));
}

} // namespace kestrune::test
