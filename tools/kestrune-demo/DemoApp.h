#pragma once

#include "Kestrune/App/AppState.h"
#include "Platform/ServiceManagement/LoginItem.h"
#include "Shared/PowerMetricsReport.h"
#include "tests/support/FakeHelperDaemon.h"
#include "tests/support/FakeServiceManagement.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PrivateBus.h"
#include "tools/kestrune-sim/SimTree.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace kestrune::demo {

// How the application finds its helper.
enum class HelperScene {
    Connected, // registered and answering, with charge-control keys
    Hardware80, // registered and answering, with only the firmware's 80 % limit
    Unanswered, // registered, but nothing answers on the bus
    RequiresApproval, // waiting for the user's approval, nothing answers
    NotRegistered,
    NotFound, // the system knows no such service
};

// The real application core (AppState) on a laptop of its own, as a user who has run
// Kestrune for a month would find it: a simulated sysfs tree on the adapter, the user
// defaults and a history store in a temporary folder, the fake daemon on a private bus and
// fake service management in the state asked for, and a clock that stands still until moved.
//
// launch() builds everything and starts the application; the views are then built over
// state(). Everything lives until the DemoApp is destroyed. The seeds are in the Options, so
// a test or a screen set asks for exactly the machine it shows:
//
//   DemoApp demo({.helper = HelperScene::NotFound, .historyDays = 0});
//   if (!demo.launch(&error)) ...
//   MainWindowView window(demo.state(), {});
class DemoApp {
public:
    struct Options {
        // The moment of the launch: a Friday afternoon on the adapter, charging held at 80 %.
        QDateTime now = QDateTime(QDate(2026, 3, 13), QTime(14, 20));
        HelperScene helper = HelperScene::Connected;
        // Days of history written before the launch, or a part of one; 0: an empty store.
        double historyDays = 30;
        // False: the store cannot be opened, and the application runs without history.
        bool historyStore = true;
        // The learned rates, the power saver's learned effects and dislikes, the day's AI
        // strategy and the last session report.
        bool learned = true;
        // The battery and the adapter.
        SimTree::Options machine = standardMachine();
        // False: the machine's battery cannot be read, so the application has no reading
        // until the test lays the tree out again and reads it (readAfter).
        bool battery = true;
        // Launch at login. None: an autostart folder of the machine's own and no system-wide
        // folders, for a program in the machine's folder.
        std::optional<LoginItem::Options> loginItem;
        // The release feed; none: the application cannot check for updates.
        QUrl updateFeed;
        // Stored before the launch, over the seeds (the backend is off unless set here).
        QVariantMap defaults;
    };

    static SimTree::Options standardMachine();
    // The per-application measurement the fake daemon answers: 16 processes, heaviest first.
    static PowerMetricsReport standardReport(const QDateTime& at);

    DemoApp();
    explicit DemoApp(Options options);
    ~DemoApp();

    DemoApp(const DemoApp&) = delete;
    DemoApp& operator=(const DemoApp&) = delete;

    // Lays out the machine, writes the seeds, builds and starts the application and waits
    // until its first connection attempt and evaluation are done. False, with the reason in
    // `error`, when a piece could not be set up.
    bool launch(QString* error = nullptr);

    AppState& state() const { return *m_state; }
    test::ManualClock& clock() { return m_clock; }
    test::FakeHelperDaemon& daemon() { return *m_daemon; }
    test::FakeServiceManagement& services() { return *m_services; }
    test::PrivateBus& bus() { return m_bus; }
    QString folder() const { return m_folder.path(); }
    QString sysfsRoot() const;

    // Runs the per-application measurement against the daemon's scripted answer and waits
    // for it.
    void measureInsights();
    // Moves the clock by `seconds` and lets the main loop handle a fresh reading of the
    // machine.
    void readAfter(double seconds);
    // Runs the event loop until the tasks the application started have had their turn.
    static void settle(int ms = 50);

private:
    bool writeSeeds(QString* error);
    void scriptDaemon();
    void seedLearning();

    Options m_options;
    test::PrivateBus m_bus;
    QTemporaryDir m_folder;
    test::ManualClock m_clock;
    std::unique_ptr<test::FakeHelperDaemon> m_daemon;
    std::shared_ptr<test::FakeServiceManagement> m_services;
    std::unique_ptr<AppState> m_state;
};

} // namespace kestrune::demo
