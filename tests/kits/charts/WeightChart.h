#pragma once

// A growth chart set up the way the measurement screens draw theirs: points at their place in the
// list, x labels (turned 60°) every 1, 7 or 30 points, y values up to 1.2 × the largest with a
// round step, dotted guides, a 2-point line and 12-point markers. Shared by the charts kit's tests,
// its benchmark and the toolkit gallery.

#include "kits/charts/Chart.h"
#include "kits/charts/ChartGuideLinesDottedLayer.h"
#include "kits/charts/ChartPointEllipseView.h"
#include "kits/charts/ChartPointsLineLayer.h"
#include "kits/charts/ChartPointsViewsLayer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace cw::charts_sample {

struct Measurement {
    std::string dateDescription;
    double value = 0;
};

// 1.2 × the largest value; 1 for no values, or when the largest is not above 0.
inline double yMaxFor(const std::vector<double>& values) {
    if (values.empty()) return 1.0;
    const double largest = *std::max_element(values.begin(), values.end());
    return largest > 0 ? largest * 1.2 : 1.0;
}

inline double yStepFor(double yMax) {
    for (const double step : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0, 100.0, 200.0, 500.0, 1000.0})
        if (yMax / step <= 6) return step;
    return yMax / 5;
}

inline double xStepFor(std::size_t count) {
    return count <= 17 ? 1 : count <= 89 ? 7 : 30;
}

struct GrowthChart {
    Chart chart;
    ChartAxisLayerPtr xAxis;
    ChartAxisLayerPtr yAxis;
    std::shared_ptr<ChartGuideLinesDottedLayer> guides;
    std::shared_ptr<ChartPointsLineLayer> line;
    std::shared_ptr<ChartPointsViewsLayer> markers;
};

inline GrowthChart makeGrowthChart(const std::vector<Measurement>& series, const CGRect& frame, const UIColor& colour) {
    const std::size_t n = series.size();
    std::vector<ChartPoint> points;
    std::vector<double> values;
    for (std::size_t i = 0; i < n; ++i) {
        points.emplace_back(std::make_shared<ChartAxisValueInt>(static_cast<int>(i)),
                            std::make_shared<ChartAxisValueDouble>(series[i].value));
        values.push_back(series[i].value);
    }

    const ChartLabelSettings xLabels{.font = UIFont::systemFont(11),
                                     .fontColor = UIColor::blackColor(),
                                     .rotation = 60,
                                     .rotationKeep = ChartLabelDrawerRotationKeep::top,
                                     .shiftXOnRotation = true};
    const ChartLabelSettings yLabels{.font = UIFont::systemFont(11),
                                     .fontColor = UIColor::blackColor(),
                                     .rotation = 0,
                                     .rotationKeep = ChartLabelDrawerRotationKeep::center,
                                     .shiftXOnRotation = true};

    ChartAxisModel xModel(0, static_cast<double>(std::max<std::size_t>(n, 2) - 1),
                          std::make_shared<ChartAxisGeneratorMultiplier>(xStepFor(n)),
                          std::make_shared<ChartAxisLabelsGeneratorFunc>([series, xLabels](double v) {
                              const auto index = static_cast<std::size_t>(static_cast<long long>(v));
                              if (v < 0 || index >= series.size()) return std::vector<ChartAxisLabel>{};
                              return std::vector<ChartAxisLabel>{ChartAxisLabel(series[index].dateDescription, xLabels)};
                          }));
    const double yMax = yMaxFor(values);
    ChartAxisModel yModel(0, yMax, std::make_shared<ChartAxisGeneratorMultiplier>(yStepFor(yMax)),
                          std::make_shared<ChartAxisLabelsGeneratorNumber>(yLabels));

    ChartSettings settings;
    settings.leading = 16;
    settings.top = 16;
    settings.trailing = 32;
    settings.bottom = 8;
    settings.labelsSpacing = 0;
    settings.labelsToAxisSpacingX = 8;
    settings.labelsToAxisSpacingY = 8;
    settings.spacingBetweenAxesX = 8;
    settings.spacingBetweenAxesY = 8;
    settings.axisTitleLabelsToLabelsSpacing = 4;
    settings.axisStrokeWidth = 0.2;

    ChartCoordsSpaceLeftBottomSingleAxis space(settings, frame, xModel, yModel);
    auto guides = std::make_shared<ChartGuideLinesDottedLayer>(
        space.xAxisLayer(), space.yAxisLayer(),
        ChartGuideLinesDottedLayerSettings{.linesColor = UIColor::blackColor(), .linesWidth = 0.1, .dotWidth = 2, .dotSpacing = 2},
        ChartGuideLinesLayerAxis::xAndY);
    auto markers = std::make_shared<ChartPointsViewsLayer>(
        space.xAxisLayer(), space.yAxisLayer(), points,
        [colour](const ChartPointLayerModel& model, ChartPointsViewsLayer&) {
            auto marker = std::make_shared<ChartPointEllipseView>(model.screenLoc, 12);
            marker->fillColor = colour;
            marker->borderColor = UIColor::whiteColor();
            marker->borderWidth = 2;
            marker->animDuration = 1.5;
            return marker;
        },
        0, 0.05, true);
    auto line = std::make_shared<ChartPointsLineLayer>(
        space.xAxisLayer(), space.yAxisLayer(),
        std::vector<ChartLineModel>{{.chartPoints = points,
                                     .lineColor = colour,
                                     .lineWidth = 2,
                                     .lineJoin = CGLineJoin::round,
                                     .lineCap = CGLineCap::round,
                                     .animDuration = 1.0,
                                     .animDelay = 0}},
        std::make_shared<StraightLinePathGenerator>(), 0);
    Chart chart(frame, space.chartInnerFrame(), settings,
                {space.xAxisLayer(), space.yAxisLayer(), guides, line, markers});
    return {chart, space.xAxisLayer(), space.yAxisLayer(), guides, line, markers};
}

} // namespace cw::charts_sample
