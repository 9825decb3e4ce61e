#pragma once

// Controls: views that turn touches into events (touch down, up inside or outside, value changed,
// editing ...) and send them to the targets registered for them. A touch counts as inside while it
// is within 70 points of the control's bounds, as on the platform.

#include "uikit/controls/UIEvent.h"
#include "uikit/view/UIView.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>
#include <typeindex>
#include <vector>

using UIControlState = unsigned;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1u << 0;
inline constexpr UIControlState UIControlStateDisabled = 1u << 1;
inline constexpr UIControlState UIControlStateSelected = 1u << 2;
inline constexpr UIControlState UIControlStateFocused = 1u << 3;

using UIControlEvents = std::uint32_t;
inline constexpr UIControlEvents UIControlEventTouchDown = 1u << 0;
inline constexpr UIControlEvents UIControlEventTouchDownRepeat = 1u << 1;
inline constexpr UIControlEvents UIControlEventTouchDragInside = 1u << 2;
inline constexpr UIControlEvents UIControlEventTouchDragOutside = 1u << 3;
inline constexpr UIControlEvents UIControlEventTouchDragEnter = 1u << 4;
inline constexpr UIControlEvents UIControlEventTouchDragExit = 1u << 5;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1u << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1u << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1u << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1u << 12;
inline constexpr UIControlEvents UIControlEventPrimaryActionTriggered = 1u << 13;
inline constexpr UIControlEvents UIControlEventEditingDidBegin = 1u << 16;
inline constexpr UIControlEvents UIControlEventEditingChanged = 1u << 17;
inline constexpr UIControlEvents UIControlEventEditingDidEnd = 1u << 18;
inline constexpr UIControlEvents UIControlEventEditingDidEndOnExit = 1u << 19;
inline constexpr UIControlEvents UIControlEventAllTouchEvents = 0x00000FFFu;
inline constexpr UIControlEvents UIControlEventAllEditingEvents = 0x000F0000u;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFFu;

enum class UIControlContentVerticalAlignment { center = 0, top = 1, bottom = 2, fill = 3 };
enum class UIControlContentHorizontalAlignment {
    center = 0,
    left = 1,
    right = 2,
    fill = 3,
    leading = 4,
    trailing = 5
};

class UIControl : public UIView {
public:
    UIControl();
    explicit UIControl(const CGRect& frame);
    ~UIControl() override;
    std::string className() const override { return "UIControl"; }

    // --- State ---
    virtual bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    virtual bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    virtual bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    // The combination of the flags above.
    UIControlState state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }
    UIControlContentVerticalAlignment contentVerticalAlignment = UIControlContentVerticalAlignment::center;
    UIControlContentHorizontalAlignment contentHorizontalAlignment =
        UIControlContentHorizontalAlignment::center;

    // --- Targets ---
    // The action is a member function of the target taking nothing, the sender, or the sender and
    // the event. Adding one target-action pair again for more events merges the events (one entry).
    // A target given as a shared object is held weakly and skipped once gone. One given as a plain
    // pointer is usually an object registering itself while it is being made: a responder (a view
    // or a controller) is then held the same way once a shared pointer owns it, and skipped once it
    // has gone; any other object must remove itself (or outlive the control).
    template <class T, class R> void addTarget(T* target, R (T::*action)(), UIControlEvents events) {
        addEntry(
            target, responderOf(target), key(action),
            [target, action](UIControl*, const UIEvent*) { (target->*action)(); }, events);
    }
    template <class T, class R, class S>
    void addTarget(T* target, R (T::*action)(S*), UIControlEvents events) {
        addEntry(
            target, responderOf(target), key(action),
            [target, action](UIControl* c, const UIEvent*) { (target->*action)(dynamic_cast<S*>(c)); },
            events);
    }
    template <class T, class R, class S>
    void addTarget(T* target, R (T::*action)(S*, const UIEvent*), UIControlEvents events) {
        addEntry(
            target, responderOf(target), key(action),
            [target, action](UIControl* c, const UIEvent* e) { (target->*action)(dynamic_cast<S*>(c), e); },
            events);
    }
    template <class T, class A>
    void addTarget(const std::shared_ptr<T>& target, A action, UIControlEvents events) {
        addTarget(target.get(), action, events);
        markWeak(target.get(), target);
    }
    // A block action (identified by nothing: each call adds one).
    void addAction(std::function<void(UIControl*)> action, UIControlEvents events);

    // Removes the pair for the given events (the entry goes once it has no events left).
    template <class T, class A> void removeTarget(const T* target, A action, UIControlEvents events) {
        removeEntries(target, key(action), true, events);
    }
    // Every action of `target` (of every target for none) for the given events.
    void removeTarget(const void* target, UIControlEvents events) {
        removeEntries(target, {}, false, events);
    }
    std::vector<const void*> allTargets() const;
    UIControlEvents allControlEvents() const;
    // Number of target-action entries (for tests).
    std::size_t targetActionCount() const { return entries_.size(); }

    // Sends the actions registered for any of the events, in the order they were added.
    virtual void sendActions(UIControlEvents events, const UIEvent* event = nullptr);

    // --- Tracking hooks ---
    virtual bool beginTracking(UITouch* touch, const UIEvent* event);
    virtual bool continueTracking(UITouch* touch, const UIEvent* event);
    virtual void endTracking(UITouch* touch, const UIEvent* event);
    virtual void cancelTracking(const UIEvent* event);

    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesMoved(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

    // A state flag changed (redraw, restyle).
    virtual void stateDidChange() {}

    static constexpr CGFloat touchSlop = 70;
    // Whether `point`, in `view`'s coordinates, lies within `slop` points of its bounds: where a
    // finger that began on it still counts as on it, and lifting acts.
    static bool isWithinTouchSlop(const UIView& view, CGPoint point, CGFloat slop = touchSlop);

protected:
    bool touchIsInside(const UITouch& touch) const;

private:
    using Key = std::array<unsigned char, 2 * sizeof(void*)>;
    template <class T> static cw::EarlyWeakPtr<UIResponder> responderOf(T* target) {
        if constexpr (std::is_polymorphic_v<T>) {
            return cw::EarlyWeakPtr<UIResponder>(dynamic_cast<UIResponder*>(target));
        } else {
            return {};
        }
    }
    template <class M> static Key key(M m) {
        static_assert(sizeof(M) <= sizeof(Key), "member pointer too large");
        Key k{};
        std::memcpy(k.data(), &m, sizeof(M));
        return k;
    }
    struct Entry {
        const void* target;
        std::weak_ptr<void> weakTarget;
        bool weak = false;
        // A responder given as a plain pointer.
        cw::EarlyWeakPtr<UIResponder> responder;
        Key action;
        std::function<void(UIControl*, const UIEvent*)> call;
        UIControlEvents events;
        bool block = false;
    };
    void addEntry(const void* target, cw::EarlyWeakPtr<UIResponder> responder, Key action,
                  std::function<void(UIControl*, const UIEvent*)> call, UIControlEvents events);
    void removeEntries(const void* target, Key action, bool matchAction, UIControlEvents events);
    void markWeak(const void* target, std::weak_ptr<void> weak);

    std::vector<Entry> entries_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
};
