#include "kits/charts/ChartPointsLayer.h"

#include <algorithm>
#include <cmath>

std::vector<std::size_t> pixelColumnDecimation(const std::vector<CGPoint>& locs, CGFloat scale) {
    std::vector<std::size_t> kept;
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
    auto column = [scale](CGFloat x) { return std::isfinite(x) ? std::floor(x * scale) : 0.0; };
    std::size_t start = 0;
    while (start < locs.size()) {
        const double here = column(locs[start].x);
        std::size_t end = start + 1, top = start, bottom = start;
        for (; end < locs.size() && column(locs[end].x) == here; ++end) {
            if (locs[end].y < locs[top].y) top = end;
            if (locs[end].y > locs[bottom].y) bottom = end;
        }
        std::size_t run[] = {start, top, bottom, end - 1};
        std::sort(std::begin(run), std::end(run));
        for (const std::size_t i : run)
            if (kept.empty() || kept.back() != i) kept.push_back(i);
        start = end;
    }
    return kept;
}

ChartPointsLayer::ChartPointsLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer,
                                   std::vector<ChartPoint> chartPoints, double displayDelay)
    : xAxisLayer_(std::move(xAxisLayer)), yAxisLayer_(std::move(yAxisLayer)), chartPoints_(std::move(chartPoints)),
      displayDelay_(std::isfinite(displayDelay) ? std::max(0.0, displayDelay) : 0) {}

CGPoint ChartPointsLayer::chartPointScreenLoc(const ChartPoint& point) const {
    const double nothing = NAN;
    return {xAxisLayer_ ? xAxisLayer_->screenLocForScalar(point.x ? point.x->scalar() : nothing) : 0,
            yAxisLayer_ ? yAxisLayer_->screenLocForScalar(point.y ? point.y->scalar() : nothing) : 0};
}

std::vector<CGPoint> ChartPointsLayer::chartPointsScreenLocs() const {
    std::vector<CGPoint> locs;
    locs.reserve(chartPoints_.size());
    for (const auto& p : chartPoints_)
        locs.push_back(chartPointScreenLoc(p));
    return locs;
}
