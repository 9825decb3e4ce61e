#pragma once

// A layer of a chart: what it draws into the chart view's own content (axis lines, guide lines)
// and the views it adds on top (labels, lines, markers). Layers are stacked in the order the
// chart is given them; everything drawn into the content lies under every added view.

#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIView.h"

#include <memory>

class ChartLayer : public std::enable_shared_from_this<ChartLayer> {
public:
    virtual ~ChartLayer() = default;
    // The chart made its view: a layer adds its views here, in chart coordinates.
    virtual void chartInitialized(UIView& /*chartView*/) {}
    // The chart view draws its content, bottom layer first.
    virtual void chartViewDrawing(CGContext& /*context*/) {}
};

using ChartLayerPtr = std::shared_ptr<ChartLayer>;
