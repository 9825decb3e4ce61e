#pragma once

// Popovers. A controller presented with the popover style has a popover presentation controller
// (made when first asked for): where the popover points (a bar button item, or a rectangle of a
// source view, the view's bounds when none is set), which ways its arrow may point, and a
// delegate. On this phone a popover covers the whole screen, as sheets do, unless the delegate's
// adaptivePresentationStyle answers `none`: then it stays a popover with an arrow beside its
// source, as large as the presented controller's preferredContentSize (320 × 480 when none is
// set) within the screen's margins and clear of the bars of the screen it points from (below the
// status and title bars, above a tab bar), and a tap anywhere outside it dismisses it, animated.
// Content taller than the popover (or than the room it has) scrolls inside it. The screen beneath
// stays shown (it does not disappear).
//
// The arrow points up (the popover below its source) when that fits, else down, left, right, in
// that order among the permitted directions; when none fits, the side with the most room is taken
// and the popover is made shorter (or narrower) to fit it.

#include "uikit/controllers/UIBarItems.h"
#include "uikit/controls/Delegate.h"

#include <memory>
#include <optional>

class UIViewController;
class UIPresentationController;
enum class UIModalPresentationStyle;

using UIPopoverArrowDirection = unsigned;
inline constexpr UIPopoverArrowDirection UIPopoverArrowDirectionUp = 1u << 0;
inline constexpr UIPopoverArrowDirection UIPopoverArrowDirectionDown = 1u << 1;
inline constexpr UIPopoverArrowDirection UIPopoverArrowDirectionLeft = 1u << 2;
inline constexpr UIPopoverArrowDirection UIPopoverArrowDirectionRight = 1u << 3;
inline constexpr UIPopoverArrowDirection UIPopoverArrowDirectionAny = 15;
inline constexpr UIPopoverArrowDirection UIPopoverArrowDirectionUnknown = ~0u;

class UIAdaptivePresentationControllerDelegate {
public:
    virtual ~UIAdaptivePresentationControllerDelegate() = default;
    // The style to show the presentation in on this screen, in place of the platform's choice
    // (none: not answered). `UIModalPresentationStyle::none` keeps the style asked for.
    virtual std::optional<UIModalPresentationStyle> adaptivePresentationStyle(UIPresentationController&) {
        return std::nullopt;
    }
};

class UIPopoverPresentationControllerDelegate : public UIAdaptivePresentationControllerDelegate {};

class UIPresentationController : public std::enable_shared_from_this<UIPresentationController> {
public:
    explicit UIPresentationController(const std::shared_ptr<UIViewController>& presented);
    virtual ~UIPresentationController() = default;
    UIPresentationController(const UIPresentationController&) = delete;
    UIPresentationController& operator=(const UIPresentationController&) = delete;

    std::shared_ptr<UIViewController> presentedViewController() const { return presented_.lock(); }
    // The controller that presents it, once it is presented.
    std::shared_ptr<UIViewController> presentingViewController() const;

private:
    std::weak_ptr<UIViewController> presented_;
};

class UIPopoverPresentationController : public UIPresentationController {
public:
    explicit UIPopoverPresentationController(const std::shared_ptr<UIViewController>& presented);
    ~UIPopoverPresentationController() override;

    cw::DelegateRef<UIPopoverPresentationControllerDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UIPopoverPresentationControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The anchor: the item's view in a bar, else the source rectangle of the source view.
    std::shared_ptr<UIView> sourceView;
    // In the source view's coordinates; its bounds when none is set.
    std::optional<CGRect> sourceRect;
    UIBarButtonItemPtr barButtonItem;
    UIPopoverArrowDirection permittedArrowDirections = UIPopoverArrowDirectionAny;
    // The colour of the popover behind its content and of its arrow (white when none is set).
    std::optional<UIColor> backgroundColor;

    // Where the arrow points while the popover is shown; unknown before, or when it was shown
    // full screen or without an anchor.
    UIPopoverArrowDirection arrowDirection() const { return arrowDirection_; }
    // The popover's content area in window coordinates while it is shown as a popover.
    std::optional<CGRect> popoverFrame() const;

    // --- For the presentation ---
    // The style the presentation takes on this screen: a popover only when the delegate keeps it.
    UIModalPresentationStyle adaptedStyle();
    // Puts the presented view into a popover over the window; `dismissPresentation` is what a tap
    // outside it does.
    void install(const std::shared_ptr<UIView>& window, const std::shared_ptr<UIView>& presentedView);
    // Takes the popover down (the presented view leaves with it).
    void uninstall();
    // Lays the popover out again (its preferred size changed).
    void setNeedsLayout();

    // Sizes and margins of the popover's chrome.
    static constexpr CGFloat kArrowHeight = 13;
    static constexpr CGFloat kArrowWidth = 26;
    static constexpr CGFloat kCornerRadius = 13;
    static constexpr CGFloat kScreenMargin = 10;
    static constexpr CGSize kDefaultContentSize{320, 480};

    struct Placement {
        CGRect content;
        UIPopoverArrowDirection arrow = UIPopoverArrowDirectionUnknown;
        // Where the arrow's tip touches the source (the arrow's direction is unknown: none).
        CGPoint tip;
    };
    // Where a popover of `wanted` size goes beside `source` within `area` (window coordinates).
    static Placement place(const CGRect& source, CGSize wanted, const CGRect& area,
                           UIPopoverArrowDirection permitted);

private:
    friend class PopoverContainerView;
    // The view the popover points at, when it is in the window.
    UIView* anchorView(UIView& window) const;
    // The anchor in window coordinates; none (with the platform's console message) when there is
    // none in the window.
    std::optional<CGRect> anchorIn(UIView& window) const;

    cw::DelegateRef<UIPopoverPresentationControllerDelegate> delegate_;
    UIPopoverArrowDirection arrowDirection_ = UIPopoverArrowDirectionUnknown;
    std::shared_ptr<UIView> container_;
    bool warnedAboutAnchor_ = false;
};
