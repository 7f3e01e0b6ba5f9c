#include "Foundation/Epoch.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/UI/FormSection.h"
#include "Kestrune/UI/GroupedForm.h"
#include "Kestrune/UI/SymbolLabel.h"
#include "Platform/Symbols/SystemColors.h"
#include "Shared/PowerMetricsReport.h"
#include "tests/Kestrune/UI/PowerSaver/PowerSaverViewFixture.h"

#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace kestrune::test {

namespace {

QWidget* rowWith(const QList<QWidget*>& rows, const QString& text)
{
    for (QWidget* row : rows)
        for (const QLabel* label : row->findChildren<QLabel*>())
            if (label->text() == text)
                return row;
    ADD_FAILURE() << "no row shows " << text.toStdString();
    return nullptr;
}

template <typename T> T* in(QWidget* row, const char* name)
{
    return row ? row->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

// Clicks the button of that name in `row`; false, and no click, when there is none.
[[nodiscard]] bool press(QWidget* row, const char* name)
{
    QPushButton* button = in<QPushButton>(row, name);
    if (!button)
        return false;
    button->click();
    return true;
}

} // namespace

TEST_F(PowerSaverViewFixture, ActionLogListsFiftyRecordsAndReloadsWithTheStatusLine)
{
    open();
    HistoryStore& history = *state->history();
    view->hide();
    const QStringList kinds{QStringLiteral("share"), QStringLiteral(""), QStringLiteral("strategy"), QStringLiteral("report"),
                            QStringLiteral("unthrottle")};
    for (int i = 0; i < 51; ++i) {
        PowerActionRecord record(clock().now().addSecs(60 * (i + 1)), kinds.at(i % kinds.size()),
                                 QStringLiteral("record %1").arg(i));
        ASSERT_TRUE(history.save(record));
    }
    view->show();
    const QList<QWidget*> rows = all("actionRow");
    ASSERT_EQ(rows.size(), 50);
    EXPECT_EQ(textsIn(rows.first()), (QStringList{QStringLiteral("3月2日 9:51"), QStringLiteral("record 50")}));

    struct Expected {
        const char* detail;
        const char* symbol;
        QColor color;
    };
    const QColor secondary = PowerSaverView::colorFor(QStringLiteral("share"));
    EXPECT_LT(secondary.alphaF(), 0.8);
    for (const Expected& expected : {Expected{"record 45", "circle.fill", secondary},
                                     Expected{"record 46", "circle.fill", secondary},
                                     Expected{"record 47", "brain.fill", SystemColors::purple()},
                                     Expected{"record 48", "brain.fill", SystemColors::purple()},
                                     Expected{"record 49", "hare.fill", SystemColors::green()}}) {
        const auto* symbol = in<SymbolLabel>(rowWith(rows, QString::fromLatin1(expected.detail)), "symbol");
        ASSERT_TRUE(symbol);
        EXPECT_EQ(symbol->symbol(), QLatin1String(expected.symbol)) << expected.detail;
        EXPECT_EQ(colorOf(symbol), expected.color) << expected.detail;
    }

    // Written while the tab is shown: listed once the autopilot's status line changes.
    PowerActionRecord late(clock().now().addSecs(3600), QStringLiteral("lpm"), QStringLiteral("late"));
    ASSERT_TRUE(history.save(late));
    EXPECT_EQ(all("actionRow").first()->findChild<QLabel*>(QStringLiteral("detail"))->text(), QStringLiteral("record 50"));
    access->setLevel(2, clock().now());
    access->updateStatusText();
    EXPECT_EQ(all("actionRow").first()->findChild<QLabel*>(QStringLiteral("detail"))->text(), QStringLiteral("late"));
    EXPECT_EQ(view->actions().size(), 50);
}

TEST_F(PowerSaverViewFixture, WithoutAHistoryTheLogIsEmpty)
{
    demo::DemoApp::Options options = fresh();
    options.historyStore = false;
    open(options);
    ASSERT_EQ(state->history(), nullptr);
    EXPECT_TRUE(shown("noActions"));
    EXPECT_TRUE(all("actionRow").isEmpty());
}

TEST_F(PowerSaverViewFixture, ExclusionsEditedThroughTheTabPersist)
{
    open();
    ChargingSettings& settings = state->settings();
    SavingsModel& savings = state->savings();
    auto* field = find<QLineEdit>("newExclusion");
    auto* add = find<QPushButton>("addExclusion");

    // Blanks around a name go, the ideographic space a Japanese input method types included.
    field->setText(QStringLiteral("  Slack\u3000\t"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(settings.powerExclusions(), QStringList{QStringLiteral("Slack")});
    EXPECT_TRUE(field->text().isEmpty());
    field->setText(QStringLiteral("Slack"));
    add->click();
    EXPECT_EQ(settings.powerExclusions(), QStringList{QStringLiteral("Slack")});
    EXPECT_EQ(field->text(), QStringLiteral("Slack")) << "kept, to be corrected";
    field->setText(QStringLiteral("slack"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(settings.powerExclusions(), (QStringList{QStringLiteral("Slack"), QStringLiteral("slack")}));
    field->setText(QStringLiteral(" \u3000\t "));
    EXPECT_FALSE(add->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(settings.powerExclusions().size(), 2);
    EXPECT_EQ(field->text(), QStringLiteral(" \u3000\t "));

    // Removing an entry removes each copy of it.
    settings.setPowerExclusions({QStringLiteral("Slack"), QStringLiteral("slack"), QStringLiteral("Zoom"), QStringLiteral("Slack")});
    ASSERT_EQ(all("exclusionRow").size(), 4);
    ASSERT_TRUE(press(all("exclusionRow").value(0), "removeExclusion"));
    flushDeletes();
    EXPECT_EQ(settings.powerExclusions(), (QStringList{QStringLiteral("slack"), QStringLiteral("Zoom")}));
    EXPECT_EQ(all("exclusionRow").size(), 2);

    // Suggestions: accepted (already listed, or not) and ignored.
    savings.importBackup({{QStringLiteral("exclusion_suggestions"),
                           QJsonArray{QStringLiteral("Zoom"), QStringLiteral("Discord"), QStringLiteral("Teams")}}});
    const auto suggestion = [&](const QString& name) {
        return rowWith(all("suggestionRow"), QStringLiteral("「%1」を除外リストに追加しますか?(解除操作から学習)").arg(name));
    };
    ASSERT_TRUE(press(suggestion(QStringLiteral("Zoom")), "acceptSuggestion"));
    ASSERT_TRUE(press(suggestion(QStringLiteral("Discord")), "acceptSuggestion"));
    ASSERT_TRUE(press(suggestion(QStringLiteral("Teams")), "ignoreSuggestion"));
    flushDeletes();
    EXPECT_EQ(settings.powerExclusions(), (QStringList{QStringLiteral("slack"), QStringLiteral("Zoom"), QStringLiteral("Discord")}));
    EXPECT_TRUE(savings.exclusionSuggestions().isEmpty());
    EXPECT_TRUE(all("suggestionRow").isEmpty());
    EXPECT_FALSE(savings.recordManualUnthrottle(QStringLiteral("Teams"), false, clock().now()));
    EXPECT_FALSE(savings.recordManualUnthrottle(QStringLiteral("Teams"), false, clock().now()));
    EXPECT_TRUE(savings.exclusionSuggestions().isEmpty()) << "an ignored name is never offered again";

    // A fresh start reads the list back, and the autopilot keeps its hands off those names.
    ASSERT_TRUE(state->defaults().synchronize());
    UserDefaults stored(demo->folder() + QStringLiteral("/defaults.json"));
    ChargingSettings reread(stored);
    EXPECT_EQ(reread.powerExclusions(), settings.powerExclusions());
    EXPECT_TRUE(state->tracker().isProtected(QStringLiteral("Slack Helper"), reread.powerExclusions(), clock().now()));
    EXPECT_FALSE(state->tracker().isProtected(QStringLiteral("Teams"), reread.powerExclusions(), clock().now()));
}

TEST_F(PowerSaverViewFixture, ReleasingAThrottledProcessFromTheList)
{
    open();
    PowerMetricsReport report;
    report.timestamp = clock().now();
    report.durationSeconds = 1;
    report.processes = {{300, QStringLiteral("Zoom"), 40, 500}, {200, QStringLiteral("Slack"), 30, 400}};
    state->tracker().recordSample(report);
    const auto throttle = [&](const char* name) {
        return access->apply(PowerActionKeys::throttleKey(QString::fromLatin1(name)), std::nullopt, clock().now());
    };
    ASSERT_TRUE(throttle("Zoom"));
    ASSERT_TRUE(throttle("Slack"));
    const auto names = [&] {
        flushDeletes();
        QStringList shownNames;
        for (QWidget* row : all("throttledRow"))
            shownNames << row->findChild<QLabel*>(QStringLiteral("processName"))->text();
        return shownNames;
    };
    const auto releases = [&](qint64 pid) {
        int count = 0;
        for (const FakeHelperDaemon::Call& call : daemon().calls())
            count += call.method == HelperProtocol::setProcessThrottled && call.arguments
                == QVariantList{QVariant::fromValue<qlonglong>(pid), false};
        return count;
    };
    const auto release = [&](const QString& name) { return press(rowWith(all("throttledRow"), name), "release"); };
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Slack"), QStringLiteral("Zoom")}));
    EXPECT_EQ(find<GroupedForm>("")->sections().at(7)->header()->text(), QStringLiteral("減速中のプロセス(2件)"));

    clock().advance(10);
    ASSERT_TRUE(release(QStringLiteral("Slack")));
    ASSERT_TRUE(waitUntil([&] { return names() == QStringList{QStringLiteral("Zoom")}; }));
    EXPECT_EQ(releases(200), 1);
    // The release is logged; the log shows it once the status line moves.
    access->updateStatusText();
    const QWidget* logged = all("actionRow").value(0);
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->findChild<QLabel*>(QStringLiteral("detail"))->text(), QStringLiteral("Slack (手動解除・好みを学習)"));
    EXPECT_EQ(logged->findChild<SymbolLabel*>()->symbol(), QStringLiteral("hare.fill"));
    EXPECT_EQ(colorOf(logged->findChild<SymbolLabel*>()), SystemColors::green());
    EXPECT_TRUE(all("suggestionRow").isEmpty());

    // The second release of the same application within 14 days proposes to exclude it.
    ASSERT_TRUE(throttle("Slack"));
    ASSERT_TRUE(release(QStringLiteral("Slack")));
    ASSERT_TRUE(waitUntil([&] { return all("suggestionRow").size() == 1; }));
    EXPECT_EQ(releases(200), 2);

    // Refused by the daemon: the process stays listed, to be released again.
    daemon().setReply(HelperProtocol::setProcessThrottled, *HelperCommandResult::failure(QStringLiteral("busy")).toJson());
    ASSERT_TRUE(release(QStringLiteral("Zoom")));
    ASSERT_TRUE(waitUntil([&] { return releases(300) == 1; }));
    spin(100);
    EXPECT_EQ(names(), QStringList{QStringLiteral("Zoom")});

    // Two quick presses while the daemon takes its time: one release.
    daemon().setReply(HelperProtocol::setProcessThrottled, *HelperCommandResult::ok().toJson(), 200);
    QPushButton* button = in<QPushButton>(rowWith(all("throttledRow"), QStringLiteral("Zoom")), "release");
    ASSERT_TRUE(button);
    button->click();
    spin(20);
    button->click();
    ASSERT_TRUE(waitUntil([&] { return names().isEmpty(); }));
    spin(300);
    EXPECT_EQ(releases(300), 2);
    EXPECT_TRUE(shown("noThrottled"));
    EXPECT_EQ(find<GroupedForm>("")->sections().at(7)->header()->text(), QStringLiteral("減速中のプロセス(0件)"));
}

} // namespace kestrune::test
