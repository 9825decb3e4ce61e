// A frosted-glass background of a whole screen: the light preset (radius 30 points, a box of 113
// pixels) over a 375 × 667-point picture at the screen's scale of 2, 750 × 1334 pixels. Also its
// two passes alone, to see where the time goes.
#include "Extensions/UIImage+ImageEffects.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/vImage.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::shared_ptr<UIImage> screenPicture() {
    UIScreen::main().setSize({375, 667}, 2);
    return UIGraphicsImageRenderer({375, 667}, {2, true}).image([](UIGraphicsImageRendererContext& rc) {
        CGContext& c = rc.cgContext();
        c.drawLinearGradient({UIColor(0.2, 0.4, 0.8), UIColor(0.9, 0.7, 0.5)}, {}, {0, 0}, {0, 667});
        for (int i = 0; i < 40; ++i) {
            c.setFillColor(UIColor((i * 37 % 100) / 100.0, (i * 59 % 100) / 100.0, (i * 83 % 100) / 100.0, 0.8));
            c.fillEllipse({(i * 53) % 375 - 20.0, (i * 97) % 667 - 20.0, 60, 60});
        }
    });
}

void BM_ApplyLightEffect(benchmark::State& state) {
    auto picture = screenPicture();
    for (auto _ : state)
        benchmark::DoNotOptimize(UIImageEffects::applyLightEffect(*picture));
}
BENCHMARK(BM_ApplyLightEffect)->Unit(benchmark::kMillisecond);

void BM_BoxPass113(benchmark::State& state) {
    std::vector<std::uint8_t> a(750 * 1334 * 4, 128), b(a.size());
    vImage_Buffer in{a.data(), 1334, 750, 750 * 4}, out{b.data(), 1334, 750, 750 * 4};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            vImageBoxConvolve_ARGB8888(&in, &out, nullptr, 0, 0, 113, 113, nullptr, kvImageEdgeExtend));
}
BENCHMARK(BM_BoxPass113)->Unit(benchmark::kMillisecond);

void BM_SaturationPass(benchmark::State& state) {
    std::vector<std::uint8_t> a(750 * 1334 * 4, 128), b(a.size());
    vImage_Buffer in{a.data(), 1334, 750, 750 * 4}, out{b.data(), 1334, 750, 750 * 4};
    std::int16_t matrix[16];
    UIImageEffects::saturationMatrix(1.8, matrix);
    for (auto _ : state)
        benchmark::DoNotOptimize(vImageMatrixMultiply_ARGB8888(&in, &out, matrix, 256, nullptr, nullptr, 0));
}
BENCHMARK(BM_SaturationPass)->Unit(benchmark::kMillisecond);

} // namespace
