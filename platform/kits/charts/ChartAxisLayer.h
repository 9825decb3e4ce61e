#pragma once

// One axis laid out: its values with their labels, where each value and label stands, and its
// line. Made by a coordinate space, which measures the labels first (to know how much room the
// axis takes) and then places them around the inner frame it chose. Labels are thinned to what
// fits: once placed, the axis keeps every k-th value from the first, with the smallest k whose
// labels do not overlap (turned labels compared as turned), and the values left out get no label
// and no guide line. All positions are in the chart view's coordinates.

#include "kits/charts/ChartAxisGenerators.h"
#include "kits/charts/ChartLayer.h"

#include <memory>
#include <vector>

class UILabel;

enum class ChartAxisSide { bottom, left };

class ChartAxisLayer : public ChartLayer {
public:
    struct AxisValue {
        double scalar = 0;
        // Along the axis: x for the bottom axis, y for the left one.
        CGFloat screenLoc = 0;
        std::vector<ChartAxisLabel> labels;
        // The box each label takes (turned labels: the box of the turned text).
        std::vector<CGRect> labelFrames;
    };

    ChartAxisLayer(ChartAxisSide side, ChartAxisModel model, const ChartSettings& settings);

    ChartAxisSide side() const { return side_; }
    const ChartAxisModel& axisModel() const { return model_; }
    const std::vector<AxisValue>& axisValues() const { return values_; }
    // The room the labels and their spacing take across the axis: a height for the bottom axis,
    // a width for the left one.
    CGFloat thickness() const { return thickness_; }

    // Places the axis along the inner frame's bottom or left edge, and keeps the values whose
    // labels fit.
    void layout(const CGRect& innerFrame);
    const CGRect& innerFrame() const { return innerFrame_; }
    // Where a scalar lies along the axis. On an axis with no length (its last value not above its
    // first), and for a scalar that is not a number, the axis's start.
    CGFloat screenLocForScalar(double scalar) const;
    CGPoint lineP1() const { return lineP1_; }
    CGPoint lineP2() const { return lineP2_; }
    // The line and the labels.
    CGRect frame() const { return frame_; }
    // The label views made when the chart was made, value by value.
    const std::vector<std::shared_ptr<UILabel>>& labelViews() const { return labelViews_; }

    void chartInitialized(UIView& chartView) override;
    void chartViewDrawing(CGContext& context) override;

private:
    void keepValuesWhoseLabelsFit();

    // Widths of the columns (left axis) or heights of the rows (bottom axis) of stacked labels.
    std::vector<CGFloat> bands_;
    ChartAxisSide side_;
    ChartAxisModel model_;
    ChartSettings settings_;
    std::vector<AxisValue> values_;
    CGFloat thickness_ = 0;
    CGRect innerFrame_;
    CGPoint lineP1_;
    CGPoint lineP2_;
    CGRect frame_;
    std::vector<std::shared_ptr<UILabel>> labelViews_;
};

using ChartAxisLayerPtr = std::shared_ptr<ChartAxisLayer>;

// A left y axis and a bottom x axis around one inner frame: the frame less the settings' insets,
// the room the y labels take on the left and the x labels below. Coordinates are the chart
// view's own (the frame's origin is the view's top left).
class ChartCoordsSpaceLeftBottomSingleAxis {
public:
    ChartCoordsSpaceLeftBottomSingleAxis(const ChartSettings& settings, const CGRect& chartFrame,
                                         ChartAxisModel xModel, ChartAxisModel yModel);

    const ChartAxisLayerPtr& xAxisLayer() const { return xAxisLayer_; }
    const ChartAxisLayerPtr& yAxisLayer() const { return yAxisLayer_; }
    CGRect chartInnerFrame() const { return innerFrame_; }

private:
    ChartAxisLayerPtr xAxisLayer_;
    ChartAxisLayerPtr yAxisLayer_;
    CGRect innerFrame_;
};
