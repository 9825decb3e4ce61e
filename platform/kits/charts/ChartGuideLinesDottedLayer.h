#pragma once

// Dotted guide lines across the inner frame at the axis values: vertical ones at the x values,
// horizontal ones at the y values, or both.

#include "kits/charts/ChartAxisLayer.h"

#include <utility>
#include <vector>

enum class ChartGuideLinesLayerAxis { x, y, xAndY };

struct ChartGuideLinesDottedLayerSettings {
    UIColor linesColor = UIColor::blackColor();
    CGFloat linesWidth = 0.3;
    // The length of each dot and of the gap after it.
    CGFloat dotWidth = 2;
    CGFloat dotSpacing = 2;
};

class ChartGuideLinesDottedLayer : public ChartLayer {
public:
    ChartGuideLinesDottedLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer,
                               ChartGuideLinesDottedLayerSettings settings,
                               ChartGuideLinesLayerAxis axis = ChartGuideLinesLayerAxis::xAndY);

    const ChartGuideLinesDottedLayerSettings& settings() const { return settings_; }
    // Each line's two ends, the x values' first.
    std::vector<std::pair<CGPoint, CGPoint>> lines() const;

    void chartViewDrawing(CGContext& context) override;

private:
    ChartAxisLayerPtr xAxisLayer_;
    ChartAxisLayerPtr yAxisLayer_;
    ChartGuideLinesDottedLayerSettings settings_;
    ChartGuideLinesLayerAxis axis_;
};
