// Start to first frame of the application, as the cradleway executable starts: the bundle's
// information read, the user defaults, the demo server started in the process on an existing demo
// database, the application delegate launched (window, root choice, views loaded) and the first
// frame drawn at scale 2. Signed out (the sign-in screen) and with a stored session (the main
// interface with the drawer, the feed and the tab bar). A phone's cold start is about 400 ms.
//
// Stopping the server, which waits for its idle connections, is not counted.

#include "App/AppDelegate.h"
#include "Services/AuthenticationContext.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "host/HeadlessHost.h"
#include "hosts/cradleway/CradlewayHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/session/SessionReset.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <sstream>

namespace {

struct Fixture {
    cw::test::TempDirectory directory{"cw-startup-bench"};
    std::filesystem::path bundle = directory / "bundle";
    std::filesystem::path data = directory / "data";

    Fixture() {
        std::filesystem::create_directories(bundle);
        std::ofstream(bundle / "Info.json") << R"({"CFBundleIdentifier": "org.cradleway.bench",
            "CFBundleShortVersionString": "1.4", "CFBundleVersion": "27"})";
        std::filesystem::create_directory_symlink(cw::test::generatedResourcesDirectory(), bundle / "Resources");
        // The demo database exists already: a first start made it.
        cw::server::startDemoServer(data / "server", cw::test::DemoServer::quietOptions())->stop();
    }
};

void storeSession() {
    AuthenticationContext stored;
    stored.updateTokens(JSON(nlohmann::json{{"tokens", {{"access_token", "a"}, {"refresh_token", "r"}}}}));
    stored.save(UserData::initWithResponseObject(JSON(nlohmann::json{
        {"id", 1}, {"full_name", "Emma Hart"}, {"email", "demo@cradleway.test"}, {"relationship", "Mother"}})));
}

void startToFirstFrame(benchmark::State& state, bool signedIn) {
    Fixture fixture;
    cw::setDataDirectory(fixture.data);
    UserDefaults::resetStandard();
    if (signedIn) storeSession();
    UserDefaults::resetStandard();
    std::ostringstream quiet;
    auto* savedCout = std::cout.rdbuf(quiet.rdbuf());

    cw::host::CradlewayOptions options;
    options.dataDirectory = fixture.data;
    for (auto _ : state) {
        Bundle::setMainBundleDirectory(fixture.bundle);
        UserDefaults::resetStandard();
        std::string error;
        auto environment = cw::host::CradlewayEnvironment::start(options, quiet, error);
        if (!environment) {
            state.SkipWithError(error.c_str());
            break;
        }
        auto host = std::make_unique<cw::HeadlessHost>();
        host->launch(std::make_shared<AppDelegate>());
        auto frame = renderView(*host->window(), 2);
        benchmark::DoNotOptimize(frame);

        state.PauseTiming();
        host.reset();
        cw::test::forgetSession();
        environment.reset();
        quiet.str("");
        state.ResumeTiming();
    }
    std::cout.rdbuf(savedCout);
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
}

void BM_StartToFirstFrameSignedOut(benchmark::State& state) {
    startToFirstFrame(state, false);
}
void BM_StartToFirstFrameWithAStoredSession(benchmark::State& state) {
    startToFirstFrame(state, true);
}

BENCHMARK(BM_StartToFirstFrameSignedOut)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StartToFirstFrameWithAStoredSession)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
