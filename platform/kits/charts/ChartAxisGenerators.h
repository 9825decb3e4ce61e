#pragma once

// Where an axis has values, and which labels each value gets.

#include "kits/charts/ChartAxisValue.h"

#include <functional>
#include <memory>
#include <vector>

class ChartAxisValuesGenerator {
public:
    virtual ~ChartAxisValuesGenerator() = default;
    // The values of an axis running from `first` to `last`, in order.
    virtual std::vector<double> generate(double first, double last) const = 0;
};

// Every multiple of the step from the first value to the last, both included when they are
// multiples. A step that is not a positive number, or a range that runs backwards or is not finite,
// gives the first and last values alone; a step so small that it would give more than
// `maximumCount` values is doubled until it does not.
class ChartAxisGeneratorMultiplier : public ChartAxisValuesGenerator {
public:
    static constexpr std::size_t maximumCount = 1000;

    explicit ChartAxisGeneratorMultiplier(double multiplier) : multiplier_(multiplier) {}
    double multiplier() const { return multiplier_; }
    std::vector<double> generate(double first, double last) const override;

private:
    double multiplier_;
};

class ChartAxisLabelsGenerator {
public:
    virtual ~ChartAxisLabelsGenerator() = default;
    // The labels of one axis value (none, one, or several stacked).
    virtual std::vector<ChartAxisLabel> generate(double scalar) const = 0;
};

class ChartAxisLabelsGeneratorFunc : public ChartAxisLabelsGenerator {
public:
    using Function = std::function<std::vector<ChartAxisLabel>(double)>;
    explicit ChartAxisLabelsGeneratorFunc(Function function) : function_(std::move(function)) {}
    std::vector<ChartAxisLabel> generate(double scalar) const override {
        return function_ ? function_(scalar) : std::vector<ChartAxisLabel>{};
    }

private:
    Function function_;
};

// One label per value: the number written by the formatter.
class ChartAxisLabelsGeneratorNumber : public ChartAxisLabelsGenerator {
public:
    explicit ChartAxisLabelsGeneratorNumber(ChartLabelSettings labelSettings,
                                            ChartNumberFormatter formatter = ChartAxisValueDouble::defaultFormatter())
        : labelSettings_(std::move(labelSettings)), formatter_(std::move(formatter)) {}
    std::vector<ChartAxisLabel> generate(double scalar) const override {
        return {ChartAxisLabel(formatter_ ? formatter_(scalar) : std::string(), labelSettings_)};
    }

private:
    ChartLabelSettings labelSettings_;
    ChartNumberFormatter formatter_;
};

// One axis: its range, its values and labels, and the colour of its line. Axes have no titles,
// and labels that would overlap are not moved apart: the axis layer shows every k-th one instead.
struct ChartAxisModel {
    ChartAxisModel(double firstModelValue, double lastModelValue,
                   std::shared_ptr<const ChartAxisValuesGenerator> axisValuesGenerator,
                   std::shared_ptr<const ChartAxisLabelsGenerator> labelsGenerator,
                   UIColor lineColor = UIColor::blackColor())
        : firstModelValue(firstModelValue), lastModelValue(lastModelValue),
          axisValuesGenerator(std::move(axisValuesGenerator)), labelsGenerator(std::move(labelsGenerator)),
          lineColor(lineColor) {}

    double firstModelValue;
    double lastModelValue;
    std::shared_ptr<const ChartAxisValuesGenerator> axisValuesGenerator;
    std::shared_ptr<const ChartAxisLabelsGenerator> labelsGenerator;
    UIColor lineColor;

    // The generator's values for the range (none without a generator).
    std::vector<double> axisValues() const {
        return axisValuesGenerator ? axisValuesGenerator->generate(firstModelValue, lastModelValue)
                                   : std::vector<double>{};
    }
};

// The room a chart leaves around its inner frame (where the points go), in points.
struct ChartSettings {
    // Insets from the chart's frame.
    CGFloat leading = 0;
    CGFloat top = 0;
    CGFloat trailing = 0;
    CGFloat bottom = 0;
    // Between the rows (x axis) or columns (y axis) of a value's stacked labels.
    CGFloat labelsSpacing = 5;
    // Between an axis line and its labels.
    CGFloat labelsToAxisSpacingX = 5;
    CGFloat labelsToAxisSpacingY = 5;
    // Between two axes on one side, and between axis titles and labels: a coordinate space with
    // one axis a side and no titles leaves no such room, but keeps the values for its callers.
    CGFloat spacingBetweenAxesX = 15;
    CGFloat spacingBetweenAxesY = 15;
    CGFloat axisTitleLabelsToLabelsSpacing = 5;
    CGFloat axisStrokeWidth = 1;
};
