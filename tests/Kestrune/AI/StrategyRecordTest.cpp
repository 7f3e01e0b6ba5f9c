#include "Kestrune/AI/AIStrategist.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <limits>

using namespace kestrune;
using Strategy = AIStrategist::Strategy;

namespace {

QStringList numbered(const QString& prefix, int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << prefix + QString::number(i);
    return names;
}

// The telemetry as the power saver sends it: up to ten processes with their impact.
QJsonObject telemetry(const QStringList& names)
{
    QJsonArray processes;
    for (const QString& name : names)
        processes.append(QJsonObject { { "name", name }, { "impact", 12 } });
    return QJsonObject { { "top_processes", processes }, { "soc", 55 } };
}

const QString sixty(60, QChar(u'p'));
const QStringList known = QStringList { "chrome", "node", "Xorg", sixty, sixty + "q" } + numbered("w", 12);

struct Row {
    const char* what;
    QString json;
    std::optional<Strategy> expected; // nothing: the text does not decode
};

Strategy with(auto field, auto value)
{
    Strategy s;
    s.*field = value;
    return s;
}

} // namespace

TEST(StrategyRecordTest, JsonTextBecomesASanitisedRecord)
{
    const QString emoji = QString::fromUtf16(u"\U0001F468\u200D\U0001F469\u200D\U0001F467"); // one family
    const QString combining = QStringLiteral("e") + QChar(0x0301); // é as two
    const QString base299(299, QChar(u'a'));

    const QList<Row> rows {
        { "empty", "{}", Strategy {} },
        { "nulls are absent", R"({"target_drain_watts": null, "throttle_avoid": null, "reasoning": null})",
            Strategy {} },
        { "unknown keys", R"({"mood": "calm", "brightness_cap": 0.8})", with(&Strategy::brightnessCap, 0.8) },
        { "target low", R"({"target_drain_watts": 2.0})", with(&Strategy::targetDrainWatts, 3.0) },
        { "target high", R"({"target_drain_watts": 30})", with(&Strategy::targetDrainWatts, 25.0) },
        { "target kept", R"({"target_drain_watts": 12.5})", with(&Strategy::targetDrainWatts, 12.5) },
        { "cap low", R"({"brightness_cap": 0.01})", with(&Strategy::brightnessCap, 0.5) },
        { "cap high", R"({"brightness_cap": 1.2})", with(&Strategy::brightnessCap, 1.0) },
        { "escalate low", R"({"escalate_soc_threshold": 10})",
            with(&Strategy::escalateSocThreshold, qint64(25)) },
        { "escalate high", R"({"escalate_soc_threshold": 99})",
            with(&Strategy::escalateSocThreshold, qint64(60)) },
        { "escalate whole float", R"({"escalate_soc_threshold": 40.0})",
            with(&Strategy::escalateSocThreshold, qint64(40)) },
        { "escalate fraction", R"({"escalate_soc_threshold": 40.5})", std::nullopt },
        { "escalate beyond 64 bits", R"({"escalate_soc_threshold": 9223372036854775808})", std::nullopt },
        { "escalate 64-bit extreme", R"({"escalate_soc_threshold": -9223372036854775808})",
            with(&Strategy::escalateSocThreshold, qint64(25)) },
        { "escalate text", R"({"escalate_soc_threshold": "40"})", std::nullopt },
        { "target text", R"({"target_drain_watts": "8"})", std::nullopt },
        { "cap boolean", R"({"brightness_cap": true})", std::nullopt },
        { "avoid as a string", R"({"throttle_avoid": "chrome"})", std::nullopt },
        { "list with a number", R"({"throttle_recommended": ["chrome", 1]})", std::nullopt },
        { "reasoning number", R"({"reasoning": 1})", std::nullopt },
        { "not an object", "[]", std::nullopt },
        { "not JSON", "strategy: none", std::nullopt },
        { "unknown and protected names go",
            R"({"throttle_recommended": ["chrome", "evil", "CHROME", "Xorg"]})",
            with(&Strategy::throttleRecommended, QStringList { "chrome", "Xorg" }) },
        { "nothing survives", R"({"throttle_recommended": ["evil"], "throttle_avoid": []})", Strategy {} },
        { "repeats survive", R"({"throttle_avoid": ["node", "node"]})",
            with(&Strategy::throttleAvoid, QStringList { "node", "node" }) },
        { "60 characters but not 61", QString(R"({"throttle_avoid": ["%1", "%1q"]})").arg(sixty),
            with(&Strategy::throttleAvoid, QStringList { sixty }) },
        { "first ten", QString(R"({"throttle_recommended": ["%1"]})").arg(numbered("w", 12).join("\", \"")),
            with(&Strategy::throttleRecommended, numbered("w", 10)) },
        { "long reasoning", QString(R"({"reasoning": "%1"})").arg(QString(500, QChar(u'r'))),
            with(&Strategy::reasoning, QString(300, QChar(u'r'))) },
        { "combining mark at the cut", QString(R"({"reasoning": "%1%2zz"})").arg(base299, combining),
            with(&Strategy::reasoning, base299 + combining) },
        { "emoji sequence at the cut", QString(R"({"reasoning": "%1%2zz"})").arg(base299, emoji),
            with(&Strategy::reasoning, base299 + emoji) },
    };

    for (const Row& row : rows) {
        const std::optional<Strategy> decoded = Strategy::fromJson(row.json.toUtf8());
        ASSERT_EQ(decoded.has_value(), row.expected.has_value()) << row.what;
        if (!decoded)
            continue;
        EXPECT_EQ(AIStrategist::sanitize(*decoded, AIStrategist::knownProcessNames(telemetry(known))),
            *row.expected)
            << row.what;
    }

    // Only a record built in code can hold these; they give no advice at all.
    Strategy nonFinite;
    nonFinite.targetDrainWatts = std::numeric_limits<double>::quiet_NaN();
    nonFinite.brightnessCap = std::numeric_limits<double>::infinity();
    EXPECT_EQ(AIStrategist::sanitize(nonFinite, known), Strategy {});
}

TEST(StrategyRecordTest, OnlyNamesTheMachineReportedSurvive)
{
    const QByteArray json
        = R"({"throttle_recommended": ["chrome"], "throttle_avoid": ["node"], "reasoning": "r"})";
    const Strategy strategy = *Strategy::fromJson(json);

    QJsonObject mixed = telemetry({ "chrome", "node" });
    QJsonArray processes = mixed["top_processes"].toArray();
    processes.append(QJsonObject());
    processes.append(QJsonObject { { "name", 7 } });
    mixed["top_processes"] = processes;
    EXPECT_EQ(AIStrategist::knownProcessNames(mixed), (QStringList { "chrome", "node" }));

    processes.append("node");
    const QList<QJsonObject> unusable { QJsonObject(), QJsonObject { { "top_processes", "chrome" } },
        QJsonObject { { "top_processes", processes } } };
    for (const QJsonObject& t : unusable) {
        const Strategy clean = AIStrategist::sanitize(strategy, AIStrategist::knownProcessNames(t));
        EXPECT_FALSE(clean.throttleRecommended);
        EXPECT_FALSE(clean.throttleAvoid);
        EXPECT_EQ(clean.reasoning, "r");
    }
}
