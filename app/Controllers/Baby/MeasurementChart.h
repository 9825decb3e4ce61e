#pragma once

// A measurement series drawn as a line chart: each point at its place in the list (not its date)
// along the x axis, labelled with its date every 1, 7 or 30 points (turned 60°), the y axis from 0 to
// 1.2 × the largest value in round steps, dotted guides across, a 2-point line in the series'
// colour drawn out over a second, and a 12-point marker per point (the colour inside a white ring)
// appearing one after another. Main thread only.

#include "Controllers/Baby/MeasurementData.h"
#include "kits/charts/SwiftCharts.h"

#include <memory>
#include <vector>

struct MeasurementChart {
    Chart chart;
    ChartAxisLayerPtr xAxis;
    ChartAxisLayerPtr yAxis;
    std::shared_ptr<ChartGuideLinesDottedLayer> guides;
    std::shared_ptr<ChartPointsLineLayer> line;
    std::shared_ptr<ChartPointsViewsLayer> markers;
};

// 1.2 × the largest value; 1 for no values, and for a largest value of 0 or below (an axis must
// rise from 0).
double yMaxFor(const std::vector<double>& values);
// The first of 1, 2, 5, 10, 20, 25, 50, 100, 200, 500, 1000 that cuts the axis into at most six
// steps, else a fifth of it.
double yStepFor(double yMax);
// A date label every point up to 17 points, every 7th up to 89, every 30th from 90.
double xStepFor(std::size_t count);

// The chart of `points` (at least one) over `frame` (its superview's coordinates).
MeasurementChart makeMeasurementChart(const std::vector<MeasurementData>& points, const CGRect& frame,
                                      const UIColor& colour);
