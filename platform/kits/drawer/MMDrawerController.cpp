#include "kits/drawer/MMDrawerController.h"

#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"

#include <algorithm>
#include <cmath>

namespace {

// A pan that ends faster than this (points per second) goes the way it was moving, whatever
// the position.
constexpr CGFloat kFlickVelocity = 200;

CGPoint rootLocation(const UITouch& touch) {
    return touch.location(static_cast<const UIView*>(nullptr));
}

bool contains(const CGRect& r, CGPoint p) {
    return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y &&
           p.y < r.origin.y + r.size.height;
}

// A view's bounds in the coordinates of the tree's root.
CGRect rootRect(const UIView& view) {
    return view.convert(view.bounds(), static_cast<const UIView*>(nullptr));
}

} // namespace

// The gestures ask the container which touches they may use; the pan only starts sideways, so the
// scroll views inside the centre keep their vertical drags.
struct MMDrawerController::GestureGate : UIGestureRecognizerDelegate {
    MMDrawerController* owner;
    explicit GestureGate(MMDrawerController* o) : owner(o) {}
    bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer* g, UITouch* touch) override {
        if (!g || !touch) return false;
        if (g == owner->pan_.get()) return owner->panMayUse(*g, *touch);
        if (g == owner->tap_.get()) return owner->tapMayUse(*g, *touch);
        return false;
    }
    bool gestureRecognizerShouldBegin(UIGestureRecognizer* g) override {
        if (g != owner->pan_.get()) return true;
        const CGPoint t = owner->pan_->translation(static_cast<const UIView*>(nullptr));
        return std::abs(t.x) > std::abs(t.y);
    }
};

MMDrawerController::MMDrawerController() : gate_(std::make_unique<GestureGate>(this)) {}

MMDrawerController::MMDrawerController(UIViewControllerPtr center, UIViewControllerPtr leftDrawer)
    : gate_(std::make_unique<GestureGate>(this)) {
    pendingCenter_ = std::move(center);
    pendingLeft_ = std::move(leftDrawer);
}

MMDrawerController::~MMDrawerController() {
    if (pan_) pan_->delegate = nullptr;
    if (tap_) tap_->delegate = nullptr;
}

void MMDrawerController::adoptInitialChildren() {
    if (weak_from_this().expired()) return;
    if (pendingCenter_) {
        auto c = std::move(pendingCenter_);
        pendingCenter_ = nullptr;
        setCenterViewController(c);
    }
    if (pendingLeft_) {
        auto l = std::move(pendingLeft_);
        pendingLeft_ = nullptr;
        setLeftDrawerViewController(l);
    }
}

void MMDrawerController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColor::blackColor());
    leftContainer_ = std::make_shared<UIView>(root->bounds());
    leftContainer_->setHidden(true);
    leftContainer_->setClipsToBounds(true);
    centerContainer_ = std::make_shared<UIView>(root->bounds());
    root->addSubview(leftContainer_);
    root->addSubview(centerContainer_);

    // The view may outlive the container (a superview still holds it): the gestures then do nothing.
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    pan_ = std::make_shared<UIPanGestureRecognizer>();
    pan_->maximumNumberOfTouches = 1;
    pan_->delegate = gate_.get();
    pan_->addTarget([weakSelf](UIGestureRecognizer& g) {
        if (auto self = std::static_pointer_cast<MMDrawerController>(weakSelf.lock()))
            self->handlePan(static_cast<UIPanGestureRecognizer&>(g));
    });
    root->addGestureRecognizer(pan_);
    tap_ = std::make_shared<UITapGestureRecognizer>();
    tap_->delegate = gate_.get();
    tap_->addTarget([weakSelf](UIGestureRecognizer&) {
        if (auto self = std::static_pointer_cast<MMDrawerController>(weakSelf.lock())) self->handleTap();
    });
    root->addGestureRecognizer(tap_);
    setView(root);
}

void MMDrawerController::viewDidLoad() {
    UIViewController::viewDidLoad();
    adoptInitialChildren();
    if (center_) install(center_, centerContainer_);
    if (left_) install(left_, leftContainer_);
    layoutContainers();
}

void MMDrawerController::viewWillLayoutSubviews() {
    layoutContainers();
}

void MMDrawerController::layoutContainers() {
    auto root = viewIfLoaded();
    if (!root) return;
    const CGRect b = root->bounds();
    leftContainer_->setFrame({0, 0, std::min(maximumLeftDrawerWidth_, b.size.width), b.size.height});
    centerContainer_->setFrame({offset_, 0, b.size.width, b.size.height});
}

void MMDrawerController::install(const UIViewControllerPtr& controller, const std::shared_ptr<UIView>& container) {
    if (!controller || !container) return;
    auto v = controller->view();
    if (v->superview() == container) return;
    v->setTranslatesAutoresizingMaskIntoConstraints(true);
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    v->setFrame(container->bounds());
    container->addSubview(v);
}

void MMDrawerController::uninstall(const UIViewControllerPtr& controller) {
    if (!controller) return;
    const bool shown = controller->isAppearingOrAppeared();
    if (shown) controller->beginAppearanceTransition(false, false);
    controller->willMoveToParentViewController(nullptr);
    if (auto v = controller->viewIfLoaded()) v->removeFromSuperview();
    controller->removeFromParentViewController();
    if (shown) controller->endAppearanceTransition();
}

void MMDrawerController::setCenterViewController(const UIViewControllerPtr& controller) {
    if (controller == center_) return;
    if (weak_from_this().expired()) {
        pendingCenter_ = controller;
        return;
    }
    auto old = center_;
    center_ = controller;
    uninstall(old);
    if (!controller) return;
    auto self = shared_from_this();
    addChildViewController(controller);
    if (isViewLoaded()) {
        install(controller, centerContainer_);
        controller->view()->setUserInteractionEnabled(offset_ == 0);
        if (isAppearingOrAppeared()) {
            controller->beginAppearanceTransition(true, false);
            if (isAppeared()) controller->endAppearanceTransition();
        }
    }
    controller->didMoveToParentViewController(self);
}

void MMDrawerController::setLeftDrawerViewController(const UIViewControllerPtr& controller) {
    if (controller == left_) return;
    if (weak_from_this().expired()) {
        pendingLeft_ = controller;
        return;
    }
    if (left_ && offset_ != 0) closeDrawerAnimated(false);
    auto old = left_;
    left_ = controller;
    uninstall(old);
    if (!controller) return;
    auto self = shared_from_this();
    addChildViewController(controller);
    if (isViewLoaded()) install(controller, leftContainer_);
    controller->didMoveToParentViewController(self);
}

std::vector<UIViewControllerPtr> MMDrawerController::childrenForAppearanceForwarding() const {
    std::vector<UIViewControllerPtr> result;
    if (center_ && center_->parentViewController().get() == this) result.push_back(center_);
    if (left_ && drawerShowing_ && left_->parentViewController().get() == this) result.push_back(left_);
    return result;
}

UIStatusBarStyle MMDrawerController::preferredStatusBarStyle() const {
    return center_ ? center_->preferredStatusBarStyle() : UIViewController::preferredStatusBarStyle();
}

CGFloat MMDrawerController::visibleLeftDrawerWidth() const {
    return offset_;
}

void MMDrawerController::setCenterOffset(CGFloat offset) {
    offset_ = std::clamp<CGFloat>(offset, 0, maximumLeftDrawerWidth_);
    if (!centerContainer_) return;
    CGRect f = centerContainer_->frame();
    f.origin.x = offset_;
    centerContainer_->setFrame(f);
}

void MMDrawerController::setMaximumLeftDrawerWidth(CGFloat width, bool animated, Completion completion) {
    maximumLeftDrawerWidth_ = std::max<CGFloat>(0, width);
    if (!isViewLoaded() || openSide_ != MMDrawerSide::left) {
        if (offset_ > maximumLeftDrawerWidth_) setCenterOffset(maximumLeftDrawerWidth_);
        layoutContainers();
        if (completion) completion(true);
        return;
    }
    layoutContainers();
    const CGFloat from = offset_;
    moveTo(maximumLeftDrawerWidth_, animated, from, std::move(completion));
}

void MMDrawerController::beginShowingDrawer(bool animated) {
    if (drawerShowing_ || !left_) return;
    drawerShowing_ = true;
    leftContainer_->setHidden(false);
    install(left_, leftContainer_);
    if (isAppearingOrAppeared()) left_->beginAppearanceTransition(true, animated);
}

void MMDrawerController::finishedOpening() {
    openSide_ = MMDrawerSide::left;
    if (center_)
        if (auto v = center_->viewIfLoaded()) v->setUserInteractionEnabled(false);
    if (left_ && left_->isAppearingOrAppeared()) left_->endAppearanceTransition();
}

void MMDrawerController::finishedClosing() {
    openSide_ = MMDrawerSide::none;
    if (center_)
        if (auto v = center_->viewIfLoaded()) v->setUserInteractionEnabled(true);
    if (!drawerShowing_) return;
    drawerShowing_ = false;
    leftContainer_->setHidden(true);
    if (left_) left_->endAppearanceTransition();
}

void MMDrawerController::moveTo(CGFloat offset, bool animated, CGFloat fromOffset, Completion completion) {
    const unsigned movement = ++movement_;
    const bool opening = offset > 0;
    auto done = [this, movement, opening, completion = std::move(completion)](bool finished) {
        if (movement == movement_) {
            if (opening)
                finishedOpening();
            else
                finishedClosing();
        }
        if (completion) completion(finished && movement == movement_);
    };
    const double duration =
        std::max(kMinimumAnimationDuration, static_cast<double>(std::abs(offset - fromOffset) / kAnimationVelocity));
    if (!animated || !isViewLoaded()) {
        setCenterOffset(offset);
        done(true);
        return;
    }
    // The container outlives its movements only while shared; a movement that ends after it has
    // gone does nothing.
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    UIView::animate(
        duration, 0, UIViewAnimationOptionCurveEaseInOut, [this, offset] { setCenterOffset(offset); },
        [weakSelf, done = std::move(done)](bool finished) {
            if (weakSelf.lock()) done(finished);
        });
}

void MMDrawerController::openDrawerSide(MMDrawerSide side, bool animated, Completion completion) {
    if (side != MMDrawerSide::left || !left_) {
        if (completion) completion(false);
        return;
    }
    loadViewIfNeeded();
    if (openSide_ == MMDrawerSide::left && offset_ == maximumLeftDrawerWidth_) {
        if (completion) completion(true);
        return;
    }
    if (!drawerShowing_) {
        beginShowingDrawer(animated);
    } else if (isAppearingOrAppeared() && !left_->isAppearingOrAppeared()) {
        // Opening again while it was closing: it is coming back.
        left_->beginAppearanceTransition(true, animated);
    }
    moveTo(maximumLeftDrawerWidth_, animated, offset_, std::move(completion));
}

void MMDrawerController::closeDrawerAnimated(bool animated, Completion completion) {
    if (!isViewLoaded() || (offset_ == 0 && openSide_ == MMDrawerSide::none && !drawerShowing_)) {
        if (completion) completion(true);
        return;
    }
    if (left_ && drawerShowing_ && left_->isAppearingOrAppeared())
        left_->beginAppearanceTransition(false, animated);
    openSide_ = MMDrawerSide::none;
    moveTo(0, animated, offset_, std::move(completion));
}

void MMDrawerController::toggleDrawerSide(MMDrawerSide side, bool animated, Completion completion) {
    if (offset_ == 0)
        openDrawerSide(side, animated, std::move(completion));
    else
        closeDrawerAnimated(animated, std::move(completion));
}

// --- Gestures --------------------------------------------------------------------------------

bool MMDrawerController::touchInCenter(const UITouch& touch) const {
    return centerContainer_ && contains(rootRect(*centerContainer_), rootLocation(touch));
}

bool MMDrawerController::touchInCenterNavigationBar(const UITouch& touch) const {
    auto nav = std::dynamic_pointer_cast<UINavigationController>(center_);
    if (!nav || nav->isNavigationBarHidden()) return false;
    const auto& bar = nav->navigationBar();
    return bar && bar->superview() && contains(rootRect(*bar), rootLocation(touch));
}

bool MMDrawerController::touchInBezel(const UITouch& touch) const {
    if (!touchInCenter(touch)) return false;
    const CGRect c = rootRect(*centerContainer_);
    const CGFloat x = rootLocation(touch).x;
    return x >= c.origin.x && x < c.origin.x + kBezelRange;
}

bool MMDrawerController::touchInDrawer(const UITouch& touch) const {
    return drawerShowing_ && leftContainer_ && !touchInCenter(touch) &&
           contains(rootRect(*leftContainer_), rootLocation(touch));
}

bool MMDrawerController::panMayUse(UIGestureRecognizer& g, UITouch& touch) {
    if (!left_) return false;
    if (offset_ == 0 && openSide_ == MMDrawerSide::none) {
        const unsigned m = openMask_;
        if ((m & MMOpenDrawerGestureModePanningNavigationBar) && touchInCenterNavigationBar(touch)) return true;
        if ((m & MMOpenDrawerGestureModePanningCenterView) && touchInCenter(touch)) return true;
        if ((m & MMOpenDrawerGestureModeBezelPanningCenterView) && touchInBezel(touch)) return true;
        if ((m & MMOpenDrawerGestureModeCustom) && customGesture_) return customGesture_(*this, g, touch);
        return false;
    }
    const unsigned m = closeMask_;
    if ((m & MMCloseDrawerGestureModePanningNavigationBar) && touchInCenterNavigationBar(touch)) return true;
    if ((m & MMCloseDrawerGestureModePanningCenterView) && touchInCenter(touch)) return true;
    if ((m & MMCloseDrawerGestureModeBezelPanningCenterView) && touchInBezel(touch)) return true;
    if ((m & MMCloseDrawerGestureModePanningDrawerView) && touchInDrawer(touch)) return true;
    if ((m & MMCloseDrawerGestureModeCustom) && customGesture_) return customGesture_(*this, g, touch);
    return false;
}

bool MMDrawerController::tapMayUse(UIGestureRecognizer& g, UITouch& touch) {
    if (offset_ == 0) return false;
    const unsigned m = closeMask_;
    if ((m & MMCloseDrawerGestureModeTapNavigationBar) && touchInCenterNavigationBar(touch)) return true;
    if ((m & MMCloseDrawerGestureModeTapCenterView) && touchInCenter(touch)) return true;
    if ((m & MMCloseDrawerGestureModeCustom) && customGesture_) return customGesture_(*this, g, touch);
    return false;
}

void MMDrawerController::handleTap() {
    if (tap_->state() == UIGestureRecognizerStateRecognized) closeDrawerAnimated(true);
}

void MMDrawerController::handlePan(UIPanGestureRecognizer& pan) {
    switch (pan.state()) {
    case UIGestureRecognizerState::began:
        ++movement_; // a movement under way is taken over by the finger
        panStartOffset_ = offset_;
        if (!drawerShowing_) beginShowingDrawer(true);
        openSide_ = MMDrawerSide::none;
        break;
    case UIGestureRecognizerState::changed:
        setCenterOffset(panStartOffset_ + pan.translation(static_cast<const UIView*>(nullptr)).x);
        break;
    case UIGestureRecognizerState::ended:
    case UIGestureRecognizerState::cancelled: {
        const CGFloat v = pan.velocity(static_cast<const UIView*>(nullptr)).x;
        bool open = offset_ > maximumLeftDrawerWidth_ / 2;
        if (v > kFlickVelocity) open = true;
        if (v < -kFlickVelocity) open = false;
        if (pan.state() == UIGestureRecognizerState::cancelled) open = panStartOffset_ > 0;
        if (open) {
            if (left_ && isAppearingOrAppeared() && !left_->isAppearingOrAppeared())
                left_->beginAppearanceTransition(true, true);
            moveTo(maximumLeftDrawerWidth_, true, offset_, {});
        } else {
            if (left_ && left_->isAppearingOrAppeared()) left_->beginAppearanceTransition(false, true);
            moveTo(0, true, offset_, {});
        }
        break;
    }
    default:
        break;
    }
}

std::shared_ptr<MMDrawerController> mm_drawerController(const UIViewController& controller) {
    for (auto parent = controller.parentViewController(); parent; parent = parent->parentViewController())
        if (auto drawer = std::dynamic_pointer_cast<MMDrawerController>(parent)) return drawer;
    return nullptr;
}
