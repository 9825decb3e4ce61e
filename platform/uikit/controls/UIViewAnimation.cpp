#include "uikit/controls/UIViewAnimation.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr double frameInterval = 1.0 / 60.0;

struct LayerValues {
    CGPoint position;
    CGRect bounds;
    float opacity = 1;
    CATransform3D transform;
    std::optional<UIColor> background;
};

// What is on screen now: the presentation where one is set, the model otherwise.
LayerValues shownValues(const CALayer& l) {
    LayerValues v{l.position(), l.bounds(), l.opacity, l.transform(), l.backgroundColor};
    if (l.presentation) {
        const auto& p = *l.presentation;
        if (p.position) v.position = *p.position;
        if (p.bounds) v.bounds = *p.bounds;
        if (p.opacity) v.opacity = *p.opacity;
        if (p.transform) v.transform = *p.transform;
        if (p.backgroundColor) v.background = p.backgroundColor;
    }
    return v;
}

LayerValues modelValues(const CALayer& l) {
    return {l.position(), l.bounds(), l.opacity, l.transform(), l.backgroundColor};
}

struct Capture {
    std::map<CALayer*, std::pair<std::weak_ptr<CALayer>, LayerValues>> before;
};
Capture* capturing = nullptr;

void captureLayer(CALayer* layer) {
    if (!capturing || capturing->before.count(layer)) return;
    capturing->before[layer] = {layer->weak_from_this(), shownValues(*layer)};
}

CGFloat lerp(CGFloat a, CGFloat b, CGFloat f) {
    return a + (b - a) * f;
}

// Transforms move by their parts (scale, turn, shift), so a quarter turn does not shrink halfway.
CATransform3D lerpTransform(const CATransform3D& a3, const CATransform3D& b3, CGFloat f) {
    const CGAffineTransform a = CATransform3DGetAffineTransform(a3);
    const CGAffineTransform b = CATransform3DGetAffineTransform(b3);
    auto parts = [](const CGAffineTransform& t) {
        const CGFloat sx = std::hypot(t.a, t.b);
        const CGFloat r = sx > 0 ? std::atan2(t.b, t.a) : 0;
        const CGFloat sy = sx > 0 ? (t.a * t.d - t.b * t.c) / sx : std::hypot(t.c, t.d);
        return std::array<CGFloat, 5>{sx, sy, r, t.tx, t.ty};
    };
    const auto pa = parts(a), pb = parts(b);
    const CGFloat sx = lerp(pa[0], pb[0], f), sy = lerp(pa[1], pb[1], f), r = lerp(pa[2], pb[2], f);
    CGAffineTransform t;
    t.a = sx * std::cos(r);
    t.b = sx * std::sin(r);
    t.c = -sy * std::sin(r);
    t.d = sy * std::cos(r);
    t.tx = lerp(pa[3], pb[3], f);
    t.ty = lerp(pa[4], pb[4], f);
    return CATransform3DMakeAffineTransform(t);
}

UIColor lerpColor(const std::optional<UIColor>& a, const std::optional<UIColor>& b, CGFloat f) {
    const UIColor ca = a.value_or(b ? b->withAlphaComponent(0) : UIColor::clearColor());
    const UIColor cb = b.value_or(ca.withAlphaComponent(0));
    return UIColor(lerp(ca.red(), cb.red(), f), lerp(ca.green(), cb.green(), f),
                   lerp(ca.blue(), cb.blue(), f), lerp(ca.alpha(), cb.alpha(), f));
}

// A cubic Bézier timing curve through (0,0), (x1,y1), (x2,y2), (1,1).
CGFloat bezier(CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat x) {
    auto at = [](CGFloat p1, CGFloat p2, CGFloat t) {
        const CGFloat u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    };
    CGFloat lo = 0, hi = 1, t = x;
    for (int i = 0; i < 40; ++i) {
        t = (lo + hi) / 2;
        if (at(x1, x2, t) < x)
            lo = t;
        else
            hi = t;
    }
    return at(y1, y2, t);
}

} // namespace

namespace cw {

struct Animator::Group {
    std::shared_ptr<AnimationRecord> record;
    struct Track {
        std::weak_ptr<CALayer> layer;
        LayerValues from;
        LayerValues to;
        bool position, bounds, opacity, transform, background;
    };
    std::vector<Track> tracks;
    std::function<void(bool)> completion;
    double end() const { return record->startTime + record->duration; }
    CGFloat progress(double now) const {
        if (record->duration <= 0) return 1;
        const CGFloat t =
            static_cast<CGFloat>(std::clamp((now - record->startTime) / record->duration, 0.0, 1.0));
        if (record->dampingRatio)
            return Animator::springValue(*record->dampingRatio, record->velocity.value_or(0), t);
        return Animator::curveValue(record->options, t);
    }
};

Animator& Animator::shared() {
    static Animator a;
    return a;
}

std::size_t Animator::runningCount() const {
    return groups_.size();
}

CGFloat Animator::curveValue(UIViewAnimationOptions options, CGFloat t) {
    if (t <= 0) return 0;
    if (t >= 1) return 1;
    switch (options & (3u << 16)) {
    case UIViewAnimationOptionCurveEaseIn:
        return bezier(0.42, 0, 1, 1, t);
    case UIViewAnimationOptionCurveEaseOut:
        return bezier(0, 0, 0.58, 1, t);
    case UIViewAnimationOptionCurveLinear:
        return t;
    default:
        return bezier(0.42, 0, 0.58, 1, t);
    }
}

CGFloat Animator::springValue(CGFloat damping, CGFloat velocity, CGFloat t) {
    if (t <= 0) return 0;
    if (t >= 1) return 1;
    damping = std::clamp<CGFloat>(damping, 0.01, 1.0);
    if (damping >= 1) {
        // Critically damped: settles (to within a thousandth) by the end of the duration.
        const CGFloat w = 10;
        return 1 - (1 + (w - velocity) * t) * std::exp(-w * t);
    }
    const CGFloat w = 7 / damping;
    const CGFloat wd = w * std::sqrt(1 - damping * damping);
    const CGFloat e = std::exp(-damping * w * t);
    return 1 - e * (std::cos(wd * t) + ((damping * w - velocity) / wd) * std::sin(wd * t));
}

void Animator::run(AnimationRecord rec, const std::function<void()>& animations,
                   std::function<void(bool)> completion) {
    auto record = std::make_shared<AnimationRecord>(rec);
    record->startTime = Clock::uptime() + std::max(0.0, rec.delay);
    history_.push_back(record);
    if (history_.size() > 1000) history_.erase(history_.begin(), history_.begin() + 500);

    Capture capture;
    Capture* outer = capturing;
    auto* outerHook = cw::detail::layerWillChange;
    const bool animate = animationsEnabled;
    if (animate) {
        capturing = &capture;
        cw::detail::layerWillChange = &captureLayer;
    }
    if (animations) animations();
    capturing = outer;
    cw::detail::layerWillChange = outerHook;

    auto group = std::make_shared<Group>();
    group->record = record;
    group->completion = std::move(completion);
    for (auto& [raw, entry] : capture.before) {
        auto layer = entry.first.lock();
        if (!layer) continue;
        const LayerValues to = modelValues(*layer);
        const LayerValues& from = entry.second;
        Group::Track tr{layer,
                        from,
                        to,
                        !(from.position == to.position),
                        !(from.bounds == to.bounds),
                        from.opacity != to.opacity,
                        !(from.transform == to.transform),
                        !(from.background == to.background)};
        if (!(tr.position || tr.bounds || tr.opacity || tr.transform || tr.background)) continue;
        group->tracks.push_back(tr);
    }
    record->animatedLayerCount = group->tracks.size();
    if (!animate) record->duration = 0;
    groups_.push_back(group);
    tick();
    schedule();
}

void Animator::playSystemMotion(const std::shared_ptr<CALayer>& layer, double duration, Motion from, Motion to,
                                std::function<void(bool)> completion) {
    if (!layer) return;
    auto record = std::make_shared<AnimationRecord>();
    record->kind = AnimationRecord::Kind::transition;
    record->options = UIViewAnimationOptionCurveEaseInOut;
    record->duration = animationsEnabled ? std::max(0.0, duration) : 0;
    record->startTime = Clock::uptime();
    const LayerValues model = modelValues(*layer);
    auto moved = [&model](const Motion& m) {
        LayerValues v = model;
        v.position = CGPoint{model.position.x + m.offset.x, model.position.y + m.offset.y};
        v.opacity = model.opacity * m.opacity;
        return v;
    };
    Group::Track track{layer, moved(from), moved(to), false, false, false, false, false};
    track.position = !(track.from.position == track.to.position);
    track.opacity = track.from.opacity != track.to.opacity;
    auto group = std::make_shared<Group>();
    group->record = record;
    group->completion = std::move(completion);
    if (track.position || track.opacity) group->tracks.push_back(track);
    record->animatedLayerCount = group->tracks.size();
    groups_.push_back(group);
    tick();
    schedule();
}

void Animator::schedule() {
    if (groups_.empty()) return;
    double next = Clock::uptime() + frameInterval;
    for (const auto& g : groups_)
        next = std::min(next, std::max(g->end(), Clock::uptime()));
    if (timer_) RunLoop::main().cancelTimer(timer_);
    timer_ = RunLoop::main().addTimer(next, [this] {
        timer_ = 0;
        step();
    });
}

void Animator::step() {
    tick();
    const double now = Clock::uptime();
    // Finished blocks leave (their presentation with them), then their completions run.
    std::vector<std::shared_ptr<Group>> done;
    std::erase_if(groups_, [&](const std::shared_ptr<Group>& g) {
        if (g->end() > now) return false;
        done.push_back(g);
        return true;
    });
    if (!done.empty()) tick();
    for (const auto& g : done) {
        g->record->completed = true;
        g->record->finished = true;
        if (g->completion) g->completion(true);
    }
    schedule();
}

void Animator::finishAll() {
    auto groups = std::move(groups_);
    groups_.clear();
    for (const auto& g : groups)
        for (const auto& t : g->tracks)
            if (auto l = t.layer.lock()) l->presentation.reset();
    for (const auto& g : groups) {
        g->record->completed = true;
        g->record->finished = true;
        if (g->completion) g->completion(true);
    }
    if (timer_ && groups_.empty()) {
        RunLoop::main().cancelTimer(timer_);
        timer_ = 0;
    }
}

void Animator::tick() {
    const double now = Clock::uptime();
    // Later blocks win a property they both move.
    std::map<CALayer*, std::pair<std::shared_ptr<CALayer>, CALayer::Presentation>> shown;
    for (const auto& g : groups_) {
        if (g->end() <= now) continue;
        const CGFloat f = g->progress(now);
        for (const auto& t : g->tracks) {
            auto layer = t.layer.lock();
            if (!layer) continue;
            auto& [keep, p] = shown[layer.get()];
            keep = layer;
            if (t.position)
                p.position = CGPoint{lerp(t.from.position.x, t.to.position.x, f),
                                     lerp(t.from.position.y, t.to.position.y, f)};
            if (t.bounds)
                p.bounds = CGRect(lerp(t.from.bounds.origin.x, t.to.bounds.origin.x, f),
                                  lerp(t.from.bounds.origin.y, t.to.bounds.origin.y, f),
                                  lerp(t.from.bounds.size.width, t.to.bounds.size.width, f),
                                  lerp(t.from.bounds.size.height, t.to.bounds.size.height, f));
            if (t.opacity) p.opacity = static_cast<float>(lerp(t.from.opacity, t.to.opacity, f));
            if (t.transform) p.transform = lerpTransform(t.from.transform, t.to.transform, f);
            if (t.background) p.backgroundColor = lerpColor(t.from.background, t.to.background, f);
        }
    }
    // Layers of every block still known: those no running block moves show their model.
    for (const auto& g : groups_)
        for (const auto& t : g->tracks)
            if (auto l = t.layer.lock(); l && !shown.count(l.get())) l->presentation.reset();
    for (auto& [raw, entry] : shown)
        entry.first->presentation = entry.second;
}

} // namespace cw

// --- UIView's animation entry points ----------------------------------------------------------

void UIView::animate(double duration, std::function<void()> animations,
                     std::function<void(bool)> completion) {
    animate(duration, 0, UIViewAnimationOptionCurveEaseInOut, std::move(animations), std::move(completion));
}

void UIView::animate(double duration, double delay, UIViewAnimationOptions options,
                     std::function<void()> animations, std::function<void(bool)> completion) {
    cw::AnimationRecord r;
    r.duration = std::max(0.0, duration);
    r.delay = delay;
    r.options = options;
    cw::Animator::shared().run(r, animations, std::move(completion));
}

void UIView::animate(double duration, double delay, CGFloat dampingRatio, CGFloat velocity,
                     UIViewAnimationOptions options, std::function<void()> animations,
                     std::function<void(bool)> completion) {
    cw::AnimationRecord r;
    r.kind = cw::AnimationRecord::Kind::spring;
    r.duration = std::max(0.0, duration);
    r.delay = delay;
    r.options = options;
    r.dampingRatio = dampingRatio;
    r.velocity = velocity;
    cw::Animator::shared().run(r, animations, std::move(completion));
}

void UIView::transition(const std::shared_ptr<UIView>& view, double duration, UIViewAnimationOptions options,
                        std::function<void()> animations, std::function<void(bool)> completion) {
    cw::AnimationRecord r;
    r.kind = cw::AnimationRecord::Kind::transition;
    r.duration = std::max(0.0, duration);
    r.options = options;
    // A cross-dissolve fades the view's new content in.
    const bool dissolve = (options & (7u << 20)) == UIViewAnimationOptionTransitionCrossDissolve;
    std::function<void()> body = animations;
    if (dissolve && view) {
        const CGFloat alpha = view->alpha();
        view->layer()->opacity = 0;
        body = [view, alpha, animations] {
            if (animations) animations();
            view->setAlpha(alpha);
        };
    }
    cw::Animator::shared().run(r, body, std::move(completion));
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
    auto* hook = cw::detail::layerWillChange;
    cw::detail::layerWillChange = nullptr;
    if (actions) actions();
    cw::detail::layerWillChange = hook;
}
