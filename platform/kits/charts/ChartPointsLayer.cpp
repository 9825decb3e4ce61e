#include "kits/charts/ChartPointsLayer.h"

#include <cmath>

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
