#pragma once

// A growth chart as the measurement screens draw theirs (the application's own builder), from a
// series of dated values: for the charts kit's tests, its benchmark and the toolkit gallery.

#include "Controllers/Baby/MeasurementChart.h"

#include <string>
#include <vector>

namespace cw::charts_sample {

struct Measurement {
    std::string dateDescription;
    double value = 0;
};

using GrowthChart = MeasurementChart;

inline GrowthChart makeGrowthChart(const std::vector<Measurement>& series, const CGRect& frame, const UIColor& colour) {
    std::vector<MeasurementData> points;
    for (const auto& m : series)
        points.push_back({std::nullopt, m.value, std::nullopt, m.dateDescription});
    return makeMeasurementChart(points, frame, colour);
}

} // namespace cw::charts_sample
