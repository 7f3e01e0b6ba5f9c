#pragma once

#include "Kestrune/PowerSaver/ProcessEnergyTracker.h"
#include "Kestrune/PowerSaver/SavingsModel.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Platform/Workspace/FakeWorkspace.h"
#include "tests/support/BackendTestbed.h"

#include <QTimeZone>

namespace kestrune::test {

// One installation of the application's backend side: the client, the history store, the
// learned model, the process tracker and the sync, all over files in one folder.
class SyncInstall {
public:
    explicit SyncInstall(FakeBackend::Options options = FakeBackend::Options {})
        : bed(options)
    {
        openAll();
    }
    explicit SyncInstall(FakeBackend& shared)
        : bed(shared)
    {
        openAll();
    }
    ~SyncInstall() { closeModels(); }

    // The application quits (or is killed) and starts again over the same files.
    void restart(bool killed = false)
    {
        closeModels();
        bed.open(killed);
        openModels();
    }

    // The start-up task's backend steps, each after the previous one.
    QCoro::Task<> launch()
    {
        BackendSync* s = sync.get();
        BackendClient* c = bed.client.get();
        co_await c->checkHealth(true);
        co_await c->registerIfNeeded();
        co_await s->restoreLearnedIfNeeded();
        co_await s->tick(true);
    }

    QString device() const { return bed.client->deviceID().value_or(QString()); }
    double stored(const char* key) const { return bed.defaults->real(QString::fromLatin1(key)); }

    BatterySample addSample(const QDateTime& at, double temperature = 30.5)
    {
        BatterySample sample(at, 64, false, false, temperature, 91.5, 312, -7.25);
        EXPECT_TRUE(history->save(sample));
        return sample;
    }
    void addAction(const QDateTime& at, const QString& detail)
    {
        PowerActionRecord action(at, QStringLiteral("throttle"), detail);
        EXPECT_TRUE(history->save(action));
    }
    void addPlugEvent(const QDateTime& at, bool plugged = true)
    {
        PlugEventRecord event(at, plugged, 55);
        EXPECT_TRUE(history->save(event));
    }
    void addOutcome(const QDateTime& at, double deltaW = 0.75)
    {
        const QDateTime now = bed.clock.now();
        bed.clock.set(at);
        history->addActionOutcome(QStringLiteral("dim50"), deltaW, true);
        bed.clock.set(now);
    }

    BackendTestbed bed;
    FakeWorkspace workspace;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<SavingsModel> savings;
    std::unique_ptr<ProcessEnergyTracker> tracker;
    std::unique_ptr<BackendSync> sync;

private:
    void openAll()
    {
        QString error;
        history = HistoryStore::open(bed.filePath(QStringLiteral("History.store")), &error, bed.clock,
            LocalCalendar(QTimeZone("Asia/Tokyo")));
        EXPECT_TRUE(history) << error.toStdString();
        openModels();
    }
    void openModels()
    {
        savings = std::make_unique<SavingsModel>(*bed.defaults, bed.clock);
        tracker = std::make_unique<ProcessEnergyTracker>(*bed.defaults, workspace, bed.clock);
        sync = std::make_unique<BackendSync>(
            *bed.settings, *bed.defaults, *bed.client, history.get(), *savings, *tracker, bed.clock);
    }
    void closeModels()
    {
        sync.reset();
        tracker.reset();
        savings.reset();
    }
};

} // namespace kestrune::test
