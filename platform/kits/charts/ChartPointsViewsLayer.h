#pragma once

// A view for each point a drawing needs (a marker), made by a generator: of points that crowd one
// column of points only those pixelColumnDecimation keeps (at a scale of 1) get one, so a series of
// any length makes views for what can be seen, four a column of points at most. The views are made with the chart;
// each is put on screen after the layer's display delay plus the delay between items times its
// place among the views made, on the run loop's clock. They lie in a container over the whole
// chart view, which clips them to the chart's frame when asked to.
//
// Charts here are neither zoomed nor panned, so there are no modes for moving views with a zoom
// and no conflict solvers; views are always made with the chart and lie above the layers before.

#include "kits/charts/ChartPointsLayer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ChartPointsViewsLayer;

struct ChartPointLayerModel {
    ChartPoint chartPoint;
    std::size_t index;
    CGPoint screenLoc;
};

// None for a point that gets no view.
using ChartPointViewGenerator =
    std::function<std::shared_ptr<UIView>(const ChartPointLayerModel&, ChartPointsViewsLayer&)>;

class ChartPointsViewsLayer : public ChartPointsLayer {
public:
    ChartPointsViewsLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer, std::vector<ChartPoint> chartPoints,
                          ChartPointViewGenerator viewGenerator, double displayDelay = 0, double delayBetweenItems = 0,
                          bool clipViews = true);
    ~ChartPointsViewsLayer() override;

    double delayBetweenItems() const { return delayBetweenItems_; }
    bool clipViews() const { return clipViews_; }
    // The view of each point in list order (none where the generator gave none, or the point
    // needed none), made with the chart whether or not it is on screen yet.
    const std::vector<std::shared_ptr<UIView>>& viewsForChartPoints() const { return views_; }
    // How many views were made, and how many of them are on screen now.
    std::size_t madeViewCount() const { return made_.size(); }
    std::size_t shownViewCount() const { return shown_; }

    void chartInitialized(UIView& chartView) override;

private:
    // Puts on screen every view whose time has come, and waits for the next one.
    void showDueViews();

    ChartPointViewGenerator viewGenerator_;
    double delayBetweenItems_;
    bool clipViews_;
    std::vector<std::shared_ptr<UIView>> views_;
    // The views made, in the order they go on screen.
    std::vector<std::shared_ptr<UIView>> made_;
    std::weak_ptr<UIView> container_;
    double startTime_ = 0;
    std::size_t shown_ = 0;
    std::uint64_t timer_ = 0;
};
