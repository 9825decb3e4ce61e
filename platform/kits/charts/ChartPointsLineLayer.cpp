#include "kits/charts/ChartPointsLineLayer.h"

#include "foundation/dispatch/Timer.h"
#include "foundation/time/Clock.h"
#include "uikit/controllers/UIScreen.h"

#include <algorithm>
#include <cmath>

namespace {
// Redraws of a growing line, per second of the run loop's clock.
constexpr double kFrameInterval = 1.0 / 60.0;

std::vector<ChartPoint> allPoints(const std::vector<ChartLineModel>& models) {
    std::vector<ChartPoint> points;
    for (const auto& m : models)
        points.insert(points.end(), m.chartPoints.begin(), m.chartPoints.end());
    return points;
}
} // namespace

UIBezierPath StraightLinePathGenerator::generatePath(const std::vector<CGPoint>& points, CGFloat lineWidth) const {
    UIBezierPath path;
    path.lineWidth = lineWidth;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0)
            path.move(points[i]);
        else
            path.addLine(points[i]);
    }
    return path;
}

ChartLinesView::ChartLinesView(const CGRect& frame, std::vector<CGPoint> points, ChartLineModel model,
                               std::shared_ptr<const ChartLinesViewPathGenerator> pathGenerator, double startTime)
    : UIView(frame), points_(std::move(points)), model_(std::move(model)), pathGenerator_(std::move(pathGenerator)),
      startTime_(startTime) {
    setOpaque(false);
    setUserInteractionEnabled(false);
}

ChartLinesView::~ChartLinesView() {
    if (timer_) timer_->invalidate();
}

CGFloat ChartLinesView::strokeEnd() const {
    const double elapsed = Clock::uptime() - startTime_;
    if (!(model_.animDuration > 0)) return elapsed >= 0 ? 1 : 0;
    return static_cast<CGFloat>(std::clamp(elapsed / model_.animDuration, 0.0, 1.0));
}

UIBezierPath ChartLinesView::currentPath() const {
    if (!pathGenerator_) return {};
    const CGFloat end = strokeEnd();
    if (end >= 1) return pathGenerator_->generatePath(points_, model_.lineWidth);
    if (end <= 0 || points_.size() < 2) return {};
    CGFloat total = 0;
    for (std::size_t i = 1; i < points_.size(); ++i)
        total += std::hypot(points_[i].x - points_[i - 1].x, points_[i].y - points_[i - 1].y);
    const CGFloat target = end * total;
    std::vector<CGPoint> shown{points_[0]};
    CGFloat walked = 0;
    for (std::size_t i = 1; i < points_.size(); ++i) {
        const CGPoint a = points_[i - 1], b = points_[i];
        const CGFloat segment = std::hypot(b.x - a.x, b.y - a.y);
        if (walked + segment >= target) {
            const CGFloat t = segment > 0 ? (target - walked) / segment : 0;
            shown.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
            break;
        }
        shown.push_back(b);
        walked += segment;
    }
    return pathGenerator_->generatePath(shown, model_.lineWidth);
}

void ChartLinesView::strokeLine(CGContext& ctx, UIBezierPath path) const {
    path.lineWidth = model_.lineWidth;
    path.lineJoinStyle = model_.lineJoin;
    path.lineCapStyle = model_.lineCap;
    ctx.setStrokeColor(model_.lineColor);
    ctx.stroke(path);
}

void ChartLinesView::draw(const CGRect&) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx || model_.lineWidth <= 0) return;
    UIBezierPath path = currentPath();
    if (path.isEmpty()) return;
    const CGRect b = bounds();
    const CGAffineTransform t = ctx->currentTransform();
    const CGFloat density = std::max(std::hypot(t.a, t.b), std::hypot(t.c, t.d));
    const int scale = static_cast<int>(std::ceil(density - 1e-6));
    // A line drawn out stays as it is: stroked once into a picture at the screen's density, it is
    // copied each frame after, as a series of a few thousand steep steps costs several
    // milliseconds to stroke. A picture that would not be sharp (a zoom) strokes as it is.
    if (strokeEnd() < 1 || scale < 1 || scale > 4 || std::abs(density - scale) > 1e-6 || b.isEmpty() ||
        b.width() * scale > 4096 || b.height() * scale > 4096) {
        strokeLine(*ctx, std::move(path));
        return;
    }
    if (!settled_ || settledScale_ != scale || settledSize_ != b.size) {
        settled_ = UIGraphicsImageRenderer(b.size, {static_cast<CGFloat>(scale), false})
                       .image([&](UIGraphicsImageRendererContext& rc) { strokeLine(rc.cgContext(), path); });
        settledScale_ = scale;
        settledSize_ = b.size;
    }
    if (settled_) ctx->draw(*settled_, b);
}

void ChartLinesView::didMoveToSuperview() {
    if (!superviewPointer() || timer_ || strokeEnd() >= 1) return;
    // Redraws while the line grows, so a window that only draws on change keeps showing it.
    std::weak_ptr<UIView> weak = weak_from_this();
    timer_ = Timer::scheduledTimer(kFrameInterval, true, [weak](Timer& timer) {
        auto view = std::static_pointer_cast<ChartLinesView>(weak.lock());
        if (!view) {
            timer.invalidate();
            return;
        }
        view->setNeedsDisplay();
        if (view->strokeEnd() >= 1) {
            timer.invalidate();
            view->timer_.reset();
        }
    });
}

ChartPointsLineLayer::ChartPointsLineLayer(ChartAxisLayerPtr xAxisLayer, ChartAxisLayerPtr yAxisLayer,
                                           std::vector<ChartLineModel> lineModels,
                                           std::shared_ptr<const ChartLinesViewPathGenerator> pathGenerator,
                                           double displayDelay)
    : ChartPointsLayer(std::move(xAxisLayer), std::move(yAxisLayer), allPoints(lineModels), displayDelay),
      lineModels_(std::move(lineModels)), pathGenerator_(std::move(pathGenerator)) {}

void ChartPointsLineLayer::chartInitialized(UIView& chartView) {
    lineViews_.clear();
    const double now = Clock::uptime();
    for (const auto& model : lineModels_) {
        std::vector<CGPoint> all;
        all.reserve(model.chartPoints.size());
        for (const auto& p : model.chartPoints)
            all.push_back(chartPointScreenLoc(p));
        std::vector<CGPoint> points;
        for (const std::size_t i : pixelColumnDecimation(all, UIScreen::main().scale()))
            points.push_back(all[i]);
        const double delay = std::isfinite(model.animDelay) ? std::max(0.0, model.animDelay) : 0;
        auto view = std::make_shared<ChartLinesView>(CGRect{{0, 0}, chartView.bounds().size}, std::move(points), model,
                                                     pathGenerator_, now + displayDelay() + delay);
        chartView.addSubview(view);
        lineViews_.push_back(view);
    }
}
