// The savings card with every block shown: painting the 1200 × 675 image, encoding it as
// PNG, and both together as the share window does on each render.

#include "Kestrune/Share/ShareCardView.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace kestrune;

namespace {

ShareCardView fullCard()
{
    const SavingsStats::Summary summary{.todayMinutes = 135, .todayWh = 12.3, .weekMinutes = 612.4, .weekWh = 55.8,
                                        .totalMinutes = 4821, .totalWh = 431.6, .streakDays = 5};
    return ShareCardView(summary, SharePeriod::Week, 92.6);
}

void paint(benchmark::State& state)
{
    const ShareCardView card = fullCard();
    for (auto _ : state)
        benchmark::DoNotOptimize(card.renderImage());
}
BENCHMARK(paint)->Unit(benchmark::kMillisecond);

void encode(benchmark::State& state)
{
    const QImage image = fullCard().renderImage();
    for (auto _ : state)
        benchmark::DoNotOptimize(ShareCardView::encodePNG(image));
}
BENCHMARK(encode)->Unit(benchmark::kMillisecond);

void renderPNG(benchmark::State& state)
{
    const ShareCardView card = fullCard();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> png = card.renderPNG();
        bytes = png ? png->size() : 0;
    }
    state.counters["png_bytes"] = double(bytes);
}
BENCHMARK(renderPNG)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
