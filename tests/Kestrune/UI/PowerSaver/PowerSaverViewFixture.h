#pragma once

#include "Kestrune/App/AppState.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/PowerSaver/PowerSaverEngine.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "tests/Kestrune/App/AppStateFixture.h"
#include "tests/Kestrune/PowerSaver/PowerSaverEngineTestAccess.h"
#include "tools/kestrune-backend/FakeBackend.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>

#include <functional>
#include <memory>

namespace kestrune::test {

// The power saver tab, shown on its own, over the application core on a simulated machine
// with the fake daemon and the fake backend.
//
// Every charge-control evaluation asks the daemon to allow charging, and the fake daemon here
// refuses: the controller then never takes the state as applied and asks again at the next
// evaluation, so the number of asks counts the evaluations.
class PowerSaverViewFixture : public AppStateFixture {
protected:
    void SetUp() override
    {
        AppStateFixture::SetUp();
        ASSERT_TRUE(backend.listen());
        daemon.setReply(HelperProtocol::setChargingEnabled, *HelperCommandResult::failure(QStringLiteral("refused")).toJson());
        preset({{QStringLiteral("backendURL"), backend.url().toString()}});
    }

    void TearDown() override
    {
        view.reset();
        AppStateFixture::TearDown();
    }

    static SimTree::Options machine(bool onAC)
    {
        SimTree::Options options;
        options.acOnline = onAC;
        return options;
    }

    // Launches and starts the application, lets its start-up work end (the daemon connected,
    // the device registered, the first evaluations done) and shows the tab.
    PowerSaverView& open(bool withHistory = true)
    {
        launch(withHistory);
        state->start();
        EXPECT_TRUE(waitUntil([&] { return state->helper().isConnected() && state->backend().deviceID(); }, 3000));
        spin(200);
        access = std::make_unique<PowerSaverEngineTestAccess>(state->powerSaver());
        view = std::make_unique<PowerSaverView>(*state, [this](const QString& id) { opened << id; });
        view->resize(880, 640);
        view->show();
        return *view;
    }

    int evaluations() const { return daemon.count(HelperProtocol::setChargingEnabled); }
    // The evaluations that `change` starts, counted once they have had time to reach the daemon.
    int evaluationsOf(const std::function<void()>& change)
    {
        const int before = evaluations();
        change();
        waitUntil([&] { return evaluations() > before; }, 300);
        spin(100);
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
    // The labels' texts in `row`, in their order of creation.
    static QStringList textsIn(const QWidget* row)
    {
        QStringList texts;
        for (const QLabel* label : row->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                texts << label->text();
        return texts;
    }

    FakeBackend backend;
    QStringList opened;
    std::unique_ptr<PowerSaverEngineTestAccess> access;
    std::unique_ptr<PowerSaverView> view;
};

} // namespace kestrune::test
