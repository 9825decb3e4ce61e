#include "Controllers/Baby/MeasurementChart.h"

#include <algorithm>

double yMaxFor(const std::vector<double>& values) {
    if (values.empty()) return 1.0;
    const double largest = *std::max_element(values.begin(), values.end());
    return largest > 0 ? largest * 1.2 : 1.0;
}

double yStepFor(double yMax) {
    for (const double step : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0, 100.0, 200.0, 500.0, 1000.0})
        if (yMax / step <= 6) return step;
    return yMax / 5;
}

double xStepFor(std::size_t count) {
    return count <= 17 ? 1 : count <= 89 ? 7 : 30;
}

MeasurementChart makeMeasurementChart(const std::vector<MeasurementData>& points, const CGRect& frame,
                                      const UIColor& colour) {
    const std::size_t n = points.size();
    std::vector<ChartPoint> chartPoints;
    std::vector<double> values;
    for (std::size_t i = 0; i < n; ++i) {
        chartPoints.emplace_back(std::make_shared<ChartAxisValueInt>(static_cast<int>(i)),
                                 std::make_shared<ChartAxisValueDouble>(points[i].value));
        values.push_back(points[i].value);
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

    std::vector<std::string> dates;
    for (const auto& point : points)
        dates.push_back(point.dateDescription.value_or(std::string()));
    ChartAxisModel xModel(0, static_cast<double>(std::max<std::size_t>(n, 2) - 1),
                          std::make_shared<ChartAxisGeneratorMultiplier>(xStepFor(n)),
                          std::make_shared<ChartAxisLabelsGeneratorFunc>([dates, xLabels](double v) {
                              if (!(v >= 0)) return std::vector<ChartAxisLabel>{};
                              const auto index = static_cast<std::size_t>(v);
                              if (index >= dates.size()) return std::vector<ChartAxisLabel>{};
                              return std::vector<ChartAxisLabel>{ChartAxisLabel(dates[index], xLabels)};
                          }),
                          UIColor::blackColor());
    const double yMax = yMaxFor(values);
    ChartAxisModel yModel(0, yMax, std::make_shared<ChartAxisGeneratorMultiplier>(yStepFor(yMax)),
                          std::make_shared<ChartAxisLabelsGeneratorNumber>(yLabels, ChartAxisValueDouble::defaultFormatter()),
                          UIColor::blackColor());

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
    auto line = std::make_shared<ChartPointsLineLayer>(
        space.xAxisLayer(), space.yAxisLayer(),
        std::vector<ChartLineModel>{{.chartPoints = chartPoints,
                                     .lineColor = colour,
                                     .lineWidth = 2,
                                     .lineJoin = CGLineJoin::round,
                                     .lineCap = CGLineCap::round,
                                     .animDuration = 1.0,
                                     .animDelay = 0}},
        std::make_shared<StraightLinePathGenerator>(), 0);
    auto markers = std::make_shared<ChartPointsViewsLayer>(
        space.xAxisLayer(), space.yAxisLayer(), chartPoints,
        [colour](const ChartPointLayerModel& model, ChartPointsViewsLayer&) {
            auto marker = std::make_shared<ChartPointEllipseView>(model.screenLoc, 12);
            marker->fillColor = colour;
            marker->borderColor = UIColor::whiteColor();
            marker->borderWidth = 2;
            marker->animDuration = 1.5;
            return marker;
        },
        0, 0.05, true);
    Chart chart(frame, space.chartInnerFrame(), settings, {space.xAxisLayer(), space.yAxisLayer(), guides, line, markers});
    return {chart, space.xAxisLayer(), space.yAxisLayer(), guides, line, markers};
}
