// Submitting a post with two camera photos (12 megapixels each): how long the main thread is held
// by the tap on Submit and by every main-queue pass until the request is on its way; the pictures
// are encoded on a queue meanwhile, which does not count. It should stay under one 16 ms frame. The
// server holds its reply until the timing is done, so that handling it never lands in the figure.

#include "PostsBenchSupport.h"

#include "Controllers/Posts/PostViewController.h"
#include "bench/support/CameraPhoto.h"
#include "bench/support/MainThreadShare.h"
#include "foundation/dispatch/RunLoop.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

void BM_SubmitWithTwoCameraPhotos(benchmark::State& state) {
    auto& env = cw::bench::postsEnvironment();
    env.signIn();
    cw::bench::HeldReplies replies(env.server);
    auto screen = std::make_shared<PostViewController>();
    screen->view()->setFrame({0, 0, 375, 667});
    screen->postImages = {cw::bench::cameraPhoto(1), cw::bench::cameraPhoto(2)};
    screen->postBox()->setText("Home today!");
    std::vector<cw::bench::MainThreadShare> shares;
    for (auto _ : state) {
        // The post itself, not the usage events the tap sends on the side.
        auto posts = [&] { return env.server.requestCount("/m/api/post/"); };
        const std::size_t before = posts();
        replies.hold();
        shares.push_back(
            cw::bench::timeMainThreadShare([&] { screen->postCard(); }, [&] { return posts() > before; }));
        state.PauseTiming();
        replies.open();
        // The reply ends the screen's wait.
        RunLoop::main().runFor(0.2);
        state.ResumeTiming();
    }
    cw::bench::reportMainThreadShares(state, std::move(shares));
}
BENCHMARK(BM_SubmitWithTwoCameraPhotos)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace
