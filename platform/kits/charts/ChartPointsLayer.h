#pragma once

// The base of layers that show points: where each point lies on the screen, from the two axes.

#include "kits/charts/ChartAxisLayer.h"

#include <vector>

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
