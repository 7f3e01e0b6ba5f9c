#include "KestruneHelper/PowerMetricsSampler.h"
#include "tests/KestruneHelper/Ops/FakeSystemTools.h"
#include "tests/support/ManualClock.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <plist/plist.h>

using namespace kestrune;
using namespace kestrune::test;

namespace {

QByteArray plistWithTasks(const QString& tasks)
{
    return (R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>is_delta</key><true/><key>tasks</key><array>)"
            + tasks + "</array></dict></plist>\n")
        .toUtf8();
}

QString task(const QString& members)
{
    return "<dict>" + members + "</dict>";
}

QStringList names(const std::vector<ProcessPowerSample>& samples)
{
    QStringList result;
    for (const ProcessPowerSample& s : samples)
        result << s.name;
    return result;
}

} // namespace

TEST(PowerMetricsParse, KeepsRealTasksWithPositiveImpactHighestFirstInTheToolsOrder)
{
    const QByteArray data = plistWithTasks(
        task("<key>name</key><string>ALL_TASKS</string><key>energy_impact</key><real>900</real>")
        + task("<key>name</key><string>powermetrics</string><key>pid</key><integer>9</integer>"
               "<key>energy_impact</key><real>50</real>")
        + task("<key>name</key><string>DEAD_TASKS</string><key>energy_impact</key><real>40</real>")
        + task("<key>name</key><string>first</string><key>pid</key><integer>100</integer>"
               "<key>energy_impact</key><real>5</real><key>cputime_ms_per_s</key><real>12.5</real>")
        + task("<key>name</key><string>zeroImpact</string><key>pid</key><integer>101</integer>"
               "<key>energy_impact</key><real>0</real><key>energy_impact_per_s</key><real>7</real>")
        + task("<key>name</key><string>perSecond</string><key>pid</key><integer>102</integer>"
               "<key>energy_impact_per_s</key><integer>8</integer>")
        + task("<key>name</key><string>second</string><key>pid</key><integer>103</integer>"
               "<key>energy_impact</key><real>5</real>")
        + task("<key>name</key><string>noPid</string><key>energy_impact</key><real>1.5</real>"
               "<key>cputime_ms_per_s</key><string>many</string>")
        + task("<key>name</key><integer>7</integer><key>energy_impact</key><real>99</real>")
        + task("<key>pid</key><integer>104</integer><key>energy_impact</key><real>99</real>")
        + task("<key>name</key><string>negative</string><key>energy_impact</key><real>-3</real>")
        + task("<key>name</key><string>Powermetrics</string><key>pid</key><real>105.9</real>"
               "<key>energy_impact</key><real>2</real>"));

    const auto samples = PowerMetricsSampler::parse(data);
    EXPECT_EQ(names(samples), (QStringList{"perSecond", "first", "second", "Powermetrics", "noPid"}));
    ASSERT_EQ(samples.size(), 5u);
    EXPECT_EQ(samples[0], (ProcessPowerSample{102, "perSecond", 8, 0}));
    EXPECT_EQ(samples[1], (ProcessPowerSample{100, "first", 5, 12.5}));
    EXPECT_EQ(samples[3].pid, 105);
    EXPECT_EQ(samples[4], (ProcessPowerSample{-1, "noPid", 1.5, 0}));
}

TEST(PowerMetricsParse, DropsTasksWhoseFiguresJsonCannotCarry)
{
    const QByteArray data = plistWithTasks(
        task("<key>name</key><string>nanImpact</string><key>energy_impact</key><real>nan</real>")
        + task("<key>name</key><string>infCpu</string><key>energy_impact</key><real>3</real>"
               "<key>cputime_ms_per_s</key><real>inf</real>")
        + task("<key>name</key><string>fine</string><key>pid</key><integer>-1</integer>"
               "<key>energy_impact</key><real>1</real>"));
    const auto samples = PowerMetricsSampler::parse(data);
    EXPECT_EQ(names(samples), QStringList{"fine"});
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].pid, -1);

    PowerMetricsReport report{QDateTime::currentDateTimeUtc(), 1, samples};
    EXPECT_TRUE(report.toJson());
}

TEST(PowerMetricsParse, AnythingButTheExpectedShapeGivesNoTasks)
{
    EXPECT_TRUE(PowerMetricsSampler::parse({}).empty());
    EXPECT_TRUE(PowerMetricsSampler::parse("not a property list").empty());
    EXPECT_TRUE(PowerMetricsSampler::parse(plistWithTasks(task("<key>name</key><string>x</string>")).left(120)).empty());
    EXPECT_TRUE(PowerMetricsSampler::parse(R"(<?xml version="1.0"?><plist version="1.0"><array/></plist>)").empty());
    EXPECT_TRUE(PowerMetricsSampler::parse(
                    R"(<?xml version="1.0"?><plist version="1.0"><dict><key>tasks</key><string>x</string></dict></plist>)")
                    .empty());
    // One entry that is not a dictionary spoils the list.
    EXPECT_TRUE(PowerMetricsSampler::parse(
                    plistWithTasks(task("<key>name</key><string>a</string><key>energy_impact</key><real>1</real>")
                                   + "<string>b</string>"))
                    .empty());
}

TEST(PowerMetricsParse, ReadsTheBinaryFormatToo)
{
    plist_t root = nullptr;
    const QByteArray xml
        = plistWithTasks(task("<key>name</key><string>bin</string><key>pid</key><integer>42</integer>"
                              "<key>energy_impact</key><real>3.25</real>"));
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    ASSERT_TRUE(root);
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    plist_free(root);
    const QByteArray data(bin, length);
    plist_to_bin_free(bin);

    const auto samples = PowerMetricsSampler::parse(data);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0], (ProcessPowerSample{42, "bin", 3.25, 0}));
}

class PowerMetricsSampleTest : public ::testing::Test {
protected:
    FakeSystemTools tools;
    ManualClock clock;
    QString program() const { return tools.program("powermetrics"); }
};

TEST_F(PowerMetricsSampleTest, RunsTheToolForTheClampedIntervalAndReportsItsTasks)
{
    tools.setOutput("powermetrics",
                    plistWithTasks(task("<key>name</key><string>busy</string><key>pid</key><integer>77</integer>"
                                        "<key>energy_impact</key><real>12</real>")));
    const PowerMetricsReport report = PowerMetricsSampler::sample(0, program(), 15'000, clock);
    EXPECT_EQ(report.timestamp, clock.now());
    EXPECT_GT(report.durationSeconds, 0);
    ASSERT_EQ(report.processes.size(), 1u);
    EXPECT_EQ(report.processes[0].name, "busy");

    PowerMetricsSampler::sample(-4, program(), 15'000, clock);
    PowerMetricsSampler::sample(60, program(), 15'000, clock);
    PowerMetricsSampler::sample(3, program(), 15'000, clock);
    const QString prefix = "powermetrics --samplers tasks --show-process-energy -i ";
    EXPECT_EQ(tools.calls(), (QStringList{prefix + "1000 -n 1 -f plist", prefix + "1000 -n 1 -f plist",
                                          prefix + "15000 -n 1 -f plist", prefix + "3000 -n 1 -f plist"}));
}

TEST_F(PowerMetricsSampleTest, AToolThatCannotStartGivesAnEmptyReportOfNoDuration)
{
    const PowerMetricsReport report = PowerMetricsSampler::sample(2, "/nonexistent/powermetrics", 15'000, clock);
    EXPECT_EQ(report.timestamp, clock.now());
    EXPECT_EQ(report.durationSeconds, 0);
    EXPECT_TRUE(report.processes.empty());
}

TEST_F(PowerMetricsSampleTest, ALoudToolIsNotStalledByItsUnreadErrors)
{
    // Far more than a pipe holds goes to standard error before the report is written.
    tools.setScript("powermetrics",
                    "head -c 2000000 /dev/zero >&2\nprintf '%s' '"
                        + QString::fromUtf8(plistWithTasks(task("<key>name</key><string>after</string>"
                                                                 "<key>energy_impact</key><real>1</real>")))
                        + "'\n");
    QElapsedTimer elapsed;
    elapsed.start();
    const PowerMetricsReport report = PowerMetricsSampler::sample(1, program(), 15'000, clock);
    EXPECT_LT(elapsed.elapsed(), 5'000);
    ASSERT_EQ(report.processes.size(), 1u);
    EXPECT_EQ(report.processes[0].name, "after");
}

TEST_F(PowerMetricsSampleTest, AToolThatNeverFinishesIsKilledAtTheDeadline)
{
    // It writes part of a report and then holds its output open.
    tools.setScript("powermetrics", "printf '<?xml version=\"1.0\"?><plist><dict>'\nexec sleep 60\n");
    QElapsedTimer elapsed;
    elapsed.start();
    const PowerMetricsReport report = PowerMetricsSampler::sample(1, program(), 200, clock);
    EXPECT_GE(elapsed.elapsed(), 1'000);
    EXPECT_LT(elapsed.elapsed(), 5'000);
    EXPECT_TRUE(report.processes.empty());
    EXPECT_GE(report.durationSeconds, 1.0);
}
