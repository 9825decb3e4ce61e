#include "uikit/controls/UIEvent.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIControl.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Quick taps at one spot count up: within this time and distance of the last tap.
constexpr double multiTapInterval = 0.35;
constexpr CGFloat multiTapDistance = 20;

CGFloat distance(CGPoint a, CGPoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace

// --- UITouch / UIEvent -------------------------------------------------------------------------

CGPoint UITouch::location(const UIView* inView) const {
    auto root = root_.lock();
    if (!inView || !root) return rootLocation_;
    // Read where the view is drawn, as the touch was hit-tested: a view an animation moves is
    // touched where the finger sees it.
    return inView->convertShownFrom(rootLocation_, root.get());
}

CGPoint UITouch::previousLocation(const UIView* inView) const {
    auto root = root_.lock();
    if (!inView || !root) return previousRootLocation_;
    return inView->convertShownFrom(previousRootLocation_, root.get());
}

std::set<std::shared_ptr<UITouch>> UIEvent::touches(const UIView* view) const {
    std::set<std::shared_ptr<UITouch>> out;
    for (const auto& t : touches_)
        if (t->view().get() == view) out.insert(t);
    return out;
}

// --- Gesture recognisers --------------------------------------------------------------------

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (UIView* old = recognizer->view(); old && old != this) old->removeGestureRecognizer(recognizer);
    if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) ==
        gestureRecognizers_.end())
        gestureRecognizers_.push_back(recognizer);
    recognizer->view_ = this;
    // Held weakly where the view is a shared object (not yet, while it is being made).
    recognizer->viewWeak_ = weak_from_this();
    recognizer->viewIsShared_ = !recognizer->viewWeak_.expired();
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
    if (it == gestureRecognizers_.end()) return;
    (*it)->view_ = nullptr;
    (*it)->viewWeak_.reset();
    (*it)->viewIsShared_ = false;
    gestureRecognizers_.erase(it);
}

void UIGestureRecognizer::removeTarget(const void* target) {
    std::erase_if(targets_, [&](const Target& t) { return target == nullptr || t.target == target; });
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled &&
        (state_ == UIGestureRecognizerState::began || state_ == UIGestureRecognizerState::changed))
        setState(UIGestureRecognizerState::cancelled);
}

CGPoint UIGestureRecognizer::location(const UIView* inView) const {
    if (touches_.empty()) {
        return inView ? inView->convertShownFrom(lastRootLocation_, nullptr)
                      : lastRootLocation_;
    }
    CGPoint sum{0, 0};
    for (const auto& t : touches_) {
        const CGPoint p = t->location(inView);
        sum.x += p.x;
        sum.y += p.y;
    }
    const auto n = static_cast<CGFloat>(touches_.size());
    return {sum.x / n, sum.y / n};
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
    const bool recognising =
        state_ == UIGestureRecognizerState::possible &&
        (state == UIGestureRecognizerState::began || state == UIGestureRecognizerState::ended);
    // The delegate has the last word the moment the gesture would start.
    if (recognising && delegate && !delegate->gestureRecognizerShouldBegin(this)) {
        state_ = UIGestureRecognizerState::failed;
        return;
    }
    state_ = state;
    if (recognising) {
        // The first recogniser to recognise wins the touches: the others that could still
        // recognise fail, and the view loses the touch (it is told it was cancelled).
        auto self = shared_from_this();
        for (const auto& t : touches_) {
            for (const auto& other : t->recognizers_) {
                if (other == self || other->state_ != UIGestureRecognizerState::possible) continue;
                const bool together =
                    (delegate && delegate->shouldRecognizeSimultaneously(this, other.get())) ||
                    (other->delegate && other->delegate->shouldRecognizeSimultaneously(other.get(), this));
                if (!together) other->state_ = UIGestureRecognizerState::failed;
            }
            if (cancelsTouchesInView && t->deliveredToView_) {
                t->deliveredToView_ = false;
                if (auto v = t->view()) {
                    UIEvent event;
                    v->touchesCancelled({t}, &event);
                }
            }
        }
    }
    if (state == UIGestureRecognizerState::began || state == UIGestureRecognizerState::changed ||
        state == UIGestureRecognizerState::ended || state == UIGestureRecognizerState::cancelled) {
        auto keep = shared_from_this();
        const auto targets = targets_;
        for (const auto& t : targets)
            if (t.action) t.action(*this);
    }
}

void UIGestureRecognizer::reset() {}

void UIGestureRecognizer::touchesBegan(const std::set<std::shared_ptr<UITouch>>&, const UIEvent*) {}
void UIGestureRecognizer::touchesMoved(const std::set<std::shared_ptr<UITouch>>&, const UIEvent*) {}
void UIGestureRecognizer::touchesEnded(const std::set<std::shared_ptr<UITouch>>&, const UIEvent*) {}
void UIGestureRecognizer::touchesCancelled(const std::set<std::shared_ptr<UITouch>>&, const UIEvent*) {
    if (state_ == UIGestureRecognizerState::began || state_ == UIGestureRecognizerState::changed)
        setState(UIGestureRecognizerState::cancelled);
    else if (state_ == UIGestureRecognizerState::possible)
        state_ = UIGestureRecognizerState::failed;
}

// Tap.
void UITapGestureRecognizer::touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent*) {
    if (!touches.empty()) start_ = (*touches.begin())->location(nullptr);
    if (static_cast<long>(numberOfTouches()) > numberOfTouchesRequired)
        setState(UIGestureRecognizerState::failed);
}

void UITapGestureRecognizer::touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent*) {
    if (state() != UIGestureRecognizerState::possible || touches.empty()) return;
    if (distance((*touches.begin())->location(nullptr), start_) > allowableMovement)
        setState(UIGestureRecognizerState::failed);
}

void UITapGestureRecognizer::touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent*) {
    if (state() != UIGestureRecognizerState::possible || touches.empty()) return;
    const long taps = (*touches.begin())->tapCount();
    if (taps == numberOfTapsRequired)
        setState(UIGestureRecognizerState::ended);
    else if (taps > numberOfTapsRequired)
        setState(UIGestureRecognizerState::failed);
    // fewer taps than required: wait for the next one (the recogniser stays possible)
}

// Long press.
UILongPressGestureRecognizer::~UILongPressGestureRecognizer() {
    cancelTimer();
}

void UILongPressGestureRecognizer::cancelTimer() {
    if (timer_) RunLoop::main().cancelTimer(timer_);
    timer_ = 0;
}

void UILongPressGestureRecognizer::touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches,
                                                const UIEvent*) {
    if (touches.empty()) return;
    start_ = (*touches.begin())->location(nullptr);
    cancelTimer();
    std::weak_ptr<UIGestureRecognizer> weak = shared_from_this();
    timer_ = RunLoop::main().addTimer(Clock::uptime() + minimumPressDuration, [weak] {
        auto self = std::static_pointer_cast<UILongPressGestureRecognizer>(weak.lock());
        if (!self) return;
        self->timer_ = 0;
        if (self->state() == UIGestureRecognizerState::possible && self->numberOfTouches() > 0)
            self->setState(UIGestureRecognizerState::began);
    });
}

void UILongPressGestureRecognizer::touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches,
                                                const UIEvent*) {
    if (touches.empty()) return;
    if (state() == UIGestureRecognizerState::possible) {
        if (distance((*touches.begin())->location(nullptr), start_) > allowableMovement) {
            cancelTimer();
            setState(UIGestureRecognizerState::failed);
        }
    } else if (state() == UIGestureRecognizerState::began || state() == UIGestureRecognizerState::changed) {
        setState(UIGestureRecognizerState::changed);
    }
}

void UILongPressGestureRecognizer::touchesEnded(const std::set<std::shared_ptr<UITouch>>&, const UIEvent*) {
    cancelTimer();
    if (state() == UIGestureRecognizerState::began || state() == UIGestureRecognizerState::changed)
        setState(UIGestureRecognizerState::ended);
    else if (state() == UIGestureRecognizerState::possible)
        setState(UIGestureRecognizerState::failed);
}

void UILongPressGestureRecognizer::touchesCancelled(const std::set<std::shared_ptr<UITouch>>& t,
                                                    const UIEvent* e) {
    cancelTimer();
    UIGestureRecognizer::touchesCancelled(t, e);
}

void UILongPressGestureRecognizer::reset() {
    cancelTimer();
}

// Swipe.
void UISwipeGestureRecognizer::touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches,
                                            const UIEvent*) {
    if (!touches.empty()) start_ = (*touches.begin())->location(nullptr);
}

void UISwipeGestureRecognizer::touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches,
                                            const UIEvent*) {
    if (state() != UIGestureRecognizerState::possible || touches.empty()) return;
    const CGPoint end = (*touches.begin())->location(nullptr);
    const CGFloat dx = end.x - start_.x;
    const CGFloat dy = end.y - start_.y;
    UISwipeGestureRecognizerDirection d = 0;
    if (std::abs(dx) >= minimumDistance && std::abs(dx) > 2 * std::abs(dy))
        d = dx > 0 ? UISwipeGestureRecognizerDirectionRight : UISwipeGestureRecognizerDirectionLeft;
    else if (std::abs(dy) >= minimumDistance && std::abs(dy) > 2 * std::abs(dx))
        d = dy > 0 ? UISwipeGestureRecognizerDirectionDown : UISwipeGestureRecognizerDirectionUp;
    setState((d & direction) ? UIGestureRecognizerState::ended : UIGestureRecognizerState::failed);
}

// Pan.
CGPoint UIPanGestureRecognizer::translation(const UIView*) const {
    return {current_.x - start_.x, current_.y - start_.y};
}

void UIPanGestureRecognizer::setTranslation(CGPoint translation, const UIView*) {
    start_ = {current_.x - translation.x, current_.y - translation.y};
}

CGPoint UIPanGestureRecognizer::velocity(const UIView*) const {
    return velocity_;
}

void UIPanGestureRecognizer::touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent*) {
    if (touches.empty() || state() != UIGestureRecognizerState::possible) return;
    start_ = current_ = (*touches.begin())->location(nullptr);
    velocity_ = {0, 0};
    lastTime_ = (*touches.begin())->timestamp();
}

void UIPanGestureRecognizer::touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent*) {
    if (touches.empty()) return;
    const auto& t = *touches.begin();
    const CGPoint p = t->location(nullptr);
    const double dt = t->timestamp() - lastTime_;
    if (dt > 0) velocity_ = {(p.x - current_.x) / dt, (p.y - current_.y) / dt};
    lastTime_ = t->timestamp();
    current_ = p;
    if (state() == UIGestureRecognizerState::possible) {
        if (distance(current_, start_) >= hysteresis) setState(UIGestureRecognizerState::began);
    } else if (state() == UIGestureRecognizerState::began || state() == UIGestureRecognizerState::changed) {
        setState(UIGestureRecognizerState::changed);
    }
}

void UIPanGestureRecognizer::touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent*) {
    if (!touches.empty()) {
        const auto& t = *touches.begin();
        // A finger that rested before lifting has no speed left.
        if (t->timestamp() - lastTime_ > 0.1) velocity_ = {0, 0};
        current_ = t->location(nullptr);
    }
    if (state() == UIGestureRecognizerState::began || state() == UIGestureRecognizerState::changed)
        setState(UIGestureRecognizerState::ended);
    else if (state() == UIGestureRecognizerState::possible)
        setState(UIGestureRecognizerState::failed);
}

void UIPanGestureRecognizer::touchesCancelled(const std::set<std::shared_ptr<UITouch>>& t, const UIEvent* e) {
    UIGestureRecognizer::touchesCancelled(t, e);
}

void UIPanGestureRecognizer::reset() {
    velocity_ = {0, 0};
}

// --- Delivery -------------------------------------------------------------------------------

struct UITouchDeliveryState {
    std::map<int, std::shared_ptr<UITouch>> down;
    double lastTapTime = -1e9;
    CGPoint lastTapPoint;
    long lastTapCount = 0;

    static void setPhase(UITouch& t, UITouchPhase p, CGPoint point) {
        t.phase_ = p;
        t.previousRootLocation_ = t.rootLocation_;
        t.rootLocation_ = point;
        t.timestamp_ = Clock::uptime();
    }

    static UIEvent eventFor(const std::shared_ptr<UITouch>& t) {
        UIEvent e;
        e.timestamp_ = t->timestamp_;
        e.touches_.insert(t);
        return e;
    }

    static void collectRecognizers(UITouch& t, const std::shared_ptr<UIView>& hit) {
        const bool onControl = dynamic_cast<UIControl*>(hit.get()) != nullptr;
        for (UIView* v = hit.get(); v; v = v->superviewPointer()) {
            for (const auto& g : v->gestureRecognizers()) {
                // Recognisers added while their view was being made learn to hold it weakly now.
                if (!g->viewIsShared_) {
                    g->viewWeak_ = v->weak_from_this();
                    g->viewIsShared_ = !g->viewWeak_.expired();
                }
                if (!g->isEnabled()) continue;
                // A control keeps its own taps: the tap and swipe recognisers of the views around
                // it do not take them.
                if (onControl && v != hit.get() && g->isDiscrete()) continue;
                if (g->delegate && !g->delegate->gestureRecognizerShouldReceiveTouch(g.get(), &t)) continue;
                t.recognizers_.push_back(g);
            }
        }
    }

    static bool live(const UIGestureRecognizer& g) {
        return g.state_ != UIGestureRecognizerState::failed &&
               g.state_ != UIGestureRecognizerState::cancelled &&
               !(g.state_ == UIGestureRecognizerState::ended && g.isDiscrete());
    }

    // Once a touch is over, its recognisers forget it; those left with no touches start afresh.
    static void finish(const std::shared_ptr<UITouch>& t) {
        for (const auto& g : t->recognizers_) {
            g->touches_.erase(t);
            if (g->touches_.empty()) {
                // A tap that waits for more taps stays possible; everything else starts again.
                g->lastRootLocation_ = t->rootLocation_;
                g->reset();
                g->state_ = UIGestureRecognizerState::possible;
            }
        }
    }

    std::shared_ptr<UITouch> send(const std::shared_ptr<UIView>& root, UITouchPhase phase, CGPoint point,
                                  int finger) {
        auto it = down.find(finger);
        if (phase == UITouchPhase::began) {
            if (it != down.end()) send(root, UITouchPhase::ended, it->second->rootLocation_, finger);
            auto t = std::make_shared<UITouch>();
            t->root_ = root;
            t->rootLocation_ = t->previousRootLocation_ = point;
            t->timestamp_ = Clock::uptime();
            t->phase_ = UITouchPhase::began;
            const bool repeat = t->timestamp_ - lastTapTime <= multiTapInterval &&
                                distance(point, lastTapPoint) <= multiTapDistance;
            t->tapCount_ = repeat ? lastTapCount + 1 : 1;
            std::shared_ptr<UIView> hit =
                root && !cw::isIgnoringInteractionEvents() ? root->hitTest(point, nullptr) : nullptr;
            t->view_ = hit;
            down[finger] = t;
            if (!hit) return t;
            collectRecognizers(*t, hit);
            UIEvent e = eventFor(t);
            for (const auto& g : t->recognizers_) {
                if (!live(*g)) continue;
                g->touches_.insert(t);
                g->touchesBegan({t}, &e);
            }
            if (t->deliveredToView_) hit->touchesBegan({t}, &e);
            return t;
        }
        if (it == down.end()) return nullptr;
        auto t = it->second;
        auto hit = t->view();
        setPhase(*t, phase, point);
        UIEvent e = eventFor(t);
        for (const auto& g : t->recognizers_) {
            if (!live(*g) || !g->touches_.count(t)) continue;
            switch (phase) {
            case UITouchPhase::moved:
            case UITouchPhase::stationary:
                g->touchesMoved({t}, &e);
                break;
            case UITouchPhase::ended:
                g->touchesEnded({t}, &e);
                break;
            default:
                g->touchesCancelled({t}, &e);
                break;
            }
        }
        if (hit && t->deliveredToView_) {
            switch (phase) {
            case UITouchPhase::moved:
            case UITouchPhase::stationary:
                hit->touchesMoved({t}, &e);
                break;
            case UITouchPhase::ended:
                hit->touchesEnded({t}, &e);
                break;
            default:
                hit->touchesCancelled({t}, &e);
                break;
            }
        }
        if (phase == UITouchPhase::ended || phase == UITouchPhase::cancelled) {
            down.erase(finger);
            finish(t);
            if (phase == UITouchPhase::ended) {
                lastTapTime = t->timestamp_;
                lastTapPoint = t->rootLocation_;
                lastTapCount = t->tapCount_;
            }
        }
        return t;
    }
};

namespace cw {

namespace {
// Every delivery alive (main thread only), so that the system can cancel what is down in all.
// Never destroyed: deliveries kept in other statics leave it while the process ends.
std::set<TouchDelivery*>& liveDeliveries() {
    static auto* live = new std::set<TouchDelivery*>;
    return *live;
}
} // namespace

TouchDelivery::TouchDelivery(std::shared_ptr<UIView> root)
    : root_(std::move(root)), state_(std::make_unique<UITouchDeliveryState>()) {
    liveDeliveries().insert(this);
}

TouchDelivery::~TouchDelivery() {
    liveDeliveries().erase(this);
}

void cancelAllTouches() {
    // A view that hears the cancellation may make or drop deliveries: go over a copy, and skip
    // those that went meanwhile.
    const std::set<TouchDelivery*> snapshot = liveDeliveries();
    for (TouchDelivery* d : snapshot)
        if (liveDeliveries().count(d)) d->cancelAll();
}

namespace {
int ignoringInteraction = 0;
} // namespace

void beginIgnoringInteractionEvents() {
    ++ignoringInteraction;
}

void endIgnoringInteractionEvents() {
    if (ignoringInteraction > 0) --ignoringInteraction;
}

bool isIgnoringInteractionEvents() {
    return ignoringInteraction > 0;
}

void resetIgnoringInteractionEvents() {
    ignoringInteraction = 0;
}

std::shared_ptr<UITouch> TouchDelivery::send(UITouchPhase phase, CGPoint pointInRoot, int finger) {
    return state_->send(root_.lock(), phase, pointInRoot, finger);
}

void TouchDelivery::cancelAll() {
    std::vector<int> fingers;
    for (const auto& [f, t] : state_->down)
        fingers.push_back(f);
    for (int f : fingers)
        send(UITouchPhase::cancelled, state_->down[f]->location(nullptr), f);
}

void TouchDelivery::tap(CGPoint p) {
    send(UITouchPhase::began, p);
    send(UITouchPhase::ended, p);
}

void TouchDelivery::drag(CGPoint from, CGPoint to, int steps) {
    send(UITouchPhase::began, from);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        const CGFloat f = static_cast<CGFloat>(i) / steps;
        send(UITouchPhase::moved, {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f});
    }
    send(UITouchPhase::ended, to);
}

namespace {
std::map<const UIView*, std::unique_ptr<TouchDelivery>>& deliveries() {
    static std::map<const UIView*, std::unique_ptr<TouchDelivery>> map;
    return map;
}

TouchDelivery& deliveryFor(const std::shared_ptr<UIView>& root) {
    auto& map = deliveries();
    std::erase_if(map, [](const auto& e) { return e.second->root() == nullptr; });
    auto& d = map[root.get()];
    if (!d || d->root() != root) d = std::make_unique<TouchDelivery>(root);
    return *d;
}
} // namespace

std::shared_ptr<UITouch> sendTouch(const std::shared_ptr<UIView>& root, CGPoint p, UITouchPhase phase,
                                   int finger) {
    if (!root) return nullptr;
    return deliveryFor(root).send(phase, p, finger);
}

void tap(const std::shared_ptr<UIView>& root, CGPoint p) {
    if (!root) return;
    deliveryFor(root).tap(p);
}

} // namespace cw
