#include "kits/charts/ChartPointsViewsLayer.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <algorithm>
#include <cmath>

ChartPointsViewsLayer::ChartPointsViewsLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer,
                                             std::vector<ChartPoint> chartPoints, ChartPointViewGenerator viewGenerator,
                                             double displayDelay, double delayBetweenItems, bool clipViews)
    : ChartPointsLayer(std::move(xAxisLayer), std::move(yAxisLayer), std::move(chartPoints), displayDelay),
      viewGenerator_(std::move(viewGenerator)),
      delayBetweenItems_(std::isfinite(delayBetweenItems) ? std::max(0.0, delayBetweenItems) : 0),
      clipViews_(clipViews) {}

ChartPointsViewsLayer::~ChartPointsViewsLayer() {
    if (timer_) RunLoop::main().cancelTimer(timer_);
}

void ChartPointsViewsLayer::chartInitialized(UIView& chartView) {
    auto container = std::make_shared<UIView>(CGRect{{0, 0}, chartView.bounds().size});
    container->setOpaque(false);
    container->setClipsToBounds(clipViews_);
    chartView.addSubview(container);
    container_ = container;

    shown_ = 0;
    made_.clear();
    const auto& points = chartPoints();
    views_.assign(points.size(), nullptr);
    const std::vector<CGPoint> locs = chartPointsScreenLocs();
    if (viewGenerator_) {
        // Markers are points wide: centres half a pixel apart in one column of points look alike.
        for (const std::size_t i : pixelColumnDecimation(locs, 1)) {
            views_[i] = viewGenerator_(ChartPointLayerModel{points[i], i, locs[i]}, *this);
            if (views_[i]) made_.push_back(views_[i]);
        }
    }
    startTime_ = Clock::uptime() + displayDelay();
    showDueViews();
}

void ChartPointsViewsLayer::showDueViews() {
    timer_ = 0;
    auto container = container_.lock();
    if (!container) return;
    const double now = Clock::uptime();
    while (shown_ < made_.size() && startTime_ + static_cast<double>(shown_) * delayBetweenItems_ <= now) {
        container->addSubview(made_[shown_]);
        ++shown_;
    }
    if (shown_ >= made_.size()) return;
    std::weak_ptr<ChartLayer> weak = weak_from_this();
    timer_ = RunLoop::main().addTimer(startTime_ + static_cast<double>(shown_) * delayBetweenItems_, [weak] {
        if (auto layer = std::static_pointer_cast<ChartPointsViewsLayer>(weak.lock())) layer->showDueViews();
    });
}
