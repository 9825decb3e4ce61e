// Drawing what costs more than painting: a blurred header over a 375 x 667 point screen of coloured
// rows, and a title label that shrinks its text to fit, both drawn at scale 2.

#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIVisualEffectView.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

namespace {

std::shared_ptr<UIView> screenWithBlurredHeader() {
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    screen->setBackgroundColor(UIColor::whiteColor());
    for (int i = 0; i < 12; ++i) {
        auto row = std::make_shared<UIView>(CGRect(0, i * 56, 375, 48));
        row->setBackgroundColor(UIColor(0.1 * (i % 10), 0.5, 1 - 0.08 * i, 1));
        screen->addSubview(row);
    }
    auto header = std::make_shared<UIVisualEffectView>(
        getenv("NOFX") ? nullptr : UIBlurEffect::effect(UIBlurEffectStyle::extraLight));
    header->setFrame(CGRect(0, 0, 375, 120));
    auto name = std::make_shared<UILabel>(CGRect(16, 60, 343, 30));
    name->setText("Baby Emma");
    header->contentView()->addSubview(name);
    screen->addSubview(header);
    return screen;
}

void BM_DrawScreenWithBlurredHeader(benchmark::State& state) {
    auto screen = screenWithBlurredHeader();
    screen->layoutIfNeeded();
    UIGraphicsImageRendererFormat format;
    format.scale = 2;
    UIGraphicsImageRenderer renderer(screen->bounds().size, format);
    for (auto _ : state) {
        auto image = renderer.image(
            [&](UIGraphicsImageRendererContext& ctx) { screen->layer()->render(ctx.cgContext()); });
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_DrawScreenWithBlurredHeader)->Unit(benchmark::kMillisecond);

// A label whose text changes each frame and shrinks to fit: the cost of finding the scale.
void BM_DrawShrinkingTitle(benchmark::State& state) {
    auto label = std::make_shared<UILabel>(CGRect(0, 0, 160, 30));
    label->setFont(UIFont::boldSystemFont(20));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.5);
    UIGraphicsImageRendererFormat format;
    format.scale = 2;
    UIGraphicsImageRenderer renderer(label->bounds().size, format);
    int n = 0;
    for (auto _ : state) {
        label->setText("Daily update of day " + std::to_string(++n % 100));
        auto image = renderer.image(
            [&](UIGraphicsImageRendererContext& ctx) { label->layer()->render(ctx.cgContext()); });
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_DrawShrinkingTitle)->Unit(benchmark::kMicrosecond);

} // namespace
