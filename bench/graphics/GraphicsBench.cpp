// The feed renders the HTML of its first cards into styled text on a background queue and
// measures them for their cells; these are the costs of one card.
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIGraphics.h"

#include <benchmark/benchmark.h>

namespace {

const char* kCardHTML =
    "<p>Skin-to-skin contact, also called kangaroo care, is one of the best things you can do for your "
    "baby in the NICU. It helps regulate <b>temperature</b>, <i>breathing</i> and heart rate.</p>"
    "<ul><li>Wear a shirt that opens in the front</li><li>Plan to hold your baby for at least an hour, so "
    "that the transfer is worth the disturbance</li><li>Ask your nurse to help with wires and tubes</li></ul>"
    "<p>Read more in the <a href=\"https://example.invalid/kangaroo\">education library</a>.</p>";

void BM_ImportCardHTML(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(NSAttributedString::fromHTML(kCardHTML));
}
BENCHMARK(BM_ImportCardHTML);

void BM_MeasureCardText(benchmark::State& state) {
    NSMutableAttributedString text(*NSAttributedString::fromHTML(kCardHTML));
    text.addAttributes({.font = UIFont::preferredFont(UIFontTextStyle::body)}, {0, text.length()});
    for (auto _ : state)
        benchmark::DoNotOptimize(text.boundingRect({343, 0}));
}
BENCHMARK(BM_MeasureCardText);

void BM_DrawRoundedCard(benchmark::State& state) {
    for (auto _ : state) {
        auto image = UIGraphicsImageRenderer({343, 120}).image([](UIGraphicsImageRendererContext&) {
            UIColor::whiteColor().setFill();
            UIBezierPath::roundedRect({0, 0, 343, 120}, 6).fill();
        });
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_DrawRoundedCard);

} // namespace
