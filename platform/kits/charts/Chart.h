#pragma once

// A chart: a view of the frame's size in which its layers draw and place their views, bottom
// layer first. Copies share the view. The view keeps the layers, so it goes on drawing after the
// Chart value that made it has gone. Main thread only.

#include "kits/charts/ChartAxisGenerators.h"
#include "kits/charts/ChartLayer.h"

#include <memory>
#include <vector>

class ChartView : public UIView {
public:
    ChartView(const CGRect& frame, std::vector<ChartLayerPtr> layers);
    std::string className() const override { return "ChartView"; }
    const std::vector<ChartLayerPtr>& layers() const { return layers_; }
    void draw(const CGRect& rect) override;

private:
    std::vector<ChartLayerPtr> layers_;
};

class Chart {
public:
    // `frame` places the view in its superview; `innerFrame` (where the points go) is in the
    // view's own coordinates, as a coordinate space gives it.
    Chart(const CGRect& frame, const CGRect& innerFrame, const ChartSettings& settings, std::vector<ChartLayerPtr> layers);

    const std::shared_ptr<ChartView>& view() const { return view_; }
    CGRect frame() const { return frame_; }
    CGRect innerFrame() const { return innerFrame_; }
    const ChartSettings& settings() const { return settings_; }
    const std::vector<ChartLayerPtr>& layers() const { return view_->layers(); }
    // Takes the view off screen.
    void clearView() { view_->removeFromSuperview(); }

private:
    CGRect frame_;
    CGRect innerFrame_;
    ChartSettings settings_;
    std::shared_ptr<ChartView> view_;
};
