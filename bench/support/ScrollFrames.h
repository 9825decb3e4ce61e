#pragma once

// A screen scrolled from top to bottom the way a flick through it goes, every frame laid out and
// drawn whole and timed one by one, and the frame times summed up the way every scrolling benchmark
// reports them. Header only: each benchmark program includes it as it is.

#include "uikit/controls/UIScrollView.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/UIView.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

namespace cw::bench {

// Milliseconds, one entry a frame: the whole frame, and its layout and drawing apart; and the
// processor time the frame took on its thread, which other programs running at the same time
// (a loaded machine) barely change, so that runs before and after a change can be compared.
struct FrameTimes {
    std::vector<double> frameMs;
    std::vector<double> layoutMs;
    std::vector<double> drawMs;
    std::vector<double> cpuMs;
};

// This thread's processor time so far, in milliseconds.
inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Scrolls `scroller` (inside `root`) from its top to its bottom, 40 points a frame, laying out and
// drawing `root` at scale 2 after each step.
inline FrameTimes scrollFromTopToBottom(UIView& root, UIScrollView& scroller) {
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    FrameTimes times;
    UIGraphicsBeginImageContextWithOptions(root.bounds().size, true, 2);
    CGContext& context = *UIGraphicsGetCurrentContext();
    scroller.setContentOffset({0, 0});
    root.layoutIfNeeded();
    // Rows below count as estimated until shown: the end moves as the pass goes.
    while (scroller.contentOffset().y < scroller.maximumContentOffset().y) {
        const double cpuStart = threadCpuMs();
        const auto start = Clock::now();
        scroller.setContentOffset({0, std::min(scroller.contentOffset().y + 40, scroller.maximumContentOffset().y)});
        root.layoutIfNeeded();
        const auto laidOut = Clock::now();
        root.layer()->render(context);
        const auto drawn = Clock::now();
        times.cpuMs.push_back(threadCpuMs() - cpuStart);
        times.layoutMs.push_back(ms(laidOut - start));
        times.drawMs.push_back(ms(drawn - laidOut));
        times.frameMs.push_back(ms(drawn - start));
    }
    UIGraphicsEndImageContext();
    return times;
}

// The 99th percentile of the times; 0 when there are none.
inline double percentile99(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0.0 : ms[ms.size() * 99 / 100];
}

// A frame's budget at 120 frames a second, and the 99th percentile a smooth scroll keeps under:
// half of it, so that the odd heavier frame still fits.
inline constexpr double kFrameBudgetMs = 1000.0 / 120;
inline constexpr double kSmoothP99Ms = kFrameBudgetMs / 2;

// Sets the counters "frames", "mean_frame_ms", "p99_frame_ms", "worst_frame_ms",
// "frames_over_<budget>ms" (the budget with two decimals: "frames_over_8.33ms") and
// "p99_over_target", the 99th percentile over kSmoothP99Ms (at most 1 where the scroll is smooth).
inline void reportFrames(benchmark::State& state, const std::vector<double>& frameMs,
                         double budgetMs = kFrameBudgetMs) {
    const double total = std::accumulate(frameMs.begin(), frameMs.end(), 0.0);
    const double count = static_cast<double>(frameMs.size());
    state.counters["frames"] = count;
    state.counters["mean_frame_ms"] = frameMs.empty() ? 0 : total / count;
    state.counters["p99_frame_ms"] = percentile99(frameMs);
    state.counters["p99_over_target"] = percentile99(frameMs) / kSmoothP99Ms;
    state.counters["worst_frame_ms"] = frameMs.empty() ? 0 : *std::max_element(frameMs.begin(), frameMs.end());
    char name[48];
    std::snprintf(name, sizeof name, "frames_over_%.2fms", budgetMs);
    state.counters[name] = static_cast<double>(
        std::count_if(frameMs.begin(), frameMs.end(), [budgetMs](double ms) { return ms > budgetMs; }));
}

// Sets "p99_frame_cpu_ms", "mean_frame_cpu_ms" and "frames_cpu_over_<budget>ms" from the frames'
// processor times.
inline void reportFrameCpu(benchmark::State& state, const std::vector<double>& cpuMs,
                           double budgetMs = kFrameBudgetMs) {
    const double total = std::accumulate(cpuMs.begin(), cpuMs.end(), 0.0);
    state.counters["p99_frame_cpu_ms"] = percentile99(cpuMs);
    state.counters["mean_frame_cpu_ms"] = cpuMs.empty() ? 0 : total / static_cast<double>(cpuMs.size());
    char name[48];
    std::snprintf(name, sizeof name, "frames_cpu_over_%.2fms", budgetMs);
    state.counters[name] = static_cast<double>(
        std::count_if(cpuMs.begin(), cpuMs.end(), [budgetMs](double ms) { return ms > budgetMs; }));
}

} // namespace cw::bench
