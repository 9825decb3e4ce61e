#pragma once

// Touches and their delivery. A finger's touch is hit-tested once, when it begins, in the root view
// it lands on (a window); from then on every phase goes to that view, through the gesture
// recognisers attached to it and its ancestors first. A recogniser that recognises (and cancels
// touches in its view) turns the rest of the touch into a cancellation for the view.
//
// Whoever owns the root (a window, a headless driver, a test) feeds finger events to a
// cw::TouchDelivery; `cw::sendTouch` does the same through one delivery per root.

#include "uikit/graphics/Geometry.h"
#include "uikit/view/UIView.h"

#include <cstdint>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

struct UITouchDeliveryState;

enum class UITouchPhase { began = 0, moved = 1, stationary = 2, ended = 3, cancelled = 4 };

class UITouch : public std::enable_shared_from_this<UITouch> {
public:
    UITouchPhase phase() const { return phase_; }
    // 1 for a single tap; 2 and more for quick taps at one spot.
    long tapCount() const { return tapCount_; }
    // The run loop clock's uptime of the last change.
    double timestamp() const { return timestamp_; }
    // The view the touch began on, and the root it was delivered in.
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIView> window() const { return root_.lock(); }
    // Where the touch is, and where it was before the last move, in `view`'s coordinates (the
    // root's for none).
    CGPoint location(const UIView* inView) const;
    CGPoint location(const std::shared_ptr<UIView>& inView) const { return location(inView.get()); }
    CGPoint previousLocation(const UIView* inView) const;
    CGPoint previousLocation(const std::shared_ptr<UIView>& inView) const {
        return previousLocation(inView.get());
    }
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return recognizers_;
    }

private:
    friend class UIEvent;
    friend class UIGestureRecognizer;
    friend struct UITouchDeliveryState;
    UITouchPhase phase_ = UITouchPhase::began;
    long tapCount_ = 1;
    double timestamp_ = 0;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UIView> root_;
    CGPoint rootLocation_;
    CGPoint previousRootLocation_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    bool deliveredToView_ = true;
};

enum class UIEventType { touches = 0, motion = 1, remoteControl = 2, presses = 3 };

class UIEvent {
public:
    UIEventType type() const { return UIEventType::touches; }
    double timestamp() const { return timestamp_; }
    const std::set<std::shared_ptr<UITouch>>& allTouches() const { return touches_; }
    // The touches that began on `view`.
    std::set<std::shared_ptr<UITouch>> touches(const UIView* view) const;

private:
    friend struct UITouchDeliveryState;
    double timestamp_ = 0;
    std::set<std::shared_ptr<UITouch>> touches_;
};

// --- Gesture recognisers ---------------------------------------------------------------------

enum class UIGestureRecognizerState { possible = 0, began, changed, ended, cancelled, failed };
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateRecognized =
    UIGestureRecognizerState::ended;

class UIGestureRecognizer;

// Asked before a recogniser starts and whether two may recognise at once.
class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer*) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer*, UITouch*) { return true; }
    virtual bool shouldRecognizeSimultaneously(UIGestureRecognizer*, UIGestureRecognizer*) { return false; }
};

class UIGestureRecognizer : public std::enable_shared_from_this<UIGestureRecognizer> {
public:
    using Action = std::function<void(UIGestureRecognizer&)>;
    UIGestureRecognizer() = default;
    explicit UIGestureRecognizer(Action action) { addTarget(std::move(action)); }
    virtual ~UIGestureRecognizer() = default;

    // Targets: called on every state change past `possible` (once, at `ended`, for discrete
    // gestures). A target object with a member action: `addTarget(this, &T::handle)`.
    void addTarget(Action action) { targets_.push_back({nullptr, std::move(action)}); }
    template <class T, class R> void addTarget(T* target, R (T::*action)()) {
        targets_.push_back({target, [target, action](UIGestureRecognizer&) { (target->*action)(); }});
    }
    template <class T, class R, class G> void addTarget(T* target, R (T::*action)(G*)) {
        targets_.push_back({target, [target, action](UIGestureRecognizer& g) {
                                if (auto* typed = dynamic_cast<G*>(&g)) (target->*action)(typed);
                            }});
    }
    void removeTarget(const void* target);

    UIGestureRecognizerState state() const { return state_; }
    // The view it is attached to (none once that view is gone).
    UIView* view() const { return viewIsShared_ ? viewWeak_.lock().get() : view_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView = true;
    UIGestureRecognizerDelegate* delegate = nullptr;

    // Where the gesture is (the centroid of its touches), in `view`'s coordinates.
    CGPoint location(const UIView* inView) const;
    CGPoint location(const std::shared_ptr<UIView>& inView) const { return location(inView.get()); }
    std::size_t numberOfTouches() const { return touches_.size(); }

    // Subclass hooks, like a view's.
    virtual void touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event);
    virtual void touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event);
    virtual void touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event);
    virtual void touchesCancelled(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event);
    virtual void reset();
    // Whether the recogniser is a discrete one (tap, swipe) that fires once.
    virtual bool isDiscrete() const { return false; }

protected:
    // Moves the state and tells the targets.
    void setState(UIGestureRecognizerState state);

private:
    friend class UIView;
    friend struct UITouchDeliveryState;
    struct Target {
        const void* target;
        Action action;
    };
    std::vector<Target> targets_;
    UIGestureRecognizerState state_ = UIGestureRecognizerState::possible;
    UIView* view_ = nullptr;
    std::weak_ptr<UIView> viewWeak_;
    bool viewIsShared_ = false;
    bool enabled_ = true;
    std::set<std::shared_ptr<UITouch>> touches_;
    CGPoint lastRootLocation_;
};

class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    long numberOfTapsRequired = 1;
    long numberOfTouchesRequired = 1;
    bool isDiscrete() const override { return true; }
    void touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    // How far a finger may wander and still tap.
    static constexpr CGFloat allowableMovement = 10;

private:
    CGPoint start_;
};

// Recognised when a finger stays down (within `allowableMovement`) for `minimumPressDuration`
// seconds of the run loop's clock; then follows the finger (changed) until it lifts (ended).
class UILongPressGestureRecognizer : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    ~UILongPressGestureRecognizer() override;
    double minimumPressDuration = 0.5;
    CGFloat allowableMovement = 10;
    void touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesCancelled(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void reset() override;

private:
    void cancelTimer();
    std::uint64_t timer_ = 0;
    CGPoint start_;
};

using UISwipeGestureRecognizerDirection = unsigned;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionRight = 1u << 0;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionLeft = 1u << 1;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionUp = 1u << 2;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionDown = 1u << 3;

// Recognised when a finger moves far enough, mostly in one of the allowed directions, and lifts.
class UISwipeGestureRecognizer : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    UISwipeGestureRecognizerDirection direction = UISwipeGestureRecognizerDirectionRight;
    long numberOfTouchesRequired = 1;
    bool isDiscrete() const override { return true; }
    void touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    static constexpr CGFloat minimumDistance = 50;

private:
    CGPoint start_;
};

// Begins once a finger has moved 10 points; reports the translation from the start and the
// velocity (points per second on the run loop's clock) until the finger lifts.
class UIPanGestureRecognizer : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    long minimumNumberOfTouches = 1;
    long maximumNumberOfTouches = 1000;
    CGPoint translation(const UIView* inView) const;
    void setTranslation(CGPoint translation, const UIView* inView);
    CGPoint velocity(const UIView* inView) const;
    void touchesBegan(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesMoved(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesEnded(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void touchesCancelled(const std::set<std::shared_ptr<UITouch>>& touches, const UIEvent* event) override;
    void reset() override;
    static constexpr CGFloat hysteresis = 10;

private:
    CGPoint start_;    // root coordinates
    CGPoint current_;  // root coordinates
    CGPoint velocity_; // root coordinates, per second
    double lastTime_ = 0;
};

namespace cw {

// Turns finger events in a root view's coordinates into touches for the views under it.
class TouchDelivery {
public:
    explicit TouchDelivery(std::shared_ptr<UIView> root);
    ~TouchDelivery();
    TouchDelivery(const TouchDelivery&) = delete;
    TouchDelivery& operator=(const TouchDelivery&) = delete;

    // One finger (`finger` tells fingers apart). A finger that is already down and begins again
    // ends first; moves and ends of a finger that is not down are ignored. Returns the touch.
    std::shared_ptr<UITouch> send(UITouchPhase phase, CGPoint pointInRoot, int finger = 0);
    // Cancels every touch that is down (the system took the screen over).
    void cancelAll();
    // A tap: down and up at one point.
    void tap(CGPoint pointInRoot);
    // A finger that goes down at `from`, moves in `steps` even steps to `to` and lifts; between
    // events the clock is not moved (callers with a manual clock move it for speed).
    void drag(CGPoint from, CGPoint to, int steps = 10);

    std::shared_ptr<UIView> root() const { return root_.lock(); }

private:
    std::weak_ptr<UIView> root_;
    std::unique_ptr<UITouchDeliveryState> state_;
};

// Cancels the touches that are down in every delivery (the application stops being active: a
// call or a system sheet takes the screen over); the views they began on hear touchesCancelled.
void cancelAllTouches();

// While the screens change (an animated presentation, dismissal, push or pop) a finger that comes
// down touches nothing, as the platform ignores interaction during a transition: the second click
// of a quick double click must not land on a screen that is leaving, nor on the one it uncovers.
// Fingers already down go on as they were. Counted: every begin has its end. Main thread.
void beginIgnoringInteractionEvents();
void endIgnoringInteractionEvents();
bool isIgnoringInteractionEvents();
// Forgets every begin (a host that ends drops the transitions it had under way).
void resetIgnoringInteractionEvents();

// The same through one delivery per root view (made on first use, dropped with the root).
std::shared_ptr<UITouch> sendTouch(const std::shared_ptr<UIView>& root, CGPoint pointInRoot,
                                   UITouchPhase phase, int finger = 0);
void tap(const std::shared_ptr<UIView>& root, CGPoint pointInRoot);

} // namespace cw
