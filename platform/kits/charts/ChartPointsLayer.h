#pragma once

// The base of layers that show points: where each point lies on the screen, from the two axes,
// and which of them a drawing needs.

#include "kits/charts/ChartAxisLayer.h"

#include <cstddef>
#include <vector>

// The points of `locs` (in order) that a drawing at `scale` pixels a point needs: of each run of
// consecutive points whose x falls in one column of pixels, the first, the highest, the lowest and
// the last, in the order they came. A line through them touches the pixels the line through all of
// them touches, and a series whose x only grows keeps at most four points a column whatever its
// length: what is drawn is bounded by the pixels it covers, not by the points that came. Indices
// into `locs`, rising.
std::vector<std::size_t> pixelColumnDecimation(const std::vector<CGPoint>& locs, CGFloat scale);

class ChartPointsLayer : public ChartLayer {
public:
    ChartPointsLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer, std::vector<ChartPoint> chartPoints,
                     double displayDelay = 0);

    const std::vector<ChartPoint>& chartPoints() const { return chartPoints_; }
    // In the chart view's coordinates; a point without a value lies at the axes' start.
    CGPoint chartPointScreenLoc(const ChartPoint& point) const;
    std::vector<CGPoint> chartPointsScreenLocs() const;
    // Seconds after the chart is made before the layer starts to show.
    double displayDelay() const { return displayDelay_; }
    const ChartAxisLayerPtr& xAxisLayer() const { return xAxisLayer_; }
    const ChartAxisLayerPtr& yAxisLayer() const { return yAxisLayer_; }

private:
    ChartAxisLayerPtr xAxisLayer_;
    ChartAxisLayerPtr yAxisLayer_;
    std::vector<ChartPoint> chartPoints_;
    double displayDelay_;
};
