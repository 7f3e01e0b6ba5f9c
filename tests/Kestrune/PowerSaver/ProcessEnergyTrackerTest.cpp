#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"

#include "Foundation/UserDefaults.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "Shared/HelperProtocol.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace kestrune;
using namespace std::chrono_literals;

namespace {

using Candidate = ProcessEnergyTracker::Candidate;
using Drainer = ProcessEnergyTracker::Drainer;
using Answer = test::FakeHelperDaemon::Answer;

PowerMetricsReport report(std::initializer_list<std::tuple<qint64, const char*, double>> processes)
{
    PowerMetricsReport r{QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC), 2, {}};
    for (const auto& [pid, name, impact] : processes)
        r.processes.push_back({pid, QString::fromUtf8(name), impact, 0});
    return r;
}

RunningApplication app(const char* name, const char* executable = "") { return {name, executable}; }

class ProcessEnergyTrackerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::ManualClock clock;
    UserDefaults defaults{dir.filePath("defaults.json")};
    FakeWorkspace workspace{app("Terminal")};

    std::unique_ptr<ProcessEnergyTracker> makeTracker()
    {
        return std::make_unique<ProcessEnergyTracker>(defaults, workspace, clock);
    }
};

} // namespace

TEST_F(ProcessEnergyTrackerTest, WalkOverSeveralSamples)
{
    defaults.set("powersaver.impactEMA", QByteArray(R"({"Old":5.5,"Kept":6})"));
    auto tracker = makeTracker();
    EXPECT_EQ(tracker->frontmostAppName(), QStringLiteral("Terminal"));

    // Total 110: 6 % is 6.6, so the floor of 80 decides and only "Chrome" is high.
    tracker->recordSample(report({{10, "Chrome", 100}, {11, "Mail", 10}, {12, "Idle", 0}}));
    EXPECT_EQ(tracker->lastSampleAt(), clock.now());
    EXPECT_EQ(tracker->impactEMA(), (ImpactMap{{"Chrome", 100}, {"Mail", 10}, {"Idle", 0}, {"Kept", 5.4}}));
    EXPECT_TRUE(tracker->throttleCandidates({}, 0, 0, 10).isEmpty()); // high once is not enough

    // Total 2000: 6 % is 120. Two "Chrome" processes fold in one after the other; pid 1 never
    // qualifies; a name present at 0 is not decayed.
    clock.advance(60);
    tracker->recordSample(report({{10, "Chrome", 1500}, {13, "Chrome", 130}, {14, "Slack", 250}, {12, "Idle", 0},
                                  {1, "launcher", 120}}));
    EXPECT_DOUBLE_EQ(tracker->impactEMA().value("Chrome"), 0.4 * 130 + 0.6 * (0.4 * 1500 + 0.6 * 100));
    EXPECT_DOUBLE_EQ(tracker->impactEMA().value("Mail"), 9);
    EXPECT_EQ(tracker->impactEMA().value("Idle", -1), 0);
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10),
              (QList<Candidate>{{10, "Chrome", 1500}, {13, "Chrome", 130}}));
    EXPECT_EQ(tracker->throttleCandidates({}, 200, 0, 10), QList<Candidate>{(Candidate{10, "Chrome", 1500})});
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0.5, 10), QList<Candidate>{(Candidate{10, "Chrome", 1500})});
    EXPECT_TRUE(tracker->throttleCandidates({}, 0, 0, 0).isEmpty());

    clock.advance(60);
    tracker->recordSample(report({{14, "Slack", 900}, {10, "Chrome", 800}, {1, "launcher", 700}}));
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10), (QList<Candidate>{{14, "Slack", 900}, {10, "Chrome", 800}}));
    EXPECT_EQ(tracker->topLearnedDrainers(2), (QList<Drainer>{{"Chrome", 0.4 * 800 + 0.6 * (0.4 * 130 + 0.6 * 660)}, {"Slack", 510}}));

    // High only in the sample before the last is no longer enough; an empty report empties both sets.
    tracker->recordSample(report({{14, "Slack", 10}, {10, "Chrome", 900}}));
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10), QList<Candidate>{(Candidate{10, "Chrome", 900})});
    tracker->recordSample(report({}));
    tracker->recordSample(report({{10, "Chrome", 900}}));
    EXPECT_TRUE(tracker->throttleCandidates({}, 0, 0, 10).isEmpty());

    // The learned map survives a new tracker; a stored map that is not all numbers is dropped.
    const ImpactMap learned = tracker->impactEMA();
    EXPECT_EQ(makeTracker()->impactEMA(), learned);
    defaults.set("powersaver.impactEMA", QByteArray(R"({"Chrome":"a lot"})"));
    EXPECT_TRUE(makeTracker()->impactEMA().isEmpty());
}

TEST_F(ProcessEnergyTrackerTest, ProtectsCoreFrontmostRecentAndExcludedProcesses)
{
    auto tracker = makeTracker();
    const QDateTime now = clock.now();
    for (const char* name : {"Finder Sync", "KestruneHelper", "kestrune-helper", "pipewire-pulse", "Xwayland",
                             "gnome-session-b" /* the kernel keeps 15 characters */})
        EXPECT_TRUE(tracker->isProtected(name, {}, now)) << name;
    for (const char* name : {"MyFinder", "xorg", "gnome-session"})
        EXPECT_FALSE(tracker->isProtected(name, {}, now)) << name;

    // Exclusions are substrings in any letter case; an empty one protects nothing.
    EXPECT_TRUE(tracker->isProtected("Google Chrome Helper", {"chrome"}, now));
    EXPECT_FALSE(tracker->isProtected("Slack", {"", "chrome"}, now));

    // In front, or activated less than 300 s ago (by name or executable), by prefix.
    EXPECT_TRUE(tracker->isProtected("Terminal Helper", {}, now));
    tracker->noteActivated(app("Visual Studio Code", "/usr/share/code/code"));
    tracker->noteActivated(app("Slack"));
    EXPECT_TRUE(tracker->isProtected("code", {}, now.addSecs(299)));
    EXPECT_TRUE(tracker->isProtected("Visual Studio Code Helper", {}, now.addSecs(299)));
    EXPECT_FALSE(tracker->isProtected("code", {}, now.addSecs(300)));
    EXPECT_TRUE(tracker->isProtected("code", {}, now.addSecs(-60)));
    EXPECT_TRUE(tracker->isProtected("Slack Helper", {}, now.addSecs(3600)));

    // An application without a name leaves nobody in front and protects nothing.
    tracker->noteActivated(app(""));
    EXPECT_TRUE(tracker->frontmostAppName().isEmpty());
    EXPECT_FALSE(tracker->isProtected("Slack Helper", {}, now.addSecs(3600)));

    // Candidates leave out the front, the recent, the core and the excluded.
    tracker->noteActivated(app("Terminal"));
    const auto sample = report({{30, "Terminal", 500}, {31, "code", 400}, {32, "Finder", 300}, {33, "Steam", 300},
                                {34, "zoom.us", 300}, {35, "spotify", 200}});
    tracker->recordSample(sample);
    tracker->recordSample(sample);
    EXPECT_EQ(tracker->throttleCandidates({"ZOOM", ""}, 0, 0, 10),
              (QList<Candidate>{{33, "Steam", 300}, {35, "spotify", 200}}));
}

TEST_F(ProcessEnergyTrackerTest, EstimatedWattsShareTheDrainByImpact)
{
    auto tracker = makeTracker();
    EXPECT_EQ(tracker->estimatedWatts("Steam", 10), std::nullopt);
    tracker->recordSample(report({{1, "Steam", 50}, {2, "Mail", 100}, {3, "Steam", 50}}));
    EXPECT_DOUBLE_EQ(*tracker->estimatedWatts("Steam", 10), 1.5);
    EXPECT_EQ(tracker->estimatedWatts("Steam", 0), std::nullopt);
    EXPECT_EQ(tracker->estimatedWatts("Safari", 10), std::nullopt);
}

TEST_F(ProcessEnergyTrackerTest, AnApplicationsChildProcessesAreProtectedWhateverTheirNames)
{
    // Two applications, each a process with helpers of its own, and of their helpers; a line
    // on its input makes one start one more helper.
    const auto launch = [](QProcess& application) {
        application.start("sh", {"-c", "sleep 60 & sh -c 'sleep 60; :' & read line; sleep 60 & wait"});
        EXPECT_TRUE(application.waitForStarted());
        EXPECT_TRUE(test::waitUntil([&] { return Workspace::processTrees({application.processId()}).size() == 4; }));
    };
    QProcess browser, editor;
    launch(browser);
    launch(editor);
    const auto helpersOf = [](const QProcess& application) {
        QList<qint64> helpers = Workspace::processTrees({application.processId()}).values();
        helpers.removeOne(application.processId());
        std::sort(helpers.begin(), helpers.end());
        return helpers;
    };
    const QList<qint64> browserHelpers = helpersOf(browser), editorHelpers = helpersOf(editor);
    ASSERT_EQ(browserHelpers.size(), 3);

    const RunningApplication firefox{"Firefox", "/usr/lib/firefox/firefox", browser.processId()};
    workspace.setFrontmost(firefox);
    auto tracker = makeTracker();

    // Helpers named after nothing the user sees; a process that belongs to neither.
    const qint64 stranger = QCoreApplication::applicationPid();
    const auto sample = report({{browserHelpers[0], "Isolated Web Co", 900}, {browserHelpers[1], "Web Content", 800},
                                {browserHelpers[2], "WebExtensions", 700}, {editorHelpers[0], "electron", 600},
                                {stranger, "indexer", 500}});
    tracker->recordSample(sample);
    tracker->recordSample(sample);
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10),
              (QList<Candidate>{{editorHelpers[0], "electron", 600}, {stranger, "indexer", 500}}));

    // The editor used, its processes are protected at once, not from the next sample on.
    tracker->noteActivated(RunningApplication{"Code", "/usr/share/code/code", editor.processId()});
    tracker->noteActivated(firefox);
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10), QList<Candidate>{(Candidate{stranger, "indexer", 500})});

    // A helper started after the processes were looked at is protected as soon as a sample
    // lists it.
    browser.write("\n");
    ASSERT_TRUE(test::waitUntil([&] { return helpersOf(browser).size() == 4; }));
    QList<qint64> started = helpersOf(browser);
    for (const qint64 pid : browserHelpers)
        started.removeOne(pid);
    PowerMetricsReport later = sample;
    later.processes.insert(later.processes.begin() + 3, ProcessPowerSample{started[0], "GPU Process", 650, 0});
    tracker->recordSample(later);
    tracker->recordSample(later);
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10), QList<Candidate>{(Candidate{stranger, "indexer", 500})});

    // The editor counts as recently used for 300 s; the browser stays in front.
    clock.advance(300);
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 10),
              (QList<Candidate>{{editorHelpers[0], "electron", 600}, {stranger, "indexer", 500}}));

    browser.kill();
    editor.kill();
    browser.waitForFinished();
    editor.waitForFinished();
}

namespace {

// Sampling through the real helper client from a scripted daemon on a bus of its own.
class TrackerSamplingTest : public ProcessEnergyTrackerTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        daemon = std::make_unique<test::FakeHelperDaemon>(bus.connect(QStringLiteral("daemon")));
        ASSERT_TRUE(daemon->isRegistered());
        HelperClientConfig config;
        // Long enough for an answer on a busy machine; no answer is an error answer here.
        config.powerMetricsTimeout = 10s;
        client = std::make_unique<HelperClient>(bus.connect(QStringLiteral("app")), services, defaults, config);
    }

    void TearDown() override
    {
        client.reset();
        daemon.reset();
        test::spin(20);
    }

    void answer(const PowerMetricsReport& r, int delayMs = 0)
    {
        daemon->setAnswer(HelperProtocol::samplePowerMetrics, Answer::bytes(*r.toJson()).after(delayMs));
    }

    test::PrivateBus bus;
    test::FakeServiceManagement services;
    std::unique_ptr<test::FakeHelperDaemon> daemon;
    std::unique_ptr<HelperClient> client;
};

} // namespace

TEST_F(TrackerSamplingTest, FailedSamplesChangeNothingAndDoNotBreakTheRun)
{
    auto tracker = makeTracker();
    answer(report({{10, "Chrome", 100}, {11, "Mail", 10}}));
    QCoro::waitFor(tracker->sample(*client));
    EXPECT_EQ(daemon->calls().value(0).arguments, QVariantList{qlonglong(2)});
    const QDateTime firstAt = tracker->lastSampleAt();
    const auto ema = tracker->impactEMA();
    EXPECT_EQ(tracker->latestProcesses().size(), 2);

    clock.advance(60);
    daemon->setAnswer(HelperProtocol::samplePowerMetrics, Answer::error()); // no answer
    QCoro::waitFor(tracker->sample(*client));
    daemon->setAnswer(HelperProtocol::samplePowerMetrics, Answer::bytes("{\"timestamp\": 1"));
    QCoro::waitFor(tracker->sample(*client));
    EXPECT_EQ(tracker->lastSampleAt(), firstAt);
    EXPECT_EQ(tracker->latestProcesses().size(), 2);
    EXPECT_EQ(tracker->impactEMA(), ema);

    answer(report({{12, "Chrome", 400}}));
    QCoro::waitFor(tracker->sample(*client));
    EXPECT_EQ(tracker->throttleCandidates({}, 0, 0, 5), QList<Candidate>{(Candidate{12, "Chrome", 400})});

    // A tracker that goes away while the daemon samples is left alone.
    answer(report({{10, "Steam", 900}}), 50);
    auto pass = tracker->sample(*client);
    tracker.reset();
    QCoro::waitFor(std::move(pass));
    EXPECT_FALSE(makeTracker()->impactEMA().contains("Steam"));
}
