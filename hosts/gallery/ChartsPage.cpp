// A baby's weight every other night for four weeks, charted the way the measurement screens chart it, once its line
// and markers have finished growing.

#include "GalleryPage.h"

#include "tests/kits/charts/WeightChart.h"

#include <cmath>

namespace cw::gallery {

namespace {

bool drawCharts(Context& context, std::string* error) {
    using namespace cw::charts_sample;
    std::vector<Measurement> weights;
    for (int day = 0; day < 28; day += 2) {
        const int date = day + 3;
        const std::string text = date <= 31 ? "Mar " + std::to_string(date) : "Apr " + std::to_string(date - 31);
        // The first days' loss, then a steady gain.
        const double grams = 1450 - 110 * std::sin(std::min(day, 8) * M_PI / 8) + (day > 8 ? 16 * (day - 8) : 0);
        weights.push_back({text, std::round(grams)});
    }
    auto card = std::make_shared<UIView>(CGRect{0, 0, 375, 256});
    card->setBackgroundColor(UIColor::whiteColor());
    auto content = std::make_shared<UIView>(CGRect{16, 8, 343, 240});
    card->addSubview(content);
    context.root->view()->addSubview(card);
    auto sample = makeGrowthChart(weights, content->bounds(), UIColor(0.76, 0.64, 0.95));
    content->addSubview(sample.chart.view());
    // The last marker appears after 13 × 0.05 s and grows for 1.5 s.
    context.host.advance(4);
    context.host.settle();
    return writeView(context, *card, "chart-weight.png", error);
}

Registration chartsPage{"charts", drawCharts};

} // namespace

} // namespace cw::gallery
