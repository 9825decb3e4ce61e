#pragma once

// A side-drawer container: a centre controller fills the screen and a left drawer controller lies
// under it; opening the drawer slides the centre to the right by the drawer's width and shows the
// drawer in the space it leaves. The drawer opens and closes by a call (at a fixed speed) or by the
// gestures its two masks allow; a tap on the slid-over centre closes it.
//
// Both controllers are children of the container. The centre gets the container's appearance calls;
// the left drawer gets its own as it opens (will appear when it starts to show, did appear when
// fully open) and as it closes (will disappear, did disappear once it is covered again). While the
// drawer is closed its view is hidden, so nothing of it can be seen or touched; while it is open the
// centre's own view takes no touches (they go to the container, which closes on a tap).
//
// Main thread only, like every controller. Completions run on the main run loop once the movement
// has ended (at once when not animated), with true when it ran to the end.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIEvent.h"

#include <functional>
#include <memory>

enum class MMDrawerSide { none = 0, left = 1, right = 2 };

// Which gestures open the drawer (bits, combined with |).
using MMOpenDrawerGestureMode = unsigned;
inline constexpr MMOpenDrawerGestureMode MMOpenDrawerGestureModeNone = 0;
inline constexpr MMOpenDrawerGestureMode MMOpenDrawerGestureModePanningNavigationBar = 1u << 1;
inline constexpr MMOpenDrawerGestureMode MMOpenDrawerGestureModePanningCenterView = 1u << 2;
inline constexpr MMOpenDrawerGestureMode MMOpenDrawerGestureModeBezelPanningCenterView = 1u << 3;
inline constexpr MMOpenDrawerGestureMode MMOpenDrawerGestureModeCustom = 1u << 4;
inline constexpr MMOpenDrawerGestureMode MMOpenDrawerGestureModeAll = 30;

// Which gestures close it.
using MMCloseDrawerGestureMode = unsigned;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModeNone = 0;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModePanningNavigationBar = 1u << 1;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModePanningCenterView = 1u << 2;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModeBezelPanningCenterView = 1u << 3;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModeTapNavigationBar = 1u << 4;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModeTapCenterView = 1u << 5;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModePanningDrawerView = 1u << 6;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModeCustom = 1u << 7;
inline constexpr MMCloseDrawerGestureMode MMCloseDrawerGestureModeAll = 254;

class MMDrawerController : public UIViewController {
public:
    using Completion = std::function<void(bool finished)>;
    // Asked for a touch when a mask holds its custom bit: whether the gesture may use the touch.
    using GestureShouldRecognizeTouch =
        std::function<bool(MMDrawerController&, UIGestureRecognizer&, UITouch&)>;

    // How far from the centre's left edge a bezel pan has to start.
    static constexpr CGFloat kBezelRange = 20;
    // The speed of the drawer's movement in points per second, and the shortest movement in seconds.
    static constexpr CGFloat kAnimationVelocity = 840;
    static constexpr double kMinimumAnimationDuration = 0.15;
    static constexpr CGFloat kDefaultMaximumDrawerWidth = 280;

    MMDrawerController();
    // The controllers are made children once the container is shared (controllers are shared objects).
    MMDrawerController(UIViewControllerPtr center, UIViewControllerPtr leftDrawer);
    ~MMDrawerController() override;

    const UIViewControllerPtr& centerViewController() const { return center_; }
    // Replaces the centre; the old one leaves (with its appearance calls when shown).
    void setCenterViewController(const UIViewControllerPtr& controller);
    const UIViewControllerPtr& leftDrawerViewController() const { return left_; }
    // Replaces the left drawer; an open drawer closes first (not animated).
    void setLeftDrawerViewController(const UIViewControllerPtr& controller);

    CGFloat maximumLeftDrawerWidth() const { return maximumLeftDrawerWidth_; }
    // An open drawer moves to the new width (animated when asked).
    void setMaximumLeftDrawerWidth(CGFloat width, bool animated, Completion completion = {});

    MMOpenDrawerGestureMode openDrawerGestureModeMask() const { return openMask_; }
    void setOpenDrawerGestureModeMask(MMOpenDrawerGestureMode mask) { openMask_ = mask; }
    MMCloseDrawerGestureMode closeDrawerGestureModeMask() const { return closeMask_; }
    void setCloseDrawerGestureModeMask(MMCloseDrawerGestureMode mask) { closeMask_ = mask; }
    void setGestureShouldRecognizeTouch(GestureShouldRecognizeTouch block) { customGesture_ = std::move(block); }

    // How much of the left drawer shows: the centre's offset. Exactly 0 when closed; between 0 and the
    // maximum while a finger pans; the maximum when open. Movements take their end value at once
    // (what is drawn follows over the movement's time).
    CGFloat visibleLeftDrawerWidth() const;
    // The side that is open (none while closed or half open under a finger).
    MMDrawerSide openSide() const { return openSide_; }

    // Opens the side (only the left one exists here; the right one does nothing and completes with
    // false). An open drawer completes at once.
    void openDrawerSide(MMDrawerSide side, bool animated, Completion completion = {});
    // Closes whatever is open or half open. A closed drawer completes at once.
    void closeDrawerAnimated(bool animated, Completion completion = {});
    void toggleDrawerSide(MMDrawerSide side, bool animated, Completion completion = {});

    void loadView() override;
    void viewDidLoad() override;
    void viewWillLayoutSubviews() override;
    std::vector<UIViewControllerPtr> childrenForAppearanceForwarding() const override;
    UIStatusBarStyle preferredStatusBarStyle() const override;

private:
    struct GestureGate;
    void adoptInitialChildren();
    void install(const UIViewControllerPtr& controller, const std::shared_ptr<UIView>& container);
    void uninstall(const UIViewControllerPtr& controller);
    void setCenterOffset(CGFloat offset);
    void layoutContainers();
    void beginShowingDrawer(bool animated);
    void moveTo(CGFloat offset, bool animated, CGFloat fromOffset, Completion completion);
    void finishedOpening();
    void finishedClosing();
    void handlePan(UIPanGestureRecognizer& pan);
    void handleTap();
    bool touchInCenter(const UITouch& touch) const;
    bool touchInCenterNavigationBar(const UITouch& touch) const;
    bool touchInBezel(const UITouch& touch) const;
    bool touchInDrawer(const UITouch& touch) const;
    bool panMayUse(UIGestureRecognizer& g, UITouch& touch);
    bool tapMayUse(UIGestureRecognizer& g, UITouch& touch);

    UIViewControllerPtr center_;
    UIViewControllerPtr left_;
    UIViewControllerPtr pendingCenter_, pendingLeft_;
    std::shared_ptr<UIView> centerContainer_;
    std::shared_ptr<UIView> leftContainer_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    std::shared_ptr<UITapGestureRecognizer> tap_;
    std::unique_ptr<GestureGate> gate_;

    CGFloat maximumLeftDrawerWidth_ = kDefaultMaximumDrawerWidth;
    MMOpenDrawerGestureMode openMask_ = MMOpenDrawerGestureModeNone;
    MMCloseDrawerGestureMode closeMask_ = MMCloseDrawerGestureModeNone;
    GestureShouldRecognizeTouch customGesture_;

    CGFloat offset_ = 0;
    MMDrawerSide openSide_ = MMDrawerSide::none;
    // Whether the drawer's view shows (from the start of opening to the end of closing).
    bool drawerShowing_ = false;
    // Each movement's number; a movement's end is acted on only while it is the latest one.
    unsigned movement_ = 0;
    CGFloat panStartOffset_ = 0;
};

// The nearest drawer container enclosing the controller (its parent, or the parent's parent, ...);
// none when there is none.
std::shared_ptr<MMDrawerController> mm_drawerController(const UIViewController& controller);
