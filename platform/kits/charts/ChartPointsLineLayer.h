#pragma once

// Lines through points: each line model is drawn by a path generator in a view of its own, which
// draws the line out from its first point to its last over the model's animation duration, on the
// run loop's clock (a timer redraws it while it grows). Lines are solid (no dash patterns). A line
// goes through the points its pixels need (pixelColumnDecimation at the main screen's scale), so
// a series of any length draws at the cost of the columns it crosses; once drawn out, the line is
// kept as a picture at the density it was drawn at and copied from then on.

#include "kits/charts/ChartPointsLayer.h"

#include "uikit/graphics/UIBezierPath.h"

#include <cstdint>
#include <memory>
#include <vector>

class Timer;

struct ChartLineModel {
    std::vector<ChartPoint> chartPoints;
    UIColor lineColor = UIColor::blackColor();
    CGFloat lineWidth = 1;
    CGLineJoin lineJoin = CGLineJoin::round;
    CGLineCap lineCap = CGLineCap::round;
    // Seconds the line takes to be drawn out, and to wait before it starts.
    double animDuration = 0;
    double animDelay = 0;
};

class ChartLinesViewPathGenerator {
public:
    virtual ~ChartLinesViewPathGenerator() = default;
    virtual UIBezierPath generatePath(const std::vector<CGPoint>& points, CGFloat lineWidth) const = 0;
};

// Straight segments from point to point.
class StraightLinePathGenerator : public ChartLinesViewPathGenerator {
public:
    UIBezierPath generatePath(const std::vector<CGPoint>& points, CGFloat lineWidth) const override;
};

// One line, over the whole chart view.
class ChartLinesView : public UIView {
public:
    ChartLinesView(const CGRect& frame, std::vector<CGPoint> points, ChartLineModel model,
                   std::shared_ptr<const ChartLinesViewPathGenerator> pathGenerator, double startTime);
    ~ChartLinesView() override;
    std::string className() const override { return "ChartLinesView"; }

    // The points the line goes through, decimated to the pixels.
    const std::vector<CGPoint>& points() const { return points_; }
    const ChartLineModel& lineModel() const { return model_; }
    // How much of the line's length is drawn now (0...1), by the run loop's clock.
    CGFloat strokeEnd() const;
    // The path drawn now: the line up to `strokeEnd`.
    UIBezierPath currentPath() const;

    void draw(const CGRect& rect) override;
    void didMoveToSuperview() override;

private:
    void strokeLine(CGContext& context, UIBezierPath path) const;

    std::vector<CGPoint> points_;
    ChartLineModel model_;
    std::shared_ptr<const ChartLinesViewPathGenerator> pathGenerator_;
    double startTime_;
    std::shared_ptr<Timer> timer_;
    // The whole line as drawn once, at a density and size.
    std::shared_ptr<UIImage> settled_;
    int settledScale_ = 0;
    CGSize settledSize_;
};

class ChartPointsLineLayer : public ChartPointsLayer {
public:
    ChartPointsLineLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer, std::vector<ChartLineModel> lineModels,
                         std::shared_ptr<const ChartLinesViewPathGenerator> pathGenerator =
                             std::make_shared<StraightLinePathGenerator>(),
                         double displayDelay = 0);

    const std::vector<ChartLineModel>& lineModels() const { return lineModels_; }
    // One view per line model, made with the chart.
    const std::vector<std::shared_ptr<ChartLinesView>>& lineViews() const { return lineViews_; }

    void chartInitialized(UIView& chartView) override;

private:
    std::vector<ChartLineModel> lineModels_;
    std::shared_ptr<const ChartLinesViewPathGenerator> pathGenerator_;
    std::vector<std::shared_ptr<ChartLinesView>> lineViews_;
};
