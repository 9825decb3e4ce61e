// The My Baby screen's Save with four forms, one holding a camera photo (12 megapixels): how long
// the main thread is held by the tap on Save and by every main-queue pass until the request is on
// its way; the picture is encoded on a queue meanwhile, which does not count. It should stay under
// one 16 ms frame. The server holds its reply until the timing is done, so that handling it (the
// screen closing) never lands in the figure.

#include "Controllers/Baby/MyBabyViewController.h"
#include "Services/AuthenticationContext.h"
#include "bench/support/CameraPhoto.h"
#include "bench/support/MainThreadShare.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

void BM_MyBabySaveOfFourFormsWithACameraPhoto(benchmark::State& state) {
    cw::test::RecordingServer server;
    server.reply("POST", "/m/api/baby/update", cw::test::Reply{200, R"({"response": []})"});
    cw::test::AppEnvironment environment{"cw-baby-bench"};
    environment.writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "bench.baby"}});
    auto member = std::make_shared<UserData>("Emma Hart", FamilyRelationship::Mother, "emma@example.test");
    member->setId(1);
    AuthenticationContext::shared().setUser(member);
    AuthenticationContext::shared().setOAuthToken(std::string("token"));
    AuthenticationContext::shared().setOAuthRefreshToken(std::string("refresh"));
    cw::bench::HeldReplies replies(server);

    auto screen = std::make_shared<MyBabyViewController>();
    screen->view();
    const auto photo = cw::bench::cameraPhoto(1);
    for (int i = 0; i < 4; ++i) {
        auto form = std::make_shared<BabyDetailsFormView>(i + 1);
        form->babyfullNameTextField()->setText("Baby " + std::to_string(i + 1));
        form->updateBirthdayField("Jan, 01 2026");
        form->updateExpectedBirthdayField("Mar, 01 2026");
        form->updateGenderField(i % 2 ? "Male" : "Female");
        if (i == 2) form->updateCroppedBabyImage(photo);
        screen->babyFormViewArray.push_back(form);
    }
    std::vector<cw::bench::MainThreadShare> shares;
    for (auto _ : state) {
        // The update itself, not the usage events the tap sends on the side.
        auto updates = [&] { return server.requestCount("/m/api/baby/update"); };
        const auto before = updates();
        replies.hold();
        shares.push_back(cw::bench::timeMainThreadShare([&] { screen->createOrUpdateBabyDetails(); },
                                                        [&] { return updates() > before; }));
        state.PauseTiming();
        replies.open();
        RunLoop::main().runFor(0.2);
        state.ResumeTiming();
    }
    cw::bench::reportMainThreadShares(state, std::move(shares));
    AuthenticationContext::shared().setUser(nullptr);
}
BENCHMARK(BM_MyBabySaveOfFourFormsWithACameraPhoto)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

} // namespace
