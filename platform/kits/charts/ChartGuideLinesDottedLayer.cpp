#include "kits/charts/ChartGuideLinesDottedLayer.h"

ChartGuideLinesDottedLayer::ChartGuideLinesDottedLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer,
                                                       ChartGuideLinesDottedLayerSettings settings,
                                                       ChartGuideLinesLayerAxis axis)
    : xAxisLayer_(std::move(xAxisLayer)), yAxisLayer_(std::move(yAxisLayer)), settings_(settings), axis_(axis) {}

std::vector<std::pair<CGPoint, CGPoint>> ChartGuideLinesDottedLayer::lines() const {
    std::vector<std::pair<CGPoint, CGPoint>> result;
    if (xAxisLayer_ && axis_ != ChartGuideLinesLayerAxis::y) {
        const CGRect inner = xAxisLayer_->innerFrame();
        for (const auto& value : xAxisLayer_->axisValues())
            result.push_back({{value.screenLoc, inner.minY()}, {value.screenLoc, inner.maxY()}});
    }
    if (yAxisLayer_ && axis_ != ChartGuideLinesLayerAxis::x) {
        const CGRect inner = yAxisLayer_->innerFrame();
        for (const auto& value : yAxisLayer_->axisValues())
            result.push_back({{inner.minX(), value.screenLoc}, {inner.maxX(), value.screenLoc}});
    }
    return result;
}

void ChartGuideLinesDottedLayer::chartViewDrawing(CGContext& context) {
    if (settings_.linesWidth <= 0) return;
    UIBezierPath path;
    for (const auto& [from, to] : lines()) {
        path.move(from);
        path.addLine(to);
    }
    path.lineWidth = settings_.linesWidth;
    path.setLineDash({settings_.dotWidth, settings_.dotSpacing}, 0);
    context.setStrokeColor(settings_.linesColor);
    context.stroke(path);
}
