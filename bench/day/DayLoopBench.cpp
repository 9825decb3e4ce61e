// The memory a family's day costs when it is lived over and over in one process: the application
// in the headless host, signed in as the demo mother against the demo server in the same process,
// goes through a round of what the family does all day (the feed dragged, a card opened and closed,
// a post opened from a push with its comments, the Update with its calendar and growth charts, the
// Team, the Journey and a milestone, an article, Family & Friends, a trip to the background and
// back). After a warm-up that fills the caches, the heap in use is read after every round; what a
// round adds (the slope over the measured rounds) should level off: at most 5 KB a round.
//
// CW_DAY_ROUNDS=warmup,measured changes the rounds (the default is 100,500).

#include "App/AppDelegate.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "host/HeadlessScript.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/LocalDates.h"
#include "tests/support/app/AppTestSupport.h"
#include "tests/support/session/SessionReset.h"
#include "uikit/controllers/UIAppearance.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kTargetKilobytesPerRound = 5;

struct Rounds {
    int warmup = 100;
    int measured = 500;
};

Rounds rounds() {
    Rounds r;
    if (const char* text = std::getenv("CW_DAY_ROUNDS")) std::sscanf(text, "%d,%d", &r.warmup, &r.measured);
    return r;
}

// Bytes the allocator has handed out and not had back, over every arena and mapped block: the
// application's and its demo server's, which share the process.
double heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// The process's resident size in megabytes, as the system counts it.
double residentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// The application driven by script steps, as a person drives it; the first failure is kept.
class Driver {
public:
    Driver(cw::HeadlessHost& host, std::filesystem::path shots) : host_(host), shots_(std::move(shots)) {}

    bool run(const std::vector<std::string>& steps) {
        if (!error_.empty()) return false;
        std::string text;
        for (const auto& step : steps)
            text += step + "\n";
        std::istringstream in(text);
        std::ostringstream errors;
        cw::HeadlessScriptOptions options;
        options.name = "round " + std::to_string(round_);
        options.screenshotDirectory = shots_;
        if (cw::runHeadlessScript(host_, in, options, errors) != cw::kScriptSucceeded) error_ = errors.str();
        return error_.empty();
    }

    // Drags the list up a little at a time until `text` stands clear of the bars, where a finger
    // can tap it.
    bool scrollTo(const std::string& text) {
        for (int move = 0; move < 30 && error_.empty(); ++move) {
            if (auto view = host_.findByText(text)) {
                const auto point = host_.tapPointOf(*view);
                if (point.y > 140 && point.y < 540) return true;
            }
            run({"drag 187,450 187,250 1"});
        }
        if (error_.empty())
            error_ = "round " + std::to_string(round_) + ": \"" + text + "\" never came on screen";
        return false;
    }

    void nextRound() { ++round_; }
    const std::string& error() const { return error_; }

private:
    cw::HeadlessHost& host_;
    std::filesystem::path shots_;
    std::string error_;
    int round_ = 0;
};

const char* const kPost = "Knitted two tiny hats for the twins. Blue and pink, of course.";
const char* const kArticle = "Why your baby is on CPAP";

// One round of the family's day, from the feed back to the feed.
void liveTheDay(Driver& day, const std::string& commentPush, const std::string& latestUpdateDay) {
    // The feed dragged: flicked down it and back up to the top.
    day.run({"drag 187,550 187,150", "drag 187,550 187,150", "drag 187,150 187,600", "drag 187,150 187,600",
             "drag 187,150 187,600", "drag 187,150 187,600"});
    // An article.
    day.scrollTo(kArticle);
    day.run({"tap \"" + std::string(kArticle) + "\"",
             "expect \"Questions about this? Ask your baby's nurse, or read more in the family library.\"",
             "back", "expect \"Home\""});
    // A card opened and closed.
    day.scrollTo(kPost);
    day.run({"tap \"" + std::string(kPost) + "\"", "expect \"Ruth Hart\"", "back", "expect \"Home\""});
    // A post opened from a push, with its comments.
    day.run({"tap-push " + commentPush,
             "expect \"Olivia opened her eyes during kangaroo care this morning.\"", "tap #commentButton",
             "expect \"She looked right at you.\"", "back", "back", "expect \"Home\""});
    // The day's update, its calendar and the growth charts.
    day.run({"tap \"Update\"", "expect \"Photo Of The Day\"", "tap #calendarButton", "expect \"Sun\"",
             "tap #" + latestUpdateDay, "tap \"Growth Charts\"", "expect \"WEIGHT (G)\"", "back",
             "expect \"Photo Of The Day\""});
    // The care team, the journey and a milestone.
    day.run({"tap \"Team\"", "expect \"Dr. Samuel Okafor\"", "tap \"Journey\"", "expect \"My first bath\""});
    day.scrollTo("My first bath");
    day.run({"tap \"My first bath\"", "expect \"OK\"", "tap \"OK\"", "tap \"Home\"", "expect \"Home\""});
    // Family & Friends.
    day.run({"tap #hamburgerButton", "tap \"Family & Friends\"", "expect \"Ruth Hart\"", "back",
             "expect \"Home\""});
    // Away and back, twice in quick succession: the second time the feed's reload of the first is
    // still on its way.
    day.run({"background", "foreground", "background", "foreground", "expect \"Home\""});
    day.nextRound();
}

void BM_FamilysDayRoundAfterRound(benchmark::State& state) {
    const Rounds r = rounds();
    // What the application prints goes nowhere: kept, it would grow with every round.
    struct Discard : std::streambuf {
        int overflow(int c) override { return c; }
    } discard;
    auto* savedCout = std::cout.rdbuf(&discard);
    double slope = 0, perRound = 0, roundMs = 0, startMB = 0, endMB = 0, residentStart = 0, residentEnd = 0;
    std::string error;
    for (auto _ : state) {
        auto environment = std::make_unique<cw::test::AppEnvironment>("cw-day-bench");
        auto demo = std::make_unique<cw::test::DemoServer>(environment->directory() / "server");
        demo->answerFeedQuestions();
        cw::test::prepareBundle(*environment, demo->baseUrl(), "org.cradleway.day-bench");
        cw::test::forgetSession();
        const auto pushes = cw::server::demoPushPayloads(demo->server());
        const std::string commentPush = pushes.at(2).dump();
        const std::string latestUpdateDay = cw::test::localDay(cw::test::queryInteger(
            *demo, "SELECT MAX(created_at) FROM posts WHERE baby_id = 1 AND kind = 'daily_update'"));
        auto host = std::make_unique<cw::HeadlessHost>();
        cw::test::signInBeforeLaunch("demo@cradleway.test", "cradleway-demo");
        auto app = std::make_shared<AppDelegate>();
        host->launch(app);
        if (!cw::test::waitThenSettle(
                *host, [] { return !FeedDataStore::shared().cachedFeed().empty(); }, 20)) {
            error = "the feed did not load";
        }
        std::vector<double> heap;
        const auto started = std::chrono::steady_clock::now();
        Driver day(*host, environment->directory() / "shots");
        for (int round = 0; error.empty() && round < r.warmup + r.measured; ++round) {
            liveTheDay(day, commentPush, latestUpdateDay);
            error = day.error();
            if (round >= r.warmup) heap.push_back(heapInUse());
            if (round + 1 == r.warmup) residentStart = residentMegabytes();
        }
        residentEnd = residentMegabytes();
        roundMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count() /
            (r.warmup + r.measured);
        if (heap.size() >= 2) {
            // Least squares over the rounds: one round's noise does not move it.
            const double n = static_cast<double>(heap.size());
            double sx = 0, sy = 0, sxx = 0, sxy = 0;
            for (std::size_t i = 0; i < heap.size(); ++i) {
                sx += i;
                sy += heap[i];
                sxx += double(i) * i;
                sxy += i * heap[i];
            }
            slope = (n * sxy - sx * sy) / (n * sxx - sx * sx) / 1024;
            perRound = (heap.back() - heap.front()) / (n - 1) / 1024;
            startMB = heap.front() / (1 << 20);
            endMB = heap.back() / (1 << 20);
        }
        RunLoop::main().runFor(0.1);
        app.reset();
        host.reset();
        demo.reset();
        cw::test::forgetSession();
        FeedDataStore::shared().setCachedFeed({});
        environment.reset();
        UIAppearance::reset();
    }
    std::cout.rdbuf(savedCout);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    state.counters["growth_KB_per_round"] = slope;
    state.counters["first_to_last_KB_per_round"] = perRound;
    state.counters["target_KB_per_round"] = kTargetKilobytesPerRound;
    state.counters["over_target"] = slope / kTargetKilobytesPerRound;
    state.counters["heap_MB_after_warmup"] = startMB;
    state.counters["heap_MB_at_end"] = endMB;
    state.counters["resident_MB_after_warmup"] = residentStart;
    state.counters["resident_MB_at_end"] = residentEnd;
    state.counters["round_ms"] = roundMs;
    state.counters["rounds_measured"] = r.measured;
}
BENCHMARK(BM_FamilysDayRoundAfterRound)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
