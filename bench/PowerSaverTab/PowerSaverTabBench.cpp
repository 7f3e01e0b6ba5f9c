// How long the power saver tab takes to show when the strategist holds the largest texts the
// backend can now leave there (the strategy's reasoning, a session report and a diagnosis, each
// cut from an answer as large as the model routes take) over the month of use, and how large
// the settings file is then. The answers are of three kinds: prose that may break anywhere,
// one word that never breaks, and characters of four code units each.

#include "Foundation/UserDefaults.h"
#include "Kestrune/AI/AIStrategist.h"
#include "Kestrune/Backend/BackendClient.h"
#include "Kestrune/Sync/BackendSync.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Kestrune/UI/ContentGrab.h"
#include "Kestrune/UI/PowerSaverView.h"
#include "tests/support/Await.h"
#include "tests/support/EventLoop.h"
#include "tools/kestrune-backend/FakeBackend.h"
#include "tools/kestrune-demo/DemoApp.h"

#include <QFileInfo>
#include <QJsonArray>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <memory>

using namespace kestrune;

namespace {

// An answer's text of `kind`, just under what a model route takes as UTF-8; kind 3 is one
// sentence, for comparison.
QString answerText(int kind)
{
    constexpr qsizetype answerBytes = 1000 * 1000;
    const QString unit = kind == 0 ? QStringLiteral("ブラウザの動画タブが電力を使い続けています。")
        : kind == 1                ? QStringLiteral("x")
                                   : QString::fromUtf8("\U0001F44D\U0001F3FD");
    if (kind == 3)
        return QStringLiteral("ブラウザの動画タブが電力を使い続けています。");
    const qsizetype count = answerBytes / unit.toUtf8().size();
    QString text;
    text.reserve(count * unit.size());
    for (qsizetype i = 0; i < count; ++i)
        text += unit;
    return text;
}

[[noreturn]] void fail(const QString& why)
{
    std::cerr << why.toStdString() << '\n';
    std::exit(1);
}

// The application after the backend's answers of one kind. The backend is switched off again
// once the month's history has reached it, so that no sync runs while the tab is timed.
class App {
public:
    explicit App(int kind)
    {
        if (!m_backend.listen())
            fail(QStringLiteral("the fake backend cannot listen"));
        demo::DemoApp::Options options;
        // The seeded strategy is of an earlier day, so that today's can be asked for.
        options.defaults = { { QStringLiteral("backendEnabled"), true },
            { QStringLiteral("backendURL"), m_backend.url().toString() },
            { QStringLiteral("ai.strategyDay"), QStringLiteral("2026-03-12") } };
        m_demo = std::make_unique<demo::DemoApp>(options);
        QString error;
        if (!m_demo->launch(&error))
            fail(error);
        AppState& app = state();
        AIStrategist& strategist = app.strategist();
        test::waitUntil([&] { return app.backend().deviceID().has_value(); }, 5000);

        const QString text = answerText(kind);
        m_backend.setStrategy({ { QStringLiteral("reasoning"), text } });
        m_backend.setText(text);
        const QJsonObject telemetry { { QStringLiteral("top_processes"), QJsonArray() } };
        test::await(strategist.maybeUpdateStrategy(telemetry, true));
        test::await(strategist.generateSessionReport({}));
        test::await(strategist.diagnoseAnomaly({}));
        if (!strategist.activeStrategy() || !strategist.lastSessionReport() || !strategist.lastDiagnosis())
            fail(QStringLiteral("the answers were not taken: ") + strategist.lastError().value_or(QString()));
        test::waitUntil(
            [&] { return app.backendSync().lastSyncAt() && !app.backendSync().syncing(); }, 60000);
        app.settings().setBackendEnabled(false);
        app.defaults().synchronize();
        demo::DemoApp::settle();
    }

    AppState& state() const { return m_demo->state(); }
    qint64 settingsBytes() const { return QFileInfo(state().defaults().filePath()).size(); }
    qsizetype shownCodeUnits() const
    {
        const AIStrategist& strategist = state().strategist();
        return strategist.activeStrategy()->reasoning->size() + strategist.lastSessionReport()->size()
            + strategist.lastDiagnosis()->size();
    }

private:
    FakeBackend m_backend;
    std::unique_ptr<demo::DemoApp> m_demo;
};

// One application at a time, each on buses of its own.
App& app(int kind)
{
    static std::pair<int, std::unique_ptr<App>> current { -1, nullptr };
    if (current.first != kind) {
        current.second.reset();
        current = { kind, std::make_unique<App>(kind) };
    }
    return *current.second;
}

void counters(benchmark::State& state, const App& app)
{
    state.counters["settingsKiB"] = double(app.settingsBytes()) / 1024;
    state.counters["textUnits"] = double(app.shownCodeUnits());
}

// What the user waits for: the tab built, laid out and drawn as far as the window shows it.
void showTab(benchmark::State& state)
{
    App& a = app(int(state.range(0)));
    for (auto _ : state) {
        PowerSaverView view(a.state(), {});
        view.resize(880, 640);
        view.show();
        benchmark::DoNotOptimize(view.grab());
    }
    counters(state, a);
}
BENCHMARK(showTab)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The worst of it: the whole form drawn, the report and the diagnosis included.
void drawWholeTab(benchmark::State& state)
{
    App& a = app(int(state.range(0)));
    for (auto _ : state) {
        PowerSaverView view(a.state(), {});
        view.resize(880, 640);
        benchmark::DoNotOptimize(ContentGrab::whole(view));
    }
    counters(state, a);
}
BENCHMARK(drawWholeTab)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace
