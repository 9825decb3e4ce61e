#include "uikit/controls/UIControl.h"

#include <algorithm>

UIControl::UIControl() = default;

UIControl::UIControl(const CGRect& frame) : UIView(frame) {}

UIControl::~UIControl() = default;

void UIControl::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) {
        tracking_ = false;
        if (highlighted_) setHighlighted(false);
    }
    stateDidChange();
    setNeedsDisplay();
}

void UIControl::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
    setNeedsDisplay();
}

void UIControl::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
    setNeedsDisplay();
}

UIControlState UIControl::state() const {
    UIControlState s = UIControlStateNormal;
    if (isHighlighted()) s |= UIControlStateHighlighted;
    if (!isEnabled()) s |= UIControlStateDisabled;
    if (isSelected()) s |= UIControlStateSelected;
    return s;
}

// --- Targets -----------------------------------------------------------------------------------

void UIControl::addEntry(const void* target, cw::EarlyWeakPtr<UIResponder> responder, Key action,
                         std::function<void(UIControl*, const UIEvent*)> call, UIControlEvents events) {
    if (events == 0) return;
    // Entries of responders that have gone are dropped first: a new object at the same address
    // must not inherit them.
    std::erase_if(entries_, [](const Entry& e) { return !e.responder.empty() && e.responder.expired(); });
    for (auto& e : entries_) {
        if (!e.block && e.target == target && e.action == action) {
            e.events |= events;
            return;
        }
    }
    Entry e;
    e.target = target;
    e.responder = std::move(responder);
    e.action = action;
    e.call = std::move(call);
    e.events = events;
    entries_.push_back(std::move(e));
}

void UIControl::markWeak(const void* target, std::weak_ptr<void> weak) {
    for (auto& e : entries_)
        if (!e.block && e.target == target) {
            e.weakTarget = weak;
            e.weak = true;
        }
}

void UIControl::addAction(std::function<void(UIControl*)> action, UIControlEvents events) {
    if (!action || events == 0) return;
    Entry e;
    e.target = nullptr;
    e.action = {};
    e.call = [action = std::move(action)](UIControl* c, const UIEvent*) { action(c); };
    e.events = events;
    e.block = true;
    entries_.push_back(std::move(e));
}

void UIControl::removeEntries(const void* target, Key action, bool matchAction, UIControlEvents events) {
    for (auto& e : entries_) {
        if (target && e.target != target) continue;
        if (matchAction && e.action != action) continue;
        e.events &= ~events;
    }
    std::erase_if(entries_, [](const Entry& e) { return e.events == 0; });
}

std::vector<const void*> UIControl::allTargets() const {
    std::vector<const void*> out;
    for (const auto& e : entries_) {
        if (!e.responder.empty() && e.responder.expired()) continue;
        if (e.target && std::find(out.begin(), out.end(), e.target) == out.end()) out.push_back(e.target);
    }
    return out;
}

UIControlEvents UIControl::allControlEvents() const {
    UIControlEvents all = 0;
    for (const auto& e : entries_)
        all |= e.events;
    return all;
}

void UIControl::sendActions(UIControlEvents events, const UIEvent* event) {
    // Actions may add or remove targets (or release the control): work on a copy.
    auto keep = weak_from_this().lock();
    const std::vector<Entry> entries = entries_;
    for (const auto& e : entries) {
        if ((e.events & events) == 0) continue;
        if (e.weak) {
            auto target = e.weakTarget.lock();
            if (!target) continue;
            e.call(this, event);
        } else if (!e.responder.empty()) {
            // Held for the call, in case the action lets go of the target.
            auto target = e.responder.lockOrBorrow();
            if (!target) continue;
            e.call(this, event);
        } else {
            e.call(this, event);
        }
    }
}

// --- Tracking ----------------------------------------------------------------------------------

bool UIControl::beginTracking(UITouch*, const UIEvent*) {
    return true;
}

bool UIControl::continueTracking(UITouch*, const UIEvent*) {
    return true;
}

void UIControl::endTracking(UITouch*, const UIEvent*) {}

void UIControl::cancelTracking(const UIEvent*) {}

bool UIControl::isWithinTouchSlop(const UIView& view, CGPoint p, CGFloat slop) {
    const CGRect b = view.bounds();
    return p.x >= b.origin.x - slop && p.x <= b.origin.x + b.size.width + slop && p.y >= b.origin.y - slop &&
           p.y <= b.origin.y + b.size.height + slop;
}

bool UIControl::touchIsInside(const UITouch& touch) const {
    return isWithinTouchSlop(*this, touch.location(this));
}

void UIControl::touchesBegan(const TouchSet& touches, const UIEvent* event) {
    // A disabled control lets its touches go on up the responder chain (a disabled button in a
    // table row: the tap selects the row).
    if (!isEnabled()) return UIView::touchesBegan(touches, event);
    if (touches.empty()) return;
    UITouch* touch = touches.begin()->get();
    auto keep = weak_from_this().lock();
    touchInside_ = true;
    tracking_ = beginTracking(touch, event);
    setHighlighted(true);
    sendActions(touch->tapCount() > 1 ? (UIControlEventTouchDown | UIControlEventTouchDownRepeat)
                                      : UIControlEventTouchDown,
                event);
}

void UIControl::touchesMoved(const TouchSet& touches, const UIEvent* event) {
    // A disabled control lets its touches go on up the responder chain (a disabled button in a
    // table row: the tap selects the row).
    if (!isEnabled()) return UIView::touchesMoved(touches, event);
    if (touches.empty()) return;
    UITouch* touch = touches.begin()->get();
    auto keep = weak_from_this().lock();
    const bool wasInside = touchInside_;
    touchInside_ = touchIsInside(*touch);
    setHighlighted(touchInside_);
    if (tracking_) tracking_ = continueTracking(touch, event);
    UIControlEvents ev = touchInside_ ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (wasInside != touchInside_)
        ev |= touchInside_ ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    sendActions(ev, event);
}

void UIControl::touchesEnded(const TouchSet& touches, const UIEvent* event) {
    // A disabled control lets its touches go on up the responder chain (a disabled button in a
    // table row: the tap selects the row).
    if (!isEnabled()) return UIView::touchesEnded(touches, event);
    if (touches.empty()) return;
    UITouch* touch = touches.begin()->get();
    auto keep = weak_from_this().lock();
    touchInside_ = touchIsInside(*touch);
    setHighlighted(false);
    if (tracking_) endTracking(touch, event);
    tracking_ = false;
    if (touchInside_)
        sendActions(UIControlEventTouchUpInside | UIControlEventPrimaryActionTriggered, event);
    else
        sendActions(UIControlEventTouchUpOutside, event);
    touchInside_ = false;
}

void UIControl::touchesCancelled(const TouchSet& touches, const UIEvent* event) {
    if (!isEnabled() && !tracking_) return UIView::touchesCancelled(touches, event);
    auto keep = weak_from_this().lock();
    setHighlighted(false);
    if (tracking_) cancelTracking(event);
    tracking_ = false;
    touchInside_ = false;
    sendActions(UIControlEventTouchCancel, event);
}
