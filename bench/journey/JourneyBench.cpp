// The journey timeline of a long stay, 40 weeks of 8 milestones each, on a 375 × 667 screen at a
// scale of 2:
// - BM_TimelineReplyToFirstFrame: from the reply (the decoded JSON object) to the first drawn
//   frame: the weeks parsed, put on screen (the table reloaded with the newest week open, the
//   header's ages and update line made), laid out and drawn with the table fully shown.
// - BM_ToggleSection: one tap on a week's chevron: the week closes (or opens again), its section is
//   reloaded, the screen laid out and drawn again. It should stay under 8 ms, half a frame at 60 Hz.
// Both also report the 99th percentile in processor time of the drawing thread, which a busy
// machine does not inflate.

#include "Controllers/Journey/JourneyViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

#include <ctime>

#include <algorithm>
#include <vector>

namespace {

constexpr int kWeeks = 40;
constexpr int kMilestonesPerWeek = 8;

JSON longStay() {
    static const char* labels[] = {"First time holding me", "My first feed", "First kangaroo care", "My first bath",
                                   "Breathing on my own",   "Moved to an open crib", "A special visit", "First smile"};
    nlohmann::json weeks = nlohmann::json::object();
    int id = 0;
    for (int week = 1; week <= kWeeks; ++week) {
        nlohmann::json items = nlohmann::json::array();
        for (int i = 0; i < kMilestonesPerWeek; ++i)
            items.push_back({{"id", ++id},
                             {"label", labels[i]},
                             {"overlay_text", labels[i]},
                             {"date", "Mar " + std::to_string(1 + (week * 7 + i) % 28) + ", 2019"},
                             {"image", "http://127.0.0.1:9/uploads/" + std::to_string(id) + ".jpg"},
                             {"editable", i % 3 != 0}});
        weeks["Week " + std::to_string(week)] = items;
    }
    return JSON(nlohmann::json{{"nicu_journey_data", weeks},
                               {"days_of_life_description", "39 weeks and 6 days"},
                               {"gestational_age_description", "24 weeks and 2 days"},
                               {"adjusted_gestational_age_description", "40 weeks and 1 day"},
                               {"baby", {{"full_name", "Olivia Hart"}, {"id", 1}}}});
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void report(benchmark::State& state, std::vector<double>& frames) {
    std::sort(frames.begin(), frames.end());
    if (frames.empty()) return;
    state.counters["p99_ms"] = frames[frames.size() * 99 / 100];
    state.counters["slowest_ms"] = frames.back();
}

// A timeline without a baby loads nothing by itself: the benchmark hands it the reply.
std::shared_ptr<JourneyViewController> makeTimeline() {
    UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
    auto timeline = std::make_shared<JourneyViewController>();
    timeline->view()->setFrame(CGRect(0, 0, 375, 667));
    return timeline;
}

void BM_TimelineReplyToFirstFrame(benchmark::State& state) {
    cw::HeadlessHost host;
    const JSON reply = longStay();
    auto timeline = makeTimeline();
    std::vector<double> frames;
    for (auto _ : state) {
        const double begin = threadSeconds();
        timeline->showJourney(JourneySection::parseJourneyData(reply));
        // The frame with the table fully shown, as it is once its fade has run.
        cw::Animator::shared().finishAll();
        auto picture = cw::renderView(*timeline->view(), 2);
        benchmark::DoNotOptimize(picture.get());
        frames.push_back((threadSeconds() - begin) * 1000);
        state.PauseTiming();
        cw::Animator::shared().clearHistory();
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
    }
    report(state, frames);
}
BENCHMARK(BM_TimelineReplyToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_ToggleSection(benchmark::State& state) {
    cw::HeadlessHost host;
    auto timeline = makeTimeline();
    timeline->showJourney(JourneySection::parseJourneyData(longStay()));
    cw::Animator::shared().finishAll();
    benchmark::DoNotOptimize(cw::renderView(*timeline->view(), 2).get());
    auto table = timeline->tableView.lock();
    std::vector<double> frames;
    for (auto _ : state) {
        const double begin = threadSeconds();
        // The newest week: its chevron reports no event, so nothing leaves for the server.
        timeline->toggleSection(0, std::dynamic_pointer_cast<RoundedSectionHeaderViewTwo>(table->headerView(0)));
        auto picture = cw::renderView(*timeline->view(), 2);
        benchmark::DoNotOptimize(picture.get());
        frames.push_back((threadSeconds() - begin) * 1000);
        state.PauseTiming();
        cw::Animator::shared().finishAll();
        cw::Animator::shared().clearHistory();
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
    }
    report(state, frames);
}
BENCHMARK(BM_ToggleSection)->Unit(benchmark::kMillisecond);

// The two halves of a toggle, apart: drawing the timeline as it stands, and the toggle with its
// relayout but without drawing.
void BM_TimelineFrame(benchmark::State& state) {
    cw::HeadlessHost host;
    auto timeline = makeTimeline();
    timeline->showJourney(JourneySection::parseJourneyData(longStay()));
    cw::Animator::shared().finishAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(cw::renderView(*timeline->view(), 2).get());
}
BENCHMARK(BM_TimelineFrame)->Unit(benchmark::kMillisecond);

void BM_ToggleRelayout(benchmark::State& state) {
    cw::HeadlessHost host;
    auto timeline = makeTimeline();
    timeline->showJourney(JourneySection::parseJourneyData(longStay()));
    cw::Animator::shared().finishAll();
    auto table = timeline->tableView.lock();
    for (auto _ : state) {
        timeline->toggleSection(0, std::dynamic_pointer_cast<RoundedSectionHeaderViewTwo>(table->headerView(0)));
        timeline->view()->layoutIfNeeded();
        state.PauseTiming();
        cw::Animator::shared().finishAll();
        cw::Animator::shared().clearHistory();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ToggleRelayout)->Unit(benchmark::kMillisecond);

} // namespace
