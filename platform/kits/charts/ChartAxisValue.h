#pragma once

// Values on a chart's axes: a number (its scalar, where it lies on the axis) and how it is written.

#include "kits/charts/ChartLabelSettings.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Writes a number for a label.
using ChartNumberFormatter = std::function<std::string(double)>;

class ChartAxisValue {
public:
    explicit ChartAxisValue(double scalar, ChartLabelSettings labelSettings = {});
    virtual ~ChartAxisValue() = default;

    double scalar() const { return scalar_; }
    const ChartLabelSettings& labelSettings() const { return labelSettings_; }
    // The value's text; the plain number by default.
    virtual std::string description() const;
    // The value written as one label.
    std::vector<ChartAxisLabel> labels() const { return {ChartAxisLabel(description(), labelSettings_)}; }

private:
    double scalar_;
    ChartLabelSettings labelSettings_;
};

class ChartAxisValueDouble : public ChartAxisValue {
public:
    // The device's locale, at most two decimals, grouped thousands ("3,600", "2.5").
    static ChartNumberFormatter defaultFormatter();

    explicit ChartAxisValueDouble(double scalar, ChartNumberFormatter formatter = defaultFormatter(),
                                  ChartLabelSettings labelSettings = {});
    ChartAxisValueDouble(double scalar, ChartLabelSettings labelSettings)
        : ChartAxisValueDouble(scalar, defaultFormatter(), std::move(labelSettings)) {}
    std::string description() const override;

private:
    ChartNumberFormatter formatter_;
};

class ChartAxisValueInt : public ChartAxisValue {
public:
    explicit ChartAxisValueInt(int value, ChartLabelSettings labelSettings = {});
    int value() const { return value_; }
    std::string description() const override { return std::to_string(value_); }

private:
    int value_;
};

using ChartAxisValuePtr = std::shared_ptr<const ChartAxisValue>;

// One point of a series: where it lies on the x axis and on the y axis.
struct ChartPoint {
    ChartPoint(ChartAxisValuePtr x, ChartAxisValuePtr y) : x(std::move(x)), y(std::move(y)) {}
    ChartAxisValuePtr x;
    ChartAxisValuePtr y;
};
