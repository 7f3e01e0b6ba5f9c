#pragma once

#include "Kestrune/App/AppState.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Charging/ChargeController.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-backend/FakeBackend.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kestrune::test {

// The power saver tab, shown on its own, over the seeded demo application: the real core on
// a simulated laptop on the adapter, the fake daemon, and here also the fake backend. It
// starts with nothing learned and no history unless a test asks for them.
//
// Every charge-control evaluation asks the daemon to allow charging, and the fake daemon here
// refuses: the controller then never takes the state as applied and asks again at the next
// evaluation, so the number of asks counts the evaluations.
class PowerSaverViewFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(backend.listen()); }

    void TearDown() override
    {
        view.reset();
        // A sync with the backend that ends while the application is destroyed would evaluate
        // on engines already gone.
        if (state)
            waitUntil([&] { return !state->backendSync().syncing(); }, 5000);
        demo.reset();
    }

    demo::DemoApp::Options fresh() const
    {
        demo::DemoApp::Options options;
        options.now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());
        options.historyDays = 0;
        options.learned = false;
        options.machine.capacityPercent = 70;
        options.machine.activeBehaviour = QStringLiteral("auto");
        options.defaults = {{QStringLiteral("backendEnabled"), true},
                            {QStringLiteral("backendURL"), backend.url().toString()}};
        return options;
    }

    // Launches the application as `options` have it, waits for the device's registration
    // with the backend, and shows the tab.
    PowerSaverView& open(demo::DemoApp::Options options)
    {
        demo = std::make_unique<demo::DemoApp>(std::move(options));
        QString error;
        EXPECT_TRUE(demo->launch(&error)) << error.toStdString();
        state = &demo->state();
        EXPECT_TRUE(waitUntil([&] { return state->backend().deviceID().has_value(); }, 3000));
        // The launch goes on to a sync and an evaluation, and on the adapter an evaluation
        // gives back whatever the power saver holds: a test starts once the sync has ended and
        // nothing the application asked of the daemon is still on its way.
        EXPECT_TRUE(waitUntil([&] {
            const BackendSync& sync = state->backendSync();
            return !sync.syncing() && (sync.lastSyncAt() || sync.lastSyncError());
        }, 10'000));
        EXPECT_TRUE(daemon().settle(demo->bus().connect(QStringLiteral("app"))));
        daemon().setReply(HelperProtocol::setChargingEnabled,
                          *HelperCommandResult::failure(QStringLiteral("refused")).toJson());
        state->controller().invalidateAppliedCache();
        access = std::make_unique<PowerSaverEngineTestAccess>(state->powerSaver());
        view = std::make_unique<PowerSaverView>(*state, [this](const QString& id) { opened << id; });
        view->resize(880, 640);
        view->show();
        return *view;
    }
    PowerSaverView& open() { return open(fresh()); }

    ManualClock& clock() { return demo->clock(); }
    FakeHelperDaemon& daemon() { return demo->daemon(); }
    // Puts the laptop on the adapter or on battery and lets the main loop read it.
    void plug(bool onAC)
    {
        SimTree::Options machine = fresh().machine;
        machine.acOnline = onAC;
        ASSERT_TRUE(SimTree::create(demo->sysfsRoot(), machine));
        demo->readAfter(60);
    }

    int evaluations() { return daemon().count(HelperProtocol::setChargingEnabled); }
    // The evaluations that `change` starts, counted once they have reached the daemon.
    int evaluationsOf(const std::function<void()>& change)
    {
        const int before = evaluations();
        change();
        EXPECT_TRUE(daemon().settle(demo->bus().connect(QStringLiteral("app"))));
        return evaluations() - before;
    }

    // Rows taken out of the tab are deleted once control is back in the event loop.
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    template <typename T = QWidget> T* find(const char* name) const
    {
        T* found = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    template <typename T = QWidget> QList<T*> all(const char* name) const
    {
        return view->findChildren<T*>(QString::fromLatin1(name));
    }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    // Shown as the tab stands, whether or not the tab itself is on screen.
    bool shown(const QWidget* widget) const { return widget->isVisibleTo(view.get()); }
    bool shown(const char* name) const { return shown(find(name)); }
    static QColor colorOf(const QWidget* widget)
    {
        return widget->palette().color(QPalette::Active, widget->foregroundRole());
    }
    // The texts of the labels in `row`, in the order the row shows them.
    static QStringList textsIn(const QWidget* row)
    {
        QStringList texts;
        for (const QLabel* label : row->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                texts << label->text();
        return texts;
    }

    FakeBackend backend;
    std::unique_ptr<demo::DemoApp> demo;
    AppState* state = nullptr;
    QStringList opened;
    std::unique_ptr<PowerSaverEngineTestAccess> access;
    std::unique_ptr<PowerSaverView> view;
};

} // namespace kestrune::test
