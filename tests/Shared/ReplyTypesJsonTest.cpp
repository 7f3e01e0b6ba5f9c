#include "Shared/ChargingCapabilities.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/PowerMetricsReport.h"
#include "Shared/SMCChargingState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrune;

namespace {
QJsonObject parsed(const std::optional<QByteArray>& bytes)
{
    return QJsonDocument::fromJson(bytes.value_or(QByteArray())).object();
}
} // namespace

TEST(ChargingCapabilitiesJson, RoundTripsAndLeavesAbsentMethodsOut)
{
    const ChargingCapabilities full{true, QStringLiteral("CH0B/CH0C"), QStringLiteral("CHIE"), true, {}};
    const auto bytes = full.toJson();
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->contains(R"("chargingControlMethod":"CH0B\/CH0C")")) << bytes->constData();
    EXPECT_EQ(ChargingCapabilities::fromJson(*bytes), full);

    const ChargingCapabilities none{true, std::nullopt, std::nullopt, false,
                                    {QStringLiteral("充電停止キー(CH0B/CH0C/CHTE)が見つかりません")}};
    const QJsonObject o = parsed(none.toJson());
    EXPECT_EQ(o.keys(), (QStringList{"hasAppleLimit80", "notes", "smcAvailable"}));
    EXPECT_EQ(ChargingCapabilities::fromJson(*none.toJson()), none);
    // Japanese is written as characters, not escapes.
    EXPECT_TRUE(none.toJson()->contains(QStringLiteral("充電停止キー").toUtf8()));
}

TEST(ChargingCapabilitiesJson, DecodingIsStrictAboutRequiredMembers)
{
    EXPECT_FALSE(ChargingCapabilities::fromJson(R"({"smcAvailable":true,"hasAppleLimit80":false})"));
    EXPECT_FALSE(ChargingCapabilities::fromJson(R"({"smcAvailable":1,"hasAppleLimit80":false,"notes":[]})"));
    EXPECT_FALSE(ChargingCapabilities::fromJson(R"({"smcAvailable":true,"hasAppleLimit80":false,"notes":[1]})"));
    EXPECT_FALSE(ChargingCapabilities::fromJson(
        R"({"smcAvailable":true,"hasAppleLimit80":false,"notes":[],"dischargeMethod":5})"));
    EXPECT_FALSE(ChargingCapabilities::fromJson("not json"));
    EXPECT_FALSE(ChargingCapabilities::fromJson("[]"));
    // Null optionals and unknown members are fine; both slash forms are read.
    const auto lenient = ChargingCapabilities::fromJson(
        R"({"smcAvailable":true,"hasAppleLimit80":false,"notes":[],"chargingControlMethod":null,
            "dischargeMethod":"CH\/0I","extra":{"x":1}})");
    ASSERT_TRUE(lenient);
    EXPECT_FALSE(lenient->chargingControlMethod);
    EXPECT_EQ(lenient->dischargeMethod, QStringLiteral("CH/0I"));
}

TEST(SMCChargingStateJson, AbsentLimitDiffersFromFalse)
{
    const SMCChargingState unread{true, false, std::nullopt};
    EXPECT_EQ(*unread.toJson(), QByteArray(R"({"chargingInhibited":true,"forceDischarging":false})"));
    const SMCChargingState off{true, false, false};
    EXPECT_NE(unread, off);
    EXPECT_EQ(SMCChargingState::fromJson(*off.toJson()), off);
    EXPECT_EQ(SMCChargingState::fromJson(*unread.toJson()), unread);
    EXPECT_FALSE(SMCChargingState::fromJson(R"({"chargingInhibited":true})"));
    EXPECT_FALSE(SMCChargingState::fromJson(R"({"chargingInhibited":true,"forceDischarging":false,"appleLimit80":"yes"})"));
}

TEST(PowerMetricsReportJson, RoundTripsWith2001Dates)
{
    PowerMetricsReport report;
    report.timestamp = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0, 500), Qt::UTC);
    report.durationSeconds = 2.125;
    report.processes = {{4321, QStringLiteral("Safari/Web Content"), 55.5, 120.25},
                        {-1, QStringLiteral("kernel_task"), 3.0, 0}};
    const auto bytes = report.toJson();
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->contains(R"("name":"Safari\/Web Content")"));
    const QJsonObject o = parsed(bytes);
    EXPECT_DOUBLE_EQ(o["timestamp"].toDouble(), 818416800.5);
    EXPECT_TRUE(o["processes"].toArray().at(0).toObject()["pid"].isDouble());

    const auto decoded = PowerMetricsReport::fromJson(*bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->timestamp, report.timestamp);
    EXPECT_EQ(decoded->durationSeconds, 2.125);
    EXPECT_EQ(decoded->processes, report.processes);

    // An empty report still carries the list; a date of 0 is the 2001 reference date.
    const auto empty = PowerMetricsReport::fromJson(R"({"timestamp":0,"durationSeconds":0,"processes":[]})");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->timestamp, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    const PowerMetricsReport none{empty->timestamp, 0, {}};
    EXPECT_TRUE(none.toJson()->contains(R"("processes":[])"));
}

TEST(PowerMetricsReportJson, ANonFiniteFigureFailsTheEncoding)
{
    const QDateTime now(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_FALSE((PowerMetricsReport{now, std::numeric_limits<double>::infinity(), {}}.toJson()));
    EXPECT_FALSE((PowerMetricsReport{now, 1, {{1, "a", std::nan(""), 0}}}.toJson()));
    EXPECT_FALSE((PowerMetricsReport{QDateTime(), 1, {}}.toJson()));
    EXPECT_FALSE((ProcessPowerSample{1, "a", 1, -std::numeric_limits<double>::infinity()}.toJson()));
}

TEST(PowerMetricsReportJson, RejectsMalformedProcesses)
{
    EXPECT_FALSE(PowerMetricsReport::fromJson(R"({"timestamp":0,"durationSeconds":0,"processes":[{"pid":1.5,"name":"a","energyImpact":1,"cpuMsPerS":0}]})"));
    EXPECT_FALSE(PowerMetricsReport::fromJson(R"({"timestamp":0,"durationSeconds":0,"processes":[{"pid":1,"name":"a","energyImpact":1}]})"));
    EXPECT_FALSE(PowerMetricsReport::fromJson(R"({"timestamp":0,"durationSeconds":0,"processes":[7]})"));
    EXPECT_FALSE(PowerMetricsReport::fromJson(R"({"timestamp":"now","durationSeconds":0,"processes":[]})"));
    EXPECT_FALSE(PowerMetricsReport::fromJson(R"({"timestamp":0,"durationSeconds":0})"));
}

TEST(HelperCommandResultJson, CarriesTheMessageOnlyOnFailure)
{
    EXPECT_EQ(*HelperCommandResult::ok().toJson(), QByteArray(R"({"success":true})"));
    const auto failed = HelperCommandResult::failure(QStringLiteral("SMCキーが存在しません: CH0B/CH0C/CHTE"));
    const auto decoded = HelperCommandResult::fromJson(*failed.toJson());
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->success);
    EXPECT_EQ(decoded->message, failed.message);
    EXPECT_TRUE(failed.toJson()->contains(R"(CH0B\/CH0C\/CHTE)"));
    EXPECT_FALSE(HelperCommandResult::fromJson(R"({"message":"x"})"));
    EXPECT_FALSE(HelperCommandResult::fromJson(R"({"success":"true"})"));
}
