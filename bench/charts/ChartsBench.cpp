// A year of daily weights (365 points) as the measurement screens chart it, 343 × 240 points at a
// scale of 2: how long the chart takes to build, and how long each frame of its animation (the
// line drawn out over a second, the markers appearing one every 0.05 s and growing over 1.5 s)
// takes to draw. The frame benchmark steps a manual clock by 1/60 s per frame (timers, animation
// step and drawing) and also reports its 99th percentile and slowest frame in processor time of
// the drawing thread, which a busy machine does not inflate.
#include "tests/kits/charts/WeightChart.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "host/HeadlessHost.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

#include <ctime>

#include <algorithm>
#include <cmath>

namespace {

using namespace cw::charts_sample;

const CGRect kFrame{0, 0, 343, 240};
const UIColor kColour(0.76, 0.64, 0.95);
constexpr double kFrameInterval = 1.0 / 60.0;

std::vector<Measurement> yearOfWeights() {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::vector<Measurement> series;
    for (int month = 0; month < 12; ++month)
        for (int day = 1; day <= lengths[month]; ++day) {
            const double i = static_cast<double>(series.size());
            series.push_back({std::string(months[month]) + " " + std::to_string(day), 900 + 8 * i + 30 * std::sin(i / 5)});
        }
    return series;
}

// The processor time this thread has used: a frame's own cost, whatever else the machine runs.
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void reset() {
    cw::Animator::shared().finishAll();
    cw::Animator::shared().clearHistory();
    RunLoop::main().reset();
}

void BM_BuildChart365(benchmark::State& state) {
    cw::HeadlessHost host;
    const auto series = yearOfWeights();
    for (auto _ : state) {
        auto chart = makeGrowthChart(series, kFrame, kColour);
        benchmark::DoNotOptimize(chart.chart.view().get());
        state.PauseTiming();
        reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildChart365)->Unit(benchmark::kMillisecond);

void BM_AnimationFrame365(benchmark::State& state) {
    cw::HeadlessHost host;
    const auto series = yearOfWeights();
    std::optional<GrowthChart> chart;
    double started = 0;
    std::vector<double> frames;
    // The line is drawn out in 1 s; the last marker appears after 364 × 0.05 s and grows for 1.5 s.
    const double animation = 364 * 0.05 + 1.5;
    for (auto _ : state) {
        if (!chart || Clock::uptime() - started > animation) {
            state.PauseTiming();
            chart.reset();
            reset();
            chart = makeGrowthChart(series, kFrame, kColour);
            started = Clock::uptime();
            state.ResumeTiming();
        }
        const double begin = threadSeconds();
        host.advance(kFrameInterval);
        auto picture = cw::renderView(*chart->chart.view(), 2);
        benchmark::DoNotOptimize(picture.get());
        frames.push_back((threadSeconds() - begin) * 1000);
    }
    std::sort(frames.begin(), frames.end());
    if (!frames.empty()) {
        state.counters["p99_frame_ms"] = frames[frames.size() * 99 / 100];
        state.counters["slowest_frame_ms"] = frames.back();
    }
    chart.reset();
    reset();
}
BENCHMARK(BM_AnimationFrame365)->Unit(benchmark::kMillisecond)->Iterations(1200);

void BM_SettledFrame365(benchmark::State& state) {
    cw::HeadlessHost host;
    auto chart = makeGrowthChart(yearOfWeights(), kFrame, kColour);
    host.advance(25);
    for (auto _ : state) {
        auto picture = cw::renderView(*chart.chart.view(), 2);
        benchmark::DoNotOptimize(picture.get());
    }
    reset();
}
BENCHMARK(BM_SettledFrame365)->Unit(benchmark::kMillisecond);

} // namespace
