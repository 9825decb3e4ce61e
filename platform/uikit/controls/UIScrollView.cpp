#include "uikit/controls/UIScrollView.h"

#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextView.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double frameInterval = 1.0 / 60.0;
// Finger speeds (points per second) above which a paging scroll view turns the page.
constexpr CGFloat pageFlickSpeed = 300;

CGFloat easeOut(CGFloat t) {
    return 1 - (1 - t) * (1 - t) * (1 - t);
}

// A coast ends once less than this much of its way is left (points).
constexpr CGFloat coastRestDistance = 0.5;

// The rate as a coast's speed falls by it every millisecond, kept off the ends that would never move
// or never stop.
CGFloat coastRate(CGFloat decelerationRate) {
    return std::clamp<CGFloat>(decelerationRate, 0.5, 0.9999);
}

// How long (seconds) a coast of `distance` points takes at `rate`: the speed falls by the rate each
// millisecond, so the way left shrinks by it too, until less than half a point is left.
double coastDuration(CGFloat distance, CGFloat rate) {
    if (distance <= coastRestDistance) return 0;
    return std::log(coastRestDistance / distance) / std::log(coastRate(rate)) / 1000;
}
} // namespace

// A drag starts only along a direction the scroll view can move in; otherwise it is left to the
// views around it (a table inside a sideways-paging scroll view pages on a sideways drag).
struct UIScrollView::PanGate : UIGestureRecognizerDelegate {
    UIScrollView* owner;
    explicit PanGate(UIScrollView* o) : owner(o) {}
    bool gestureRecognizerShouldBegin(UIGestureRecognizer* g) override {
        if (!owner->isScrollEnabled()) return false;
        const CGPoint t = static_cast<UIPanGestureRecognizer*>(g)->translation(owner);
        return owner->canScroll(std::abs(t.x) > std::abs(t.y));
    }
};

UIScrollView::UIScrollView() {
    build();
}

UIScrollView::UIScrollView(const CGRect& frame) : UIView(frame) {
    build();
}

UIScrollView::~UIScrollView() {
    if (motionTimer_) RunLoop::main().cancelTimer(motionTimer_);
    // A touch still down keeps the recogniser alive: it must not call back into this view.
    pan_->removeTarget(nullptr);
    pan_->delegate = nullptr;
    removeGestureRecognizer(pan_);
}

void UIScrollView::build() {
    setClipsToBounds(true);
    pan_ = std::make_shared<UIPanGestureRecognizer>();
    pan_->addTarget([this](UIGestureRecognizer& g) { handlePan(g); });
    pan_->maximumNumberOfTouches = 1;
    panGate_ = std::make_unique<PanGate>(this);
    pan_->delegate = panGate_.get();
    addGestureRecognizer(pan_);
}

void UIScrollView::setContentSize(CGSize size) {
    if (size == contentSize_) return;
    contentSize_ = size;
    setNeedsLayout();
}

void UIScrollView::applyOffset(CGPoint offset) {
    const CGRect b = bounds();
    if (b.origin == offset) return;
    setBounds(CGRect(offset, b.size));
    contentOffsetDidChange();
    if (auto d = delegate_.get()) d->scrollViewDidScroll(this);
}

void UIScrollView::contentOffsetDidChange() {}

void UIScrollView::setContentOffset(CGPoint offset) {
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y)) return;
    if (motionTimer_) {
        RunLoop::main().cancelTimer(motionTimer_);
        motionTimer_ = 0;
        decelerating_ = animatingScroll_ = false;
    }
    applyOffset(offset);
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y)) return;
    startMotion(offset, false);
}

void UIScrollView::scrollRectToVisible(const CGRect& rect, bool animated) {
    const CGRect b = bounds();
    CGPoint o = b.origin;
    if (rect.maxX() > b.maxX()) o.x = rect.maxX() - b.size.width;
    if (rect.minX() < o.x) o.x = rect.minX();
    if (rect.maxY() > b.maxY()) o.y = rect.maxY() - b.size.height;
    if (rect.minY() < o.y) o.y = rect.minY();
    o = clamped(o);
    if (o == b.origin) return;
    setContentOffset(o, animated);
}

void UIScrollView::setContentInset(const UIEdgeInsets& insets) {
    if (insets == contentInset_) return;
    contentInset_ = insets;
    adjustedContentInsetDidChange();
    setNeedsLayout();
}

UIEdgeInsets UIScrollView::adjustedContentInset() const {
    UIEdgeInsets in = contentInset_;
    if (adjustment_ == UIScrollViewContentInsetAdjustmentBehavior::never) return in;
    const UIEdgeInsets safe = safeAreaInsets();
    const CGSize size = bounds().size;
    const bool all = adjustment_ == UIScrollViewContentInsetAdjustmentBehavior::always;
    const bool vertical = all || alwaysBounceVertical || contentSize_.height > size.height;
    const bool horizontal = all || alwaysBounceHorizontal || contentSize_.width > size.width;
    if (vertical) {
        in.top += safe.top;
        in.bottom += safe.bottom;
    }
    if (horizontal) {
        in.left += safe.left;
        in.right += safe.right;
    }
    return in;
}

void UIScrollView::setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior behavior) {
    if (adjustment_ == behavior) return;
    adjustment_ = behavior;
    adjustedContentInsetDidChange();
    setNeedsLayout();
}

void UIScrollView::safeAreaInsetsDidChange() {
    adjustedContentInsetDidChange();
    setNeedsLayout();
}

CGPoint UIScrollView::minimumContentOffset() const {
    const UIEdgeInsets in = adjustedContentInset();
    return {-in.left, -in.top};
}

CGPoint UIScrollView::maximumContentOffset() const {
    const UIEdgeInsets in = adjustedContentInset();
    const CGSize size = bounds().size;
    const CGPoint lo = minimumContentOffset();
    return {std::max(lo.x, contentSize_.width + in.right - size.width),
            std::max(lo.y, contentSize_.height + in.bottom - size.height)};
}

CGPoint UIScrollView::clamped(CGPoint o) const {
    const CGPoint lo = minimumContentOffset();
    const CGPoint hi = maximumContentOffset();
    return {std::clamp(o.x, lo.x, hi.x), std::clamp(o.y, lo.y, hi.y)};
}

void UIScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

// --- Dragging ---------------------------------------------------------------------------------

void UIScrollView::handlePan(UIGestureRecognizer& g) {
    auto& pan = static_cast<UIPanGestureRecognizer&>(g);
    switch (g.state()) {
    case UIGestureRecognizerState::began:
        beginDrag();
        dragTo(pan.translation(this));
        break;
    case UIGestureRecognizerState::changed:
        dragTo(pan.translation(this));
        break;
    case UIGestureRecognizerState::ended:
        endDrag(pan.velocity(this));
        dismissKeyboardIfDraggedInto(pan.location(nullptr));
        break;
    case UIGestureRecognizerState::cancelled:
        endDrag({0, 0});
        break;
    default:
        break;
    }
}

void UIScrollView::beginDrag() {
    if (motionTimer_) {
        // A finger on a moving scroll view stops it where it is.
        RunLoop::main().cancelTimer(motionTimer_);
        motionTimer_ = 0;
        decelerating_ = animatingScroll_ = false;
    }
    tracking_ = dragging_ = true;
    dragStartOffset_ = contentOffset();
    if (keyboardDismissMode == UIScrollViewKeyboardDismissMode::onDrag) endEditing(true);
    if (auto d = delegate_.get()) d->scrollViewWillBeginDragging(this);
}

void UIScrollView::dismissKeyboardIfDraggedInto(CGPoint fingerInWindow) {
    // Interactive dismissal: a finger that drags the content down onto the keys takes the keyboard
    // with it, and the editing ends (the whole of the content can be scrolled into view then).
    if (keyboardDismissMode != UIScrollViewKeyboardDismissMode::interactive) return;
    auto& keyboard = cw::Keyboard::shared();
    if (!keyboard.areKeysShown() || fingerInWindow.y < keyboard.frame().minY()) return;
    UIView* top = this;
    while (top->superviewPointer())
        top = top->superviewPointer();
    top->endEditing(true);
}

bool UIScrollView::canScroll(bool horizontal) const {
    const CGSize size = bounds().size;
    const UIEdgeInsets in = adjustedContentInset();
    if (horizontal) return alwaysBounceHorizontal || contentSize_.width + in.left + in.right > size.width;
    return alwaysBounceVertical || contentSize_.height + in.top + in.bottom > size.height;
}

void UIScrollView::dragTo(CGPoint translation) {
    if (!dragging_) return;
    const bool horizontal = canScroll(true);
    const bool vertical = canScroll(false);
    CGPoint o = contentOffset();
    if (horizontal) o.x = dragStartOffset_.x - translation.x;
    if (vertical) o.y = dragStartOffset_.y - translation.y;
    if (!bounces) o = clamped(o);
    applyOffset(o);
}

CGPoint UIScrollView::targetFor(CGPoint velocity) const {
    const CGPoint now = contentOffset();
    if (isPagingEnabled) {
        const CGSize page = bounds().size;
        const CGPoint lo = minimumContentOffset();
        const CGPoint hi = maximumContentOffset();
        auto axis = [](CGFloat offset, CGFloat start, CGFloat v, CGFloat pageLength, CGFloat low,
                       CGFloat high) {
            if (pageLength <= 0) return offset;
            const CGFloat startPage = std::round(start / pageLength);
            CGFloat target;
            if (v < -pageFlickSpeed)
                target = startPage + 1; // finger moved towards the start: content goes forward
            else if (v > pageFlickSpeed)
                target = startPage - 1;
            else
                target = std::round(offset / pageLength);
            target = std::clamp(target, startPage - 1, startPage + 1);
            return std::clamp(target * pageLength, low, std::max(low, high));
        };
        return {axis(now.x, dragStartOffset_.x, velocity.x, page.width, lo.x, hi.x),
                axis(now.y, dragStartOffset_.y, velocity.y, page.height, lo.y, hi.y)};
    }
    // Coasting: the distance a flick carries at the deceleration rate, within the content.
    const CGFloat carry = decelerationRate / (1 - decelerationRate) / 1000;
    return clamped({now.x - velocity.x * carry, now.y - velocity.y * carry});
}

void UIScrollView::endDrag(CGPoint velocity) {
    if (!dragging_) return;
    CGPoint target = targetFor(velocity);
    // The delegate hears the scroll's own velocity, in points per millisecond.
    if (auto d = delegate_.get())
        d->scrollViewWillEndDragging(this, {-velocity.x / 1000, -velocity.y / 1000}, &target);
    target = clamped(target);
    tracking_ = dragging_ = false;
    const CGPoint now = contentOffset();
    const bool decelerate = std::abs(target.x - now.x) > 0.5 || std::abs(target.y - now.y) > 0.5;
    if (auto d = delegate_.get()) d->scrollViewDidEndDragging(this, decelerate);
    if (!decelerate) {
        if (!(target == now)) applyOffset(target);
        return;
    }
    if (auto d = delegate_.get()) d->scrollViewWillBeginDecelerating(this);
    startMotion(target, true);
}

void UIScrollView::simulateDrag(CGPoint translation, CGPoint velocity) {
    beginDrag();
    // In steps, as a finger reports its moves.
    constexpr int steps = 4;
    for (int i = 1; i <= steps; ++i)
        dragTo({translation.x * i / steps, translation.y * i / steps});
    endDrag(velocity);
}

// --- Motion -----------------------------------------------------------------------------------

void UIScrollView::startMotion(CGPoint target, bool deceleration) {
    if (motionTimer_) RunLoop::main().cancelTimer(motionTimer_);
    motionTimer_ = 0;
    motionFrom_ = contentOffset();
    motionTo_ = target;
    motionStart_ = Clock::uptime();
    // A flick glides on at the deceleration rate; a page turn, or content pulled past its edge
    // going back, settles in a fixed time.
    coasting_ = deceleration && !isPagingEnabled && clamped(motionFrom_) == motionFrom_;
    motionDuration_ = !deceleration ? scrollAnimationDuration
                      : coasting_   ? coastDuration(std::hypot(target.x - motionFrom_.x, target.y - motionFrom_.y),
                                                    decelerationRate)
                                    : decelerationDuration;
    decelerating_ = deceleration;
    animatingScroll_ = !deceleration;
    std::weak_ptr<bool> alive = alive_;
    motionTimer_ = RunLoop::main().addTimer(motionStart_ + frameInterval, [this, alive] {
        if (!alive.lock()) return;
        motionTimer_ = 0;
        stepMotion();
    });
}

void UIScrollView::stepMotion() {
    const double t = motionDuration_ > 0 ? (Clock::uptime() - motionStart_) / motionDuration_ : 1;
    if (t >= 1) {
        endMotion();
        return;
    }
    CGFloat f = easeOut(static_cast<CGFloat>(t));
    if (coasting_) {
        // The way gone so far, at a speed that falls by the rate every millisecond.
        const double rate = coastRate(decelerationRate);
        const double elapsed = (Clock::uptime() - motionStart_) * 1000, total = motionDuration_ * 1000;
        f = static_cast<CGFloat>((1 - std::pow(rate, elapsed)) / (1 - std::pow(rate, total)));
    }
    applyOffset({motionFrom_.x + (motionTo_.x - motionFrom_.x) * f,
                 motionFrom_.y + (motionTo_.y - motionFrom_.y) * f});
    std::weak_ptr<bool> alive = alive_;
    motionTimer_ = RunLoop::main().addTimer(Clock::uptime() + frameInterval, [this, alive] {
        if (!alive.lock()) return;
        motionTimer_ = 0;
        stepMotion();
    });
}

void UIScrollView::endMotion() {
    if (motionTimer_) RunLoop::main().cancelTimer(motionTimer_);
    motionTimer_ = 0;
    applyOffset(motionTo_);
    const bool wasDecelerating = decelerating_;
    const bool wasAnimating = animatingScroll_;
    decelerating_ = animatingScroll_ = false;
    if (auto d = delegate_.get()) {
        if (wasDecelerating) d->scrollViewDidEndDecelerating(this);
        if (wasAnimating) d->scrollViewDidEndScrollingAnimation(this);
    }
    keepOffsetWithinContent();
}

void UIScrollView::finishScrolling() {
    if (decelerating_ || animatingScroll_) endMotion();
}

void UIScrollView::scrollWheel(CGFloat notches) {
    if (!scrollEnabled_) return;
    CGPoint o = contentOffset();
    o.y -= notches * 40;
    setContentOffset(clamped(o));
}

void UIScrollView::keepAboveKeyboard(const UIView& field, const CGRect& keyboardInWindow, CGFloat margin) {
    keepRectAboveKeyboard(field.convert(field.bounds(), this), keyboardInWindow, margin);
}

namespace {

// How much of `view`, as shown in the root of its hierarchy, the keyboard's frame covers from below.
CGFloat coveredByKeyboard(const UIView& view, const CGRect& keyboardInWindow) {
    const UIView* root = &view;
    while (root->superviewPointer())
        root = root->superviewPointer();
    const CGRect shown = view.convert(view.bounds(), root);
    if (keyboardInWindow.size.height <= 0 || keyboardInWindow.maxX() <= shown.minX() ||
        keyboardInWindow.minX() >= shown.maxX())
        return 0;
    return std::clamp<CGFloat>(shown.maxY() - keyboardInWindow.minY(), 0, shown.size.height);
}

} // namespace

void UIScrollView::coverKeyboard(const CGRect& keyboardInWindow) {
    if (!window()) return;
    // The safe area at the bottom (a home indicator's) is inset already, and the keyboard covers it.
    const CGFloat safe = adjustedContentInset().bottom - contentInset_.bottom;
    const CGFloat covered = std::max<CGFloat>(0, coveredByKeyboard(*this, keyboardInWindow) - safe);
    const CGFloat change = covered - keyboardInset_;
    if (change == 0) return;
    keyboardInset_ = covered;
    scrollIndicatorInsets.bottom += change;
    UIEdgeInsets insets = contentInset_;
    insets.bottom += change;
    setContentInset(insets);
}

CGPoint UIScrollView::keepRectAboveKeyboard(const CGRect& rect, const CGRect& keyboardInWindow,
                                            CGFloat margin) {
    const CGFloat covered = coveredByKeyboard(*this, keyboardInWindow);
    coverKeyboard(keyboardInWindow);
    if (keyboardInset_ > 0 && !releasesInsetWithKeyboard_)
        if (auto self = weak_from_this().lock()) {
            releasesInsetWithKeyboard_ = true;
            std::weak_ptr<UIView> weak = self;
            NotificationCenter::defaultCenter().addObserver(
                self, UIKeyboardWillHideNotification, [weak](const Notification&) {
                    if (auto s = std::static_pointer_cast<UIScrollView>(weak.lock())) s->releaseKeyboardInset();
                });
        }

    const CGPoint now = contentOffset();
    const CGFloat top = now.y + adjustedContentInset().top;
    const CGFloat bottom = now.y + bounds().size.height - covered;
    CGPoint target = now;
    if (rect.maxY() + margin > bottom) target.y += rect.maxY() + margin - bottom;
    if (rect.minY() - margin < top + (target.y - now.y)) target.y = rect.minY() - margin - adjustedContentInset().top;
    target = clamped(target);
    if (!(target == now)) setContentOffset(target, true);
    return {target.x - now.x, target.y - now.y};
}

void UIScrollView::releaseKeyboardInset() {
    if (keyboardInset_ == 0) return;
    scrollIndicatorInsets.bottom -= keyboardInset_;
    UIEdgeInsets insets = contentInset_;
    insets.bottom -= keyboardInset_;
    keyboardInset_ = 0;
    setContentInset(insets);
    const CGPoint target = clamped(contentOffset());
    if (!(target == contentOffset())) setContentOffset(target, true);
}

namespace cw {
void followKeyboard(const std::shared_ptr<UIScrollView>& scroll) {
    if (!scroll) return;
    std::weak_ptr<UIScrollView> weak = scroll;
    auto cover = [weak](const Notification& n) {
        auto s = weak.lock();
        auto end = n.value<CGRect>(UIKeyboardFrameEndUserInfoKey);
        // A keyboard going down gives the inset back; the next layout brings an offset that was
        // past the end of what is left back within it.
        if (s && end) s->coverKeyboard(*end);
    };
    auto keep = [weak](const Notification&) {
        auto s = weak.lock();
        auto* field = dynamic_cast<UIView*>(UIResponder::currentFirstResponder());
        // A text view keeps its own caret in sight (it may be taller than what shows).
        if (!s || !field || dynamic_cast<UITextView*>(field)) return;
        for (UIView* v = field; v; v = v->superviewPointer())
            if (v == s.get()) {
                if (cw::Keyboard::shared().isVisible()) s->keepAboveKeyboard(*field, cw::Keyboard::shared().frame());
                return;
            }
    };
    auto& center = NotificationCenter::defaultCenter();
    // Once per scroll view, however often it is asked.
    for (const auto& name : {UIKeyboardWillChangeFrameNotification, UIKeyboardDidShowNotification,
                             UIKeyboardDidChangeFrameNotification})
        center.removeObserver(scroll.get(), name);
    center.addObserver(scroll, UIKeyboardWillChangeFrameNotification, cover);
    center.addObserver(scroll, UIKeyboardDidShowNotification, keep);
    center.addObserver(scroll, UIKeyboardDidChangeFrameNotification, keep);
}

bool scrollWheel(const std::shared_ptr<UIView>& root, CGPoint pointInRoot, CGFloat notches) {
    if (!root) return false;
    auto hit = root->hitTest(pointInRoot, nullptr);
    // Raw superview links: views being made have no shared owner for their subviews' weak links.
    for (UIView* v = hit.get(); v; v = v->superviewPointer())
        if (auto* s = dynamic_cast<UIScrollView*>(v)) {
            auto keep = std::static_pointer_cast<UIScrollView>(s->shared_from_this());
            keep->scrollWheel(notches);
            return true;
        }
    return false;
}
} // namespace cw

void UIScrollView::layoutSubviews() {
    UIView::layoutSubviews();
    // Content laid out by constraints decides the content size.
    if (auto size = contentAreaSizeFromLayout()) {
        if (!(*size == contentSize_)) contentSize_ = *size;
    }
    // Content resting at its top stays at the top as the bars over the scroll view come, go or
    // change height (its adjusted inset follows them), rather than sliding under them.
    const CGFloat top = adjustedContentInset().top;
    if (top != restingTop_) {
        if (!dragging_ && !decelerating_ && contentOffset().y == -restingTop_)
            setContentOffset({contentOffset().x, -top});
        restingTop_ = top;
    }
    keepOffsetWithinContent();
}

void UIScrollView::keepOffsetWithinContent() {
    // Only a range that shrank moves the offset: one set past the end on purpose stays there.
    // Held by a finger or a motion, it is looked at again once let go.
    if (tracking_ || dragging_ || decelerating_ || animatingScroll_) return;
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    const CGPoint seenLow = offsetRangeSeen_[0], seenHigh = offsetRangeSeen_[1];
    offsetRangeSeen_[0] = low;
    offsetRangeSeen_[1] = high;
    if (!(high.x < seenHigh.x || high.y < seenHigh.y || low.x > seenLow.x || low.y > seenLow.y)) return;
    const CGPoint target = clamped(contentOffset());
    if (!(target == contentOffset())) setContentOffset(target);
}
