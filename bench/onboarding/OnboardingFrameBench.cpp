// One frame of a finger dragging across the onboarding tutorial: the content moves, then the
// screen is laid out and drawn as it would be shown, 375 x 667 points at scale 2, with the
// full-screen background and two pages' pictures in view. A frame lasts 8.3 ms at 120 Hz; a frame
// of the drag should fit in one.

#include "App/Onboarding/OnboardingViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DragAcrossOnboardingPages(benchmark::State& state) {
    UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
    auto tutorial = std::make_shared<OnboardingViewController>();
    const auto screen = tutorial->view();
    screen->setFrame(CGRect(0, 0, 375, 667));
    cw::renderView(*screen, 2);
    const auto& scroll = tutorial->scrollView();
    const CGFloat last = 375 * 3;
    CGFloat x = 0;
    CGFloat step = 23; // a brisk finger: about 1400 points a second at 60 frames
    for (auto _ : state) {
        x += step;
        if (x >= last || x <= 0) step = -step;
        scroll->setContentOffset({x, 0});
        auto image = cw::renderView(*screen, 2);
        benchmark::DoNotOptimize(image);
    }
    RunLoop::main().runUntilIdle();
}
BENCHMARK(BM_DragAcrossOnboardingPages)->Unit(benchmark::kMillisecond);

} // namespace
