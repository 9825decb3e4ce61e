// A year of daily weights (365 points) as the measurement screens chart it, 343 × 240 points at a
// scale of 2, and a series as long as a hostile server's reply may hold (49 000 points, four JSON
// values each within the reply's 200 000): how long the chart takes to build, and how long each frame of its animation (the
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
#include <nlohmann/json.hpp>

#include <cstdio>
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

// 49 000 daily points with dates that repeat over the year, jagged, as a hostile server may send.
std::vector<Measurement> hugeSeries() {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::vector<Measurement> series;
    for (int i = 0; i < 49'000; ++i)
        series.push_back({std::string(months[i / 28 % 12]) + " " + std::to_string(i % 28 + 1),
                          900 + (i % 97) * 3.5 + i * 0.01});
    return series;
}

std::size_t markerViews(const GrowthChart& chart) {
    std::size_t made = 0;
    for (const auto& view : chart.markers->viewsForChartPoints())
        made += view != nullptr;
    return made;
}

// The huge series' chart: its building, and its frames from the first to the end of its animation
// (or two minutes of its clock, whichever comes first), each the drawing thread's processor time;
// the target is 50 ms for the slowest.
void BM_BuildChartOfAHugeSeries(benchmark::State& state) {
    cw::HeadlessHost host;
    const auto series = hugeSeries();
    for (auto _ : state) {
        auto chart = makeGrowthChart(series, kFrame, kColour);
        benchmark::DoNotOptimize(chart.chart.view().get());
        state.counters["marker_views"] = static_cast<double>(markerViews(chart));
        state.counters["x_labels"] = static_cast<double>(chart.xAxis->labelViews().size());
        state.PauseTiming();
        reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildChartOfAHugeSeries)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FramesOfAHugeSeries(benchmark::State& state) {
    cw::HeadlessHost host;
    const auto series = hugeSeries();
    double slowest = 0, total = 0, built = 0;
    int count = 0;
    for (auto _ : state) {
        const double begin = threadSeconds();
        auto chart = makeGrowthChart(series, kFrame, kColour);
        auto first = cw::renderView(*chart.chart.view(), 2);
        built = (threadSeconds() - begin) * 1000;
        // A frame every 1/60 s while markers still appear, sampled every tenth of a second.
        const std::size_t made = markerViews(chart);
        for (int frame = 0; frame < 1200 && (chart.markers->shownViewCount() < made ||
                                             cw::Animator::shared().runningCount() > 0);
             ++frame) {
            host.advance(0.1);
            const double start = threadSeconds();
            auto picture = cw::renderView(*chart.chart.view(), 2);
            benchmark::DoNotOptimize(picture.get());
            const double ms = (threadSeconds() - start) * 1000;
            slowest = std::max(slowest, ms);
            total += ms;
            ++count;
        }
        reset();
    }
    state.counters["built_and_first_frame_ms"] = built;
    state.counters["slowest_frame_ms"] = slowest;
    state.counters["mean_frame_ms"] = count ? total / count : 0;
    state.counters["target_ms"] = 50;
}
BENCHMARK(BM_FramesOfAHugeSeries)->Unit(benchmark::kSecond)->Iterations(1);

// Such a series' reply: read into points (each date read and written for its label) on a worker
// thread, then the chart built from them in the main thread's turn, which is what a frame waits for.
void BM_ReplyOfAHugeSeriesToItsChart(benchmark::State& state) {
    cw::HeadlessHost host;
    nlohmann::json points = nlohmann::json::array();
    for (int i = 0; i < 49'000; ++i) {
        char date[32];
        std::snprintf(date, sizeof date, "2026-%02d-%02dT22:00:00", i / 28 % 12 + 1, i % 28 + 1);
        points.push_back({{"updated_at", date}, {"value", 900 + (i % 97) * 3.5}, {"units", "g"}});
    }
    const JSON reply(nlohmann::json{{"weight", points}});
    for (auto _ : state) {
        const double begin = threadSeconds();
        auto series = MeasurementData::series(reply, "weight");
        const double read = threadSeconds();
        auto chart = makeMeasurementChart(series, kFrame, kColour);
        benchmark::DoNotOptimize(chart.chart.view().get());
        state.counters["read_off_main_ms"] = (read - begin) * 1000;
        state.counters["main_turn_ms"] = (threadSeconds() - read) * 1000;
        state.PauseTiming();
        reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReplyOfAHugeSeriesToItsChart)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
