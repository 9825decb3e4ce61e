// Cold start of the cradleway executable as a person meets it: from starting the process to its
// first drawn frame, headless, on a data directory whose demo database exists already. Signed out,
// the first frame is the sign-in screen; with a stored session it is the feed with its cards drawn
// (the cards come from the demo server, which the process starts itself). A phone's cold start is
// about 400 ms: each benchmark reports its time over that budget as "over_budget".
//
// What the process does after that frame (quitting, stopping its server) is not counted.

#include "tests/support/CradlewayProcess.h"
#include "tests/support/TempDirectory.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using cw::test::CradlewayProcess;
using clock_type = std::chrono::steady_clock;

constexpr double kBudgetMilliseconds = 400;

struct Device {
    cw::test::TempDirectory directory{"cw-coldstart-bench"};

    CradlewayProcess::Options options(const std::string& name) const {
        CradlewayProcess::Options o;
        o.executable = CW_CRADLEWAY_EXECUTABLE;
        o.dataDirectory = directory / name;
        o.screenshots = directory / "shots";
        return o;
    }
};

// A data directory after a first start (the demo database made) and, when `signedIn`, after the
// demo mother signed in (her session stored).
std::unique_ptr<Device> prepare(bool signedIn, std::string& error) {
    auto device = std::make_unique<Device>();
    CradlewayProcess first(device->options("data"));
    if (first.failed()) {
        error = "cradleway did not start: " + first.errors();
        return nullptr;
    }
    std::vector<std::string> steps = {"expect \"Log In\""};
    if (signedIn)
        steps.insert(steps.end(), {"tap #emailTextField", "type \"demo@cradleway.test\"", "tap #passwordField",
                                   "type \"cradleway-demo\"", "tap \"Sign In\"", "expect \"Daily update for Olivia\""});
    if (auto answer = first.steps(steps); !answer.ok) {
        error = answer.text;
        return nullptr;
    }
    first.finish();
    return device;
}

void startToFirstFrame(benchmark::State& state, bool signedIn, const std::string& firstText) {
    std::string error;
    auto device = prepare(signedIn, error);
    if (!device) {
        state.SkipWithError(error.c_str());
        return;
    }
    double total = 0;
    for (auto _ : state) {
        const auto started = clock_type::now();
        CradlewayProcess app(device->options("data"));
        const bool shown = !app.failed() && app.step("expect \"" + firstText + "\"").ok && app.step("draw").ok;
        const auto drawn = clock_type::now();
        state.SetIterationTime(std::chrono::duration<double>(drawn - started).count());
        total += std::chrono::duration<double, std::milli>(drawn - started).count();
        state.PauseTiming();
        app.finish();
        state.ResumeTiming();
        if (!shown) {
            state.SkipWithError(("the first frame never showed \"" + firstText + "\"").c_str());
            break;
        }
    }
    const double mean = state.iterations() ? total / static_cast<double>(state.iterations()) : 0;
    state.counters["first_frame_ms"] = mean;
    state.counters["over_budget"] = mean / kBudgetMilliseconds;
}

void BM_ColdStartToTheSignInScreen(benchmark::State& state) {
    startToFirstFrame(state, false, "Log In");
}
void BM_ColdStartToTheFeedWithAStoredSession(benchmark::State& state) {
    startToFirstFrame(state, true, "Daily update for Olivia");
}

BENCHMARK(BM_ColdStartToTheSignInScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ColdStartToTheFeedWithAStoredSession)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
