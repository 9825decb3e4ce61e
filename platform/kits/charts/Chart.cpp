#include "kits/charts/Chart.h"

ChartView::ChartView(const CGRect& frame, std::vector<ChartLayerPtr> layers)
    : UIView(frame), layers_(std::move(layers)) {
    setOpaque(false);
}

void ChartView::draw(const CGRect&) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    for (const auto& layer : layers_) {
        ctx->saveGState();
        layer->chartViewDrawing(*ctx);
        ctx->restoreGState();
    }
}

Chart::Chart(const CGRect& frame, const CGRect& innerFrame, const ChartSettings& settings,
             std::vector<ChartLayerPtr> layers)
    : frame_(frame), innerFrame_(innerFrame), settings_(settings) {
    std::erase(layers, nullptr);
    view_ = std::make_shared<ChartView>(frame, std::move(layers));
    for (const auto& layer : view_->layers())
        layer->chartInitialized(*view_);
}
