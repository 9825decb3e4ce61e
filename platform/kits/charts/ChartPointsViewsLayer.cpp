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

    views_.clear();
    shown_ = 0;
    const auto& points = chartPoints();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const ChartPointLayerModel model{points[i], i, chartPointScreenLoc(points[i])};
        views_.push_back(viewGenerator_ ? viewGenerator_(model, *this) : nullptr);
    }
    startTime_ = Clock::uptime() + displayDelay();
    showDueViews();
}

void ChartPointsViewsLayer::showDueViews() {
    timer_ = 0;
    auto container = container_.lock();
    if (!container) return;
    const double now = Clock::uptime();
    while (shown_ < views_.size() && startTime_ + static_cast<double>(shown_) * delayBetweenItems_ <= now) {
        if (const auto& view = views_[shown_]) container->addSubview(view);
        ++shown_;
    }
    if (shown_ >= views_.size()) return;
    std::weak_ptr<ChartLayer> weak = weak_from_this();
    timer_ = RunLoop::main().addTimer(startTime_ + static_cast<double>(shown_) * delayBetweenItems_, [weak] {
        if (auto layer = std::static_pointer_cast<ChartPointsViewsLayer>(weak.lock())) layer->showDueViews();
    });
}
