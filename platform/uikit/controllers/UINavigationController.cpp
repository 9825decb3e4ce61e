#include "uikit/controllers/UINavigationController.h"

#include "uikit/controllers/BarButtonItemView.h"
#include "uikit/controllers/BarTitle.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIViewAnimation.h"

#include <algorithm>

namespace {

// The navigation controller's own view: lays out the bar and the shown controller's view.
class NavigationContainerView : public UIView {
public:
    explicit NavigationContainerView(const CGRect& frame) : UIView(frame) {}
    std::string className() const override { return "UILayoutContainerView"; }
    void layoutSubviews() override {
        UIView::layoutSubviews();
        if (auto nav = controller.lock()) nav->layoutContent();
    }
    std::weak_ptr<UINavigationController> controller;
};

std::string backTitleFor(const UINavigationItem& previous) {
    if (previous.backBarButtonItem) return previous.backBarButtonItem->title().value_or("");
    if (previous.title && !previous.title->empty()) return *previous.title;
    return "Back";
}

} // namespace

// --- The bar -----------------------------------------------------------------------------------

UINavigationBar::UINavigationBar() {
    blur_ = std::make_shared<UIVisualEffectView>(UIBlurEffect::effect(UIBlurEffectStyle::extraLight));
    addSubview(blur_);
    background_ = std::make_shared<UIView>();
    addSubview(background_);
    hairline_ = std::make_shared<UIView>();
    hairline_->setBackgroundColor(UIColor::withWhite(0, 0.3));
    addSubview(hairline_);
    const Appearance& a = appearance();
    barTintColor = a.barTintColor;
    titleTextAttributes = a.titleTextAttributes;
    backIndicatorImage = a.backIndicatorImage;
    if (a.tintColor) setTintColor(a.tintColor);
}

UINavigationBar::Appearance& UINavigationBar::appearance() {
    static Appearance values;
    return values;
}

void UINavigationBar::setItems(std::vector<UINavigationItemPtr> items) {
    for (auto& i : items_)
        i->onChange = nullptr;
    items_ = std::move(items);
    std::weak_ptr<UIView> weakSelf = weak_from_this();
    for (auto& i : items_)
        i->onChange = [weakSelf] {
            if (auto s = weakSelf.lock()) static_cast<UINavigationBar&>(*s).reloadItems();
        };
    reloadItems();
}

void UINavigationBar::reloadItems() {
    if (reloading_) return;
    reloading_ = true;
    for (auto& v : itemViews_)
        v->removeFromSuperview();
    itemViews_.clear();
    auto top = topItem();
    if (top) {
        // Title.
        if (top->titleView) {
            itemViews_.push_back(top->titleView);
        } else if (top->title) {
            auto label = cw::makeBarTitleLabel(
                top->title, titleTextAttributes.font.value_or(UIFont::systemFont(17, UIFont::Weight::semibold)),
                titleTextAttributes.foregroundColor.value_or(UIColor::blackColor()));
            label->setAccessibilityIdentifier("NavigationBarTitle");
            itemViews_.push_back(label);
        } else {
            itemViews_.push_back(std::make_shared<UIView>());
        }
        // Back button.
        const bool hasLeft = !top->leftBarButtonItems().empty();
        if (items_.size() > 1 && !top->hidesBackButton && (!hasLeft || top->leftItemsSupplementBackButton)) {
            auto back = std::make_shared<cw::TapTargetView>();
            const std::string text = backTitleFor(*items_[items_.size() - 2]);
            if (backIndicatorImage) {
                back->setImage(
                    imageWithRenderingMode(backIndicatorImage, UIImageRenderingMode::alwaysTemplate));
                back->setTitle(text);
            } else {
                back->setTitle("\u2039" + std::string(text.empty() ? "" : " " + text));
            }
            back->titleLabel()->setFont(UIFont::systemFont(17));
            back->titleLabel()->setTextColor(tintColor());
            back->setTitle(back->titleLabel()->text());
            back->setAccessibilityIdentifier("BackButton");
            back->setFrame({0, 0, std::max<CGFloat>(back->sizeThatFits({}).width, 30), kHeight});
            std::weak_ptr<UIView> weakSelf = weak_from_this();
            back->onTap = [weakSelf] {
                if (auto s = weakSelf.lock()) {
                    auto& bar = static_cast<UINavigationBar&>(*s);
                    if (bar.onBack) bar.onBack();
                }
            };
            back->setTag(1);
            itemViews_.push_back(back);
        }
        for (auto& item : top->leftBarButtonItems()) {
            auto v = cw::BarButtonItemView::make(item, "UINavigationBar", kHeight);
            v->setTag(1);
            itemViews_.push_back(v);
        }
        for (auto& item : top->rightBarButtonItems()) {
            auto v = cw::BarButtonItemView::make(item, "UINavigationBar", kHeight);
            v->setTag(2);
            itemViews_.push_back(v);
        }
    }
    for (auto& v : itemViews_)
        addSubview(v);
    reloading_ = false;
    built_ = builtWith();
    setNeedsLayout();
}

void UINavigationBar::layoutSubviews() {
    if (!built_ || !(*built_ == builtWith())) reloadItems();
    UIView::layoutSubviews();
    const CGRect b = bounds();
    background_->setFrame({0, 0, b.size.width, b.size.height});
    // A background image replaces the bar's own colour (an empty one leaves no background at all);
    // a translucent bar of no colour of its own is the blur's.
    const bool blurs = isTranslucent && !barTintColor && !backgroundImage;
    blur_->setHidden(!blurs);
    blur_->setFrame(background_->frame());
    background_->setBackgroundColor(backgroundImage || blurs ? UIColor::clearColor()
                                                             : barTintColor.value_or(UIColor::withWhite(0.97, 1)));
    if (background_->layer()->contents != backgroundImage) {
        background_->layer()->contents = backgroundImage;
        background_->setNeedsDisplay();
    }
    hairline_->setFrame({0, b.size.height, b.size.width, 0.5});
    hairline_->setHidden(shadowImage != nullptr);
    const CGFloat top = b.size.height - kHeight;
    CGFloat left = 8, right = b.size.width - 8;
    std::shared_ptr<UIView> title;
    for (auto& v : itemViews_) {
        const CGSize s = v->frame().size;
        if (v->tag() == 1) {
            v->setFrame({left, top + (kHeight - s.height) / 2, s.width, s.height});
            left += s.width + 8;
        } else if (v->tag() == 2) {
            right -= s.width;
            v->setFrame({right, top + (kHeight - s.height) / 2, s.width, s.height});
            right -= 8;
        } else {
            title = v;
        }
    }
    if (title) title->setFrame(cw::barTitleFrame(title->frame().size, b.size.width, left, right, top, kHeight));
}

// --- The controller ----------------------------------------------------------------------------

UINavigationController::UINavigationController() = default;

UINavigationController::UINavigationController(const UIViewControllerPtr& root) {
    if (root) setViewControllers({root}, false);
}

void UINavigationController::adoptPendingChildren() {
    if (!childrenPending_ || weak_from_this().expired()) return;
    childrenPending_ = false;
    auto self = shared_from_this();
    for (auto& c : stack_)
        if (c->parentViewController() != self) {
            addChildViewController(c);
            c->didMoveToParentViewController(self);
        }
    updateBar();
}

std::shared_ptr<UINavigationController> UINavigationController::withRoot(const UIViewControllerPtr& root) {
    auto nav = std::make_shared<UINavigationController>();
    if (root) nav->setViewControllers({root}, false);
    return nav;
}

const std::shared_ptr<UINavigationBar>& UINavigationController::navigationBar() {
    if (!bar_) {
        bar_ = std::make_shared<UINavigationBar>();
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        bar_->onBack = [weakSelf] {
            if (auto s = weakSelf.lock()) static_cast<UINavigationController&>(*s).popViewController(true);
        };
    }
    return bar_;
}

void UINavigationController::loadView() {
    auto v = std::make_shared<NavigationContainerView>(UIScreen::main().bounds());
    v->controller = std::static_pointer_cast<UINavigationController>(shared_from_this());
    v->setBackgroundColor(UIColor::whiteColor());
    v->addSubview(navigationBar());
    setView(v);
    adoptPendingChildren();
    if (auto top = topViewController()) install(top);
    updateBar();
}

UIViewControllerPtr UINavigationController::visibleViewController() const {
    if (auto p = presentedViewController()) return p;
    return topViewController();
}

void UINavigationController::install(const UIViewControllerPtr& controller) {
    auto container = viewIfLoaded();
    if (!container) return;
    auto v = controller->view();
    v->setTranslatesAutoresizingMaskIntoConstraints(true);
    v->setHidden(false);
    container->insertSubviewBelow(v, navigationBar());
    controller->setBarInsets(barInsetsForChild(*controller));
    container->setNeedsLayout();
}

namespace {

// Whether the screen's view reaches up under a translucent bar (else it starts below the bar, as
// under an opaque one).
bool extendsUnderTopBar(const UIViewController& controller) {
    return (static_cast<unsigned>(controller.edgesForExtendedLayout) & static_cast<unsigned>(UIRectEdge::top)) != 0;
}

} // namespace

UIEdgeInsets UINavigationController::barInsetsForChild(const UIViewController& child) const {
    UIEdgeInsets insets = barInsets();
    if (!barHidden_ && bar_ && bar_->isTranslucent && extendsUnderTopBar(child))
        insets.top += UINavigationBar::kHeight;
    else if (!barHidden_)
        insets.top = 0;
    return insets;
}

void UINavigationController::layoutContent() {
    auto container = viewIfLoaded();
    if (!container) return;
    const CGRect b = container->bounds();
    const CGFloat statusTop = barInsets().top;
    auto& bar = navigationBar();
    bar->statusBarInset = statusTop;
    bar->setHidden(barHidden_);
    bar->setFrame({0, 0, b.size.width, statusTop + UINavigationBar::kHeight});
    container->bringSubviewToFront(bar);
    for (const auto& c : stack_) {
        auto v = c->viewIfLoaded();
        if (!v || v->superviewPointer() != container.get()) continue;
        const CGFloat contentTop = (!barHidden_ && (!bar->isTranslucent || !extendsUnderTopBar(*c)))
                                       ? statusTop + UINavigationBar::kHeight
                                       : 0;
        v->setFrame({0, contentTop, b.size.width, b.size.height - contentTop});
        // A screen may change its edges when its view loads, after it was given its insets.
        c->setBarInsets(barInsetsForChild(*c));
    }
}

void UINavigationController::updateBar() {
    std::vector<UINavigationItemPtr> items;
    for (auto& c : stack_)
        items.push_back(c->navigationItem());
    navigationBar()->setItems(std::move(items));
    for (auto& c : stack_)
        c->setBarInsets(barInsetsForChild(*c));
    if (auto v = viewIfLoaded()) v->setNeedsLayout();
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool) {
    if (barHidden_ == hidden) return;
    barHidden_ = hidden;
    for (auto& c : stack_)
        c->setBarInsets(barInsetsForChild(*c));
    if (auto v = viewIfLoaded()) v->setNeedsLayout();
}

void UINavigationController::show(const UIViewControllerPtr& controller, const std::any&) {
    pushViewController(controller, true);
}

void UINavigationController::runOrQueue(std::function<void()> op) {
    if (transitioning_) {
        queued_.push_back(std::move(op));
        return;
    }
    op();
}

void UINavigationController::finishTransition() {
    transitioning_ = false;
    while (!transitioning_ && !queued_.empty()) {
        auto op = std::move(queued_.front());
        queued_.pop_front();
        op();
    }
}

void UINavigationController::transition(const UIViewControllerPtr& from,
                                        std::vector<UIViewControllerPtr> removed,
                                        std::vector<UIViewControllerPtr> added, bool animated) {
    auto self = std::static_pointer_cast<UINavigationController>(shared_from_this());
    auto to = topViewController();
    for (auto& c : removed)
        c->willMoveToParentViewController(nullptr);
    for (auto& c : added)
        addChildViewController(c);
    updateBar();
    const bool visible = onScreen() && isViewLoaded();
    if (!visible || from == to) {
        if (auto v = from ? from->viewIfLoaded() : nullptr; v && from != to) v->removeFromSuperview();
        if (isViewLoaded() && to) install(to);
        for (auto& c : removed)
            c->removeFromParentViewController();
        for (auto& c : added)
            c->didMoveToParentViewController(self);
        return;
    }
    transitioning_ = true;
    if (to) install(to);
    if (from) from->beginAppearanceTransition(false, animated);
    if (to) to->beginAppearanceTransition(true, animated);
    if (auto d = delegate()) d->willShow(*self, to, animated);
    lastShown_ = to;
    view()->layoutIfNeeded();
    if (animated) slide(from, to, std::find(added.begin(), added.end(), to) != added.end());
    cw::runTransition(animated, [self, from, to, removed, added, animated] {
        if (from) {
            if (auto v = from->viewIfLoaded(); v && v->superviewPointer() == self->viewIfLoaded().get())
                v->removeFromSuperview();
            from->endAppearanceTransition();
        }
        if (to) to->endAppearanceTransition();
        for (auto& c : removed)
            c->removeFromParentViewController();
        for (auto& c : added)
            c->didMoveToParentViewController(self);
        if (auto d = self->delegate()) d->didShow(*self, to, animated);
        self->finishTransition();
    });
}

void UINavigationController::slide(const UIViewControllerPtr& from, const UIViewControllerPtr& to, bool forward) {
    // The screen coming on slides over from the right edge while the one below moves a third of
    // the way aside; going back, the top screen slides off to the right, over the one it uncovers.
    auto fromView = from ? from->viewIfLoaded() : nullptr;
    auto toView = to ? to->viewIfLoaded() : nullptr;
    auto container = viewIfLoaded();
    if (!container) return;
    const CGFloat width = container->bounds().size.width;
    auto& animator = cw::Animator::shared();
    using Motion = cw::Animator::Motion;
    const Motion home{{0, 0}, 1}, aside{{-width / 3, 0}, 1}, offEdge{{width, 0}, 1};
    if (!forward && fromView && fromView->superviewPointer() == container.get())
        container->insertSubviewBelow(fromView, navigationBar());
    if (fromView && fromView->superviewPointer() == container.get())
        animator.playSystemMotion(fromView->layer(), cw::kTransitionDuration, home, forward ? aside : offEdge);
    if (toView && toView->superviewPointer() == container.get())
        animator.playSystemMotion(toView->layer(), cw::kTransitionDuration, forward ? offEdge : aside, home);
}

void UINavigationController::pushViewController(const UIViewControllerPtr& controller, bool animated) {
    if (!controller) return;
    runOrQueue([this, controller, animated] {
        if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end() ||
            controller->parentViewController()) {
            cw::consoleLog("Pushing the same view controller instance (" + controller->description() +
                           ") more than once is not supported");
            return;
        }
        adoptPendingChildren();
        auto from = topViewController();
        stack_.push_back(controller);
        transition(from, {}, {controller}, animated);
    });
}

UIViewControllerPtr UINavigationController::popViewController(bool animated) {
    adoptPendingChildren();
    if (stack_.size() < 2) return nullptr;
    auto popped = stack_.back();
    runOrQueue([this, animated] {
        if (stack_.size() < 2) return;
        auto from = stack_.back();
        stack_.pop_back();
        transition(from, {from}, {}, animated);
    });
    return popped;
}

std::vector<UIViewControllerPtr>
UINavigationController::popToViewController(const UIViewControllerPtr& controller, bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (it == stack_.end()) return {};
    std::vector<UIViewControllerPtr> popped(it + 1, stack_.end());
    if (popped.empty()) return {};
    runOrQueue([this, controller, animated] {
        auto pos = std::find(stack_.begin(), stack_.end(), controller);
        if (pos == stack_.end() || pos + 1 == stack_.end()) return;
        std::vector<UIViewControllerPtr> removed(pos + 1, stack_.end());
        auto from = stack_.back();
        stack_.erase(pos + 1, stack_.end());
        transition(from, removed, {}, animated);
    });
    return popped;
}

std::vector<UIViewControllerPtr> UINavigationController::popToRootViewController(bool animated) {
    if (stack_.empty()) return {};
    return popToViewController(stack_.front(), animated);
}

void UINavigationController::setViewControllers(std::vector<UIViewControllerPtr> controllers, bool animated) {
    if (weak_from_this().expired()) {
        // Not shared yet (still being made): the children are adopted later.
        stack_ = std::move(controllers);
        childrenPending_ = true;
        return;
    }
    adoptPendingChildren();
    runOrQueue([this, controllers = std::move(controllers), animated] {
        auto from = topViewController();
        std::vector<UIViewControllerPtr> removed, added;
        for (auto& c : stack_)
            if (std::find(controllers.begin(), controllers.end(), c) == controllers.end())
                removed.push_back(c);
        for (auto& c : controllers)
            if (std::find(stack_.begin(), stack_.end(), c) == stack_.end()) added.push_back(c);
        stack_ = controllers;
        transition(from, removed, added, animated);
    });
}

void UINavigationController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    auto top = topViewController();
    if (!top) return;
    install(top);
    top->beginAppearanceTransition(true, animated);
    if (lastShown_.lock() != top) {
        lastShown_ = top;
        pendingDidShow_ = true;
        if (auto d = delegate()) d->willShow(*this, top, animated);
    }
}

void UINavigationController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    auto top = topViewController();
    if (top) top->endAppearanceTransition();
    if (pendingDidShow_ && top) {
        pendingDidShow_ = false;
        if (auto d = delegate()) d->didShow(*this, top, animated);
    }
}

void UINavigationController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    if (auto top = topViewController()) top->beginAppearanceTransition(false, animated);
}

void UINavigationController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    if (auto top = topViewController()) top->endAppearanceTransition();
}

UIStatusBarStyle UINavigationController::preferredStatusBarStyle() const {
    if (auto top = topViewController()) return top->preferredStatusBarStyle();
    return UIStatusBarStyle::default_;
}

namespace {
// Read and set on the main thread only, like every controller.
std::optional<bool> gAutorotationAnswer;
} // namespace

void UINavigationController::setAutorotationAnswer(std::optional<bool> answer) {
    gAutorotationAnswer = answer;
}

std::optional<bool> UINavigationController::autorotationAnswer() {
    return gAutorotationAnswer;
}

bool UINavigationController::shouldAutorotate() const {
    if (gAutorotationAnswer) return *gAutorotationAnswer;
    if (auto top = topViewController()) return top->shouldAutorotate();
    return true;
}
