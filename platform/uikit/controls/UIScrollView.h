#pragma once

// A view that shows a movable window (its bounds origin, the content offset) onto content larger
// than itself. Dragging goes through a pan gesture recogniser; letting go decelerates (or, with
// paging, settles on a whole page) on the run loop's clock, and bounces back from beyond the
// edges. The delegate hears the same sequence whether a finger or `simulateDrag` moved it.
//
// Views inside it that are laid out by constraints see its edges as the content area's: pinning
// them to all four edges decides the content size, as on the platform.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/view/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>

class UIScrollView;

class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView*) {}
    virtual void scrollViewWillBeginDragging(UIScrollView*) {}
    // `targetContentOffset` may be changed to make the scroll settle elsewhere.
    virtual void scrollViewWillEndDragging(UIScrollView*, CGPoint /*velocity*/,
                                           CGPoint* /*targetContentOffset*/) {}
    virtual void scrollViewDidEndDragging(UIScrollView*, bool /*willDecelerate*/) {}
    virtual void scrollViewWillBeginDecelerating(UIScrollView*) {}
    virtual void scrollViewDidEndDecelerating(UIScrollView*) {}
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView*) {}
    virtual bool scrollViewShouldScrollToTop(UIScrollView*) { return true; }
    virtual void scrollViewDidScrollToTop(UIScrollView*) {}
};

enum class UIScrollViewContentInsetAdjustmentBehavior {
    automatic = 0,
    scrollableAxes = 1,
    never = 2,
    always = 3
};
enum class UIScrollViewIndicatorStyle { default_ = 0, black = 1, white = 2 };
enum class UIScrollViewKeyboardDismissMode { none = 0, onDrag = 1, interactive = 2 };

inline constexpr CGFloat UIScrollViewDecelerationRateNormal = 0.998;
inline constexpr CGFloat UIScrollViewDecelerationRateFast = 0.99;

class UIScrollView : public UIView {
public:
    UIScrollView();
    explicit UIScrollView(const CGRect& frame);
    ~UIScrollView() override;
    std::string className() const override { return "UIScrollView"; }

    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    // Animated: moves over 0.3 s of the run loop's clock (did-scroll on the way), then tells the
    // delegate did-end-scrolling-animation. Not animated: at once, with one did-scroll.
    void setContentOffset(CGPoint offset, bool animated);
    void scrollRectToVisible(const CGRect& rect, bool animated);

    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const UIEdgeInsets& insets);
    // The content inset plus the safe area insets, by the adjustment behaviour.
    UIEdgeInsets adjustedContentInset() const;
    UIScrollViewContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const { return adjustment_; }
    void setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior behavior);
    virtual void adjustedContentInsetDidChange() {}
    UIEdgeInsets scrollIndicatorInsets;

    // Range of the offset, from the adjusted insets and the content size.
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;

    cw::DelegateRef<UIScrollViewDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UIScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    bool isPagingEnabled = false;
    bool bounces = true;
    bool alwaysBounceVertical = false;
    bool alwaysBounceHorizontal = false;
    bool showsHorizontalScrollIndicator = true;
    bool showsVerticalScrollIndicator = true;
    bool scrollsToTop = true;
    bool isDirectionalLockEnabled = false;
    bool delaysContentTouches = true;
    bool canCancelContentTouches = true;
    CGFloat decelerationRate = UIScrollViewDecelerationRateNormal;
    UIScrollViewIndicatorStyle indicatorStyle = UIScrollViewIndicatorStyle::default_;
    UIScrollViewKeyboardDismissMode keyboardDismissMode = UIScrollViewKeyboardDismissMode::none;
    void flashScrollIndicators() {}

    bool isTracking() const { return tracking_; }
    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }

    const std::shared_ptr<UIPanGestureRecognizer>& panGestureRecognizer() const { return pan_; }

    // A finger drag by `translation` (content moves with the finger: the offset goes the other
    // way), let go with `velocity` in points per second, with every delegate call a finger makes.
    // The deceleration that follows runs on the run loop's clock.
    void simulateDrag(CGPoint translation, CGPoint velocity = {0, 0});
    // Jumps any running deceleration or scrolling animation to its end now.
    void finishScrolling();
    // Follows the keyboard, whose frame is `keyboardInWindow` (screen coordinates; below the screen
    // while it is down): the bottom content inset and the bottom scroll indicator inset are, above
    // what they are without it, what the keyboard (its docked bar included) covers of the scroll
    // view beyond its safe area, so that the content's end can be scrolled into view above it. A
    // keyboard that covers nothing of it gives that back. A scroll view in no window is left as it is.
    void coverKeyboard(const CGRect& keyboardInWindow);
    // What the keyboard adds to the bottom insets now.
    CGFloat keyboardInset() const { return keyboardInset_; }
    // Keeps `field` (a view inside the scroll view) in view above the keyboard, whose frame is
    // `keyboardInWindow` (the keys, or the wheel that is the field's input, with the bar over it):
    // the insets cover the keyboard (coverKeyboard), and the content scrolls (animated) until the
    // field, with `margin` around it, shows between the bars and the keyboard.
    // `releaseKeyboardInset` gives the inset back (and the offset, where it was past the content's
    // end); it is given back by itself as the keyboard goes down.
    void keepAboveKeyboard(const UIView& field, const CGRect& keyboardInWindow, CGFloat margin = 12);
    // The same for a rectangle of the content (a caret's); returns how far the offset is to move.
    CGPoint keepRectAboveKeyboard(const CGRect& rect, const CGRect& keyboardInWindow, CGFloat margin);
    void releaseKeyboardInset();

    // The mouse wheel turned over the view by `notches` (positive: rolled away from the person,
    // which brings the content above into view). Lists move 40 points a notch, within the content.
    virtual void scrollWheel(CGFloat notches);

    // The run loop clock time a paging scroll view takes to settle on its page. A flick without
    // paging coasts instead as long as its speed takes to fall away at `decelerationRate`.
    static constexpr double decelerationDuration = 0.35;
    static constexpr double scrollAnimationDuration = 0.3;

    bool edgesAreContentArea() const override { return true; }
    void layoutSubviews() override;
    void safeAreaInsetsDidChange() override;

    // Internal steps of a drag, shared by the pan recogniser and simulateDrag.
    void beginDrag();
    void dragTo(CGPoint translation);
    void endDrag(CGPoint velocity);

protected:
    // Every change of the offset passes here (subclasses lay out the new visible part).
    virtual void contentOffsetDidChange();
    // Content that shrank (rows gone, a taller inset given back, the view grown) would leave the
    // offset past its end: once the offset's range has shrunk, the offset is brought back within
    // it, unless a finger or a motion holds it. Each layout pass ends with it.
    void keepOffsetWithinContent();

private:
    struct PanGate;
    void build();
    void handlePan(UIGestureRecognizer& g);
    void dismissKeyboardIfDraggedInto(CGPoint fingerInWindow);
    bool canScroll(bool horizontal) const;
    CGPoint clamped(CGPoint offset) const;
    CGPoint targetFor(CGPoint velocity) const;
    void startMotion(CGPoint target, bool deceleration);
    void stepMotion();
    void endMotion();
    void applyOffset(CGPoint offset);

    CGSize contentSize_;
    UIEdgeInsets contentInset_;
    // What the keyboard adds to the bottom content and indicator insets (coverKeyboard).
    CGFloat keyboardInset_ = 0;
    bool releasesInsetWithKeyboard_ = false;
    UIScrollViewContentInsetAdjustmentBehavior adjustment_ =
        UIScrollViewContentInsetAdjustmentBehavior::automatic;
    cw::DelegateRef<UIScrollViewDelegate> delegate_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    std::unique_ptr<PanGate> panGate_;
    bool scrollEnabled_ = true;
    bool tracking_ = false;
    // The adjusted top inset as of the last layout: an offset at its negative is resting at the top.
    CGFloat restingTop_ = 0;
    // The offset's range (minimum, maximum) when keepOffsetWithinContent last looked.
    CGPoint offsetRangeSeen_[2];
    bool dragging_ = false;
    bool decelerating_ = false;
    bool animatingScroll_ = false;
    // The running deceleration is a flick's coast (not a page turn).
    bool coasting_ = false;
    bool contentSizeFromLayout_ = false;
    CGPoint dragStartOffset_;
    // A running deceleration or scrolling animation.
    CGPoint motionFrom_;
    CGPoint motionTo_;
    double motionStart_ = 0;
    double motionDuration_ = 0;
    std::uint64_t motionTimer_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

using UIScrollViewPtr = std::shared_ptr<UIScrollView>;

namespace cw {
// The mouse wheel turned by `notches` with the pointer at `pointInRoot`: the innermost scroll view
// under the pointer (what a finger there would drag) scrolls. False when there is none.
bool scrollWheel(const std::shared_ptr<UIView>& root, CGPoint pointInRoot, CGFloat notches);
// From now on `scroll` follows the keyboard's frame as it changes (the keyboard's will-change-frame
// notification, with its end frame): its insets cover what the keyboard covers of it
// (coverKeyboard), for as long as it is in a window. Whenever the keyboard shows or changes its
// frame while a view inside `scroll` is first responder, the scroll view also keeps that view
// above the keyboard (keepAboveKeyboard; a text view keeps its own caret in sight instead). For
// every scrolling screen that holds a field, or lies under a bar that rides on the keyboard.
void followKeyboard(const std::shared_ptr<UIScrollView>& scroll);
} // namespace cw
