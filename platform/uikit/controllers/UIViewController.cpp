#include "uikit/controllers/UIViewController.h"

#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIViewAnimation.h"

#include <algorithm>

namespace {

// On a phone, sheets and popovers cover the whole screen.
UIModalPresentationStyle adaptedStyle(UIModalPresentationStyle style) {
    switch (style) {
    case UIModalPresentationStyle::pageSheet:
    case UIModalPresentationStyle::formSheet:
    case UIModalPresentationStyle::popover:
    case UIModalPresentationStyle::none:
        return UIModalPresentationStyle::fullScreen;
    default:
        return style;
    }
}

bool coversPresenter(UIModalPresentationStyle style) {
    return style == UIModalPresentationStyle::fullScreen || style == UIModalPresentationStyle::currentContext;
}

bool isContextStyle(UIModalPresentationStyle style) {
    return style == UIModalPresentationStyle::currentContext ||
           style == UIModalPresentationStyle::overCurrentContext;
}

} // namespace

UIViewController::UIViewController() = default;

UIViewController::~UIViewController() {
    auto& keyboard = cw::Keyboard::shared();
    keyboard.releaseDock(this);
    if (isFirstResponder()) {
        UIResponder::resignFirstResponder();
        keyboard.inputDidResign(this);
    }
}

std::string UIViewController::className() const {
    return cw::unqualifiedTypeName(typeid(*this));
}

std::string UIViewController::description() const {
    return cw::objectDescription(className(), this);
}

// --- The view ----------------------------------------------------------------------------------

std::shared_ptr<UIView> UIViewController::view() {
    if (view_ || loadingView_) return view_;
    loadingView_ = true;
    loadView();
    if (!view_) setView(std::make_shared<UIView>(UIScreen::main().bounds()));
    loadingView_ = false;
    if (embedSegues_) {
        auto embed = std::move(embedSegues_);
        embedSegues_ = nullptr;
        embed(*this);
    }
    viewDidLoad();
    // What viewDidLoad set up (a table's first load) sees the bars' insets again.
    updateGuides();
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
    if (view_ == view) return;
    if (view_) view_->setOwner(nullptr);
    view_ = std::move(view);
    if (!view_) return;
    if (auto self = weak_from_this().lock()) view_->setOwner(self);
    if (topGuide_) view_->addLayoutGuide(topGuide_);
    if (bottomGuide_) view_->addLayoutGuide(bottomGuide_);
    updateGuides();
}

void UIViewController::loadView() {
    auto v = std::make_shared<UIView>(UIScreen::main().bounds());
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(v);
}

void UIViewController::updateViewConstraints() {
    if (view_) view_->updateConstraints();
}

void UIViewController::viewWillAppear(bool) {}
void UIViewController::viewDidAppear(bool) {}
void UIViewController::viewWillDisappear(bool) {}
void UIViewController::viewDidDisappear(bool) {}

// --- Appearance --------------------------------------------------------------------------------

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    if (isAppearing) {
        if (appearance_ == Appearance::appearing || appearance_ == Appearance::appeared) return;
        view();
        appearance_ = Appearance::appearing;
        lastAppearanceAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::disappeared || appearance_ == Appearance::disappearing) return;
        appearance_ = Appearance::disappearing;
        lastAppearanceAnimated_ = animated;
        releaseInputViews();
        viewWillDisappear(animated);
    }
    for (const auto& child : childrenForAppearanceForwarding())
        child->beginAppearanceTransition(isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::appearing) {
        appearance_ = Appearance::appeared;
        // Before viewDidAppear, so that a text input the screen focuses there (one inside the
        // docked accessory) finds the accessory on screen.
        if (canBecomeFirstResponder() && !UIResponder::currentFirstResponder()) becomeFirstResponder();
        viewDidAppear(lastAppearanceAnimated_);
    } else if (appearance_ == Appearance::disappearing) {
        appearance_ = Appearance::disappeared;
        viewDidDisappear(lastAppearanceAnimated_);
    } else {
        return;
    }
    for (const auto& child : childrenForAppearanceForwarding())
        child->endAppearanceTransition();
}

std::vector<UIViewControllerPtr> UIViewController::childrenForAppearanceForwarding() const {
    std::vector<UIViewControllerPtr> result;
    if (!view_) return result;
    for (const auto& c : children_)
        if (auto v = c->viewIfLoaded(); v && v->isDescendant(view_.get())) result.push_back(c);
    return result;
}

// --- Containment -------------------------------------------------------------------------------

void UIViewController::addChildViewController(const UIViewControllerPtr& child) {
    if (!child || child.get() == this) return;
    if (child->parent_.lock().get() == this) return;
    if (child->parent_.lock()) child->removeFromParentViewController();
    auto self = shared_from_this();
    child->willMoveToParentViewController(self);
    children_.push_back(child);
    child->parent_ = self;
    child->barInsetsDidChange();
}

void UIViewController::removeFromParentViewController() {
    auto parent = parent_.lock();
    if (!parent) return;
    auto self = shared_from_this();
    auto& siblings = parent->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
    parent_.reset();
    if (appearance_ == Appearance::appeared || appearance_ == Appearance::appearing) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
    didMoveToParentViewController(nullptr);
}

void UIViewController::willMoveToParentViewController(const UIViewControllerPtr& parent) {
    movingToParent_ = parent != nullptr;
    movingFromParent_ = parent == nullptr;
}

void UIViewController::didMoveToParentViewController(const UIViewControllerPtr& parent) {
    movingToParent_ = false;
    movingFromParent_ = false;
    // A child whose view was put into a parent that is on screen appears with it.
    if (parent && parent->isAppearingOrAppeared() && view_ && parent->view_ &&
        view_->isDescendant(parent->view_.get()) && appearance_ == Appearance::disappeared) {
        const bool appearingOnly = parent->appearance_ == Appearance::appearing;
        beginAppearanceTransition(true, false);
        if (!appearingOnly) endAppearanceTransition();
    }
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto p = parent_.lock(); p; p = p->parent_.lock())
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(p)) return nav;
    return nullptr;
}

std::shared_ptr<UITabBarController> UIViewController::tabBarController() const {
    for (auto p = parent_.lock(); p; p = p->parent_.lock())
        if (auto tab = std::dynamic_pointer_cast<UITabBarController>(p)) return tab;
    return nullptr;
}

UIViewControllerPtr UIViewController::rootAncestor() {
    UIViewControllerPtr c = shared_from_this();
    while (auto p = c->parent_.lock())
        c = p;
    return c;
}

// --- Presentation ------------------------------------------------------------------------------

UIViewControllerPtr UIViewController::presentationContextFor(UIModalPresentationStyle style) {
    if (isContextStyle(style)) {
        for (UIViewControllerPtr c = shared_from_this(); c; c = c->parent_.lock())
            if (c->definesPresentationContext) return c;
    }
    return rootAncestor();
}

std::shared_ptr<UIWindow> UIViewController::viewWindow() const {
    if (!view_) return nullptr;
    UIWindow* window = view_->window();
    if (!window) return nullptr;
    return std::static_pointer_cast<UIWindow>(window->shared_from_this());
}

UIViewControllerPtr UIViewController::presentedViewController() const {
    const UIViewController* c = this;
    while (auto p = c->parent_.lock()) {
        if (c->presented_) break;
        c = p.get();
    }
    return c->presented_;
}

UIViewControllerPtr UIViewController::presentingViewController() const {
    const UIViewController* c = this;
    while (true) {
        if (auto p = c->presenting_.lock()) return p;
        auto parent = c->parent_.lock();
        if (!parent) return nullptr;
        c = parent.get();
    }
}

void UIViewController::present(const UIViewControllerPtr& controller, bool animated,
                               std::function<void()> completion) {
    if (!controller) return;
    if (controller->presenting_.lock() || controller->parent_.lock()) {
        cw::consoleLog("Application tried to present modally an active controller " +
                       controller->description() + ".");
        return;
    }
    auto window = viewWindow();
    if (!window) {
        cw::consoleLog("Warning: Attempt to present " + controller->description() + " on " + description() +
                       " whose view is not in the window hierarchy!");
        return;
    }
    UIModalPresentationStyle style = controller->modalPresentationStyle;
    if (style == UIModalPresentationStyle::popover) {
        // A popover stays one only when its delegate keeps it.
        style = controller->popoverPresentationController()->adaptedStyle();
        if (style != UIModalPresentationStyle::popover) style = adaptedStyle(style);
    } else {
        style = adaptedStyle(style);
    }
    auto presenter = presentationContextFor(style);
    if (presenter->presentationInProgress_ || presenter->beingPresented_ || presenter->beingDismissed_) {
        cw::consoleLog("Warning: Attempt to present " + controller->description() + " on " + description() +
                       " while a presentation is in progress!");
        return;
    }
    if (presenter->presented_) {
        cw::consoleLog("Warning: Attempt to present " + controller->description() + " on " + description() +
                       " which is already presenting " + presenter->presented_->description());
        return;
    }

    // A screen presented over the whole of another ends the editing under it, as the field leaves
    // the screen: the keyboard goes down rather than stand over the new screen.
    if (style == UIModalPresentationStyle::fullScreen)
        window->endEditing(true);
    else if (coversPresenter(style) && presenter->view_)
        presenter->view_->endEditing(true);

    presenter->presented_ = controller;
    presenter->presentedStyle_ = style;
    presenter->presentationInProgress_ = true;
    controller->presenting_ = presenter;
    controller->beingPresented_ = true;
    presenter->installPresentedView(controller, style);

    const bool covers = coversPresenter(style);
    if (covers) presenter->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    window->setNeedsLayout();
    window->layoutIfNeeded();
    if (animated) playPresentationMotion(*controller, style, true);

    cw::runTransition(animated, [presenter, controller, covers, completion = std::move(completion)] {
        if (covers) {
            if (auto v = presenter->viewIfLoaded()) v->setHidden(true);
            presenter->endAppearanceTransition();
        }
        controller->endAppearanceTransition();
        controller->beingPresented_ = false;
        presenter->presentationInProgress_ = false;
        if (completion) completion();
    });
}

void UIViewController::playPresentationMotion(UIViewController& controller, UIModalPresentationStyle style,
                                              bool appearing) {
    // A screen rises from the bottom edge and sinks back to it; alerts, popovers and cross-dissolves
    // fade.
    auto v = controller.viewIfLoaded();
    if (!v) return;
    using Motion = cw::Animator::Motion;
    const bool fades = style == UIModalPresentationStyle::popover ||
                       controller.modalTransitionStyle != UIModalTransitionStyle::coverVertical;
    const CGFloat height = v->window() ? v->window()->bounds().size.height : v->bounds().size.height;
    const Motion shown{{0, 0}, 1};
    const Motion hidden = fades ? Motion{{0, 0}, 0} : Motion{{0, height}, 1};
    cw::Animator::shared().playSystemMotion(v->layer(), cw::kTransitionDuration, appearing ? hidden : shown,
                                            appearing ? shown : hidden);
}

void UIViewController::installPresentedView(const UIViewControllerPtr& controller,
                                            UIModalPresentationStyle style) {
    auto window = viewWindow();
    auto v = controller->view();
    if (style == UIModalPresentationStyle::popover) {
        // No bar reaches into a popover.
        controller->setBarInsets({0, 0, 0, 0});
        controller->popover_->install(window, v);
        return;
    }
    UIEdgeInsets insets{UIScreen::main().statusBarHeight(), 0, 0, 0};
    CGRect frame = window->bounds();
    if (isContextStyle(style) && view_) {
        frame = view_->convert(view_->bounds(), window.get());
        insets = barInsets_;
        coveredContext_ = shared_from_this();
    }
    if (controller->prefersStatusBarHidden()) insets.top = 0;
    v->setTranslatesAutoresizingMaskIntoConstraints(true);
    v->setFrame(frame);
    window->addSubview(v);
    controller->setBarInsets(insets);
}

void UIViewController::dismiss(bool animated, std::function<void()> completion) {
    auto self = shared_from_this();
    if (presented_) {
        dismissPresented(animated, std::move(completion));
        return;
    }
    auto root = rootAncestor();
    if (root->presented_) {
        root->dismissPresented(animated, std::move(completion));
    } else if (auto presenter = root->presenting_.lock()) {
        presenter->dismissPresented(animated, std::move(completion));
    } else if (completion) {
        completion();
    }
}

void UIViewController::dismissPresented(bool animated, std::function<void()> completion) {
    if (!presented_) {
        if (completion) completion();
        return;
    }
    if (presentationInProgress_) {
        cw::consoleLog("Warning: Attempt to dismiss from view controller " + description() +
                       " while a presentation or dismiss is in progress!");
        return;
    }
    auto self = shared_from_this();
    // Everything presented above, bottom first; only the topmost is seen leaving.
    std::vector<UIViewControllerPtr> chain;
    for (auto c = presented_; c; c = c->presented_)
        chain.push_back(c);
    auto top = chain.back();
    const bool covers = coversPresenter(presentedStyle_);

    presentationInProgress_ = true;
    for (auto& c : chain)
        c->beingDismissed_ = true;
    top->beginAppearanceTransition(false, animated);
    if (covers) {
        if (view_) view_->setHidden(false);
        beginAppearanceTransition(true, animated);
    }
    if (animated) {
        auto shownBy = top->presenting_.lock();
        playPresentationMotion(*top, shownBy ? shownBy->presentedStyle_ : presentedStyle_, false);
    }
    cw::runTransition(animated, [self, chain, top, covers, completion = std::move(completion)] {
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            auto& c = *it;
            if (c != top) {
                c->beginAppearanceTransition(false, false);
                c->endAppearanceTransition();
            }
            if (c->popover_) c->popover_->uninstall();
            if (auto v = c->viewIfLoaded()) {
                v->removeFromSuperview();
                v->setHidden(false);
            }
        }
        top->endAppearanceTransition();
        if (covers) self->endAppearanceTransition();
        for (auto& c : chain) {
            c->beingDismissed_ = false;
            c->presenting_.reset();
            c->presented_.reset();
        }
        self->presented_.reset();
        self->presentationInProgress_ = false;
        if (completion) completion();
    });
}

void UIViewController::show(const UIViewControllerPtr& controller, const std::any&) {
    if (auto nav = navigationController()) {
        nav->pushViewController(controller, true);
        return;
    }
    present(controller, true);
}

void UIViewController::showDetailViewController(const UIViewControllerPtr& controller,
                                                const std::any& sender) {
    show(controller, sender);
}

void UIViewController::setPreferredContentSize(CGSize size) {
    preferredContentSize_ = size;
    if (popover_) popover_->setNeedsLayout();
}

std::shared_ptr<UIPopoverPresentationController> UIViewController::popoverPresentationController() {
    if (modalPresentationStyle != UIModalPresentationStyle::popover) return nullptr;
    if (!popover_) popover_ = std::make_shared<UIPopoverPresentationController>(shared_from_this());
    return popover_;
}

// --- Items -------------------------------------------------------------------------------------

void UIViewController::setTitle(std::optional<std::string> title) {
    title_ = title;
    navigationItem()->title = title;
    if (navigationItem_->onChange) navigationItem_->onChange();
    if (tabBarItem_) tabBarItem_->setTitle(title);
    titleDidChange();
}

const UINavigationItemPtr& UIViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<UINavigationItem>(title_);
    return navigationItem_;
}

const UITabBarItemPtr& UIViewController::tabBarItem() {
    if (!tabBarItem_) tabBarItem_ = std::make_shared<UITabBarItem>(title_, nullptr);
    return tabBarItem_;
}

void UIViewController::setTabBarItem(UITabBarItemPtr item) {
    tabBarItem_ = std::move(item);
    if (auto tab = tabBarController()) tab->tabBarItemsChanged();
}

// --- Layout guides -----------------------------------------------------------------------------

std::shared_ptr<UILayoutGuide> UIViewController::topLayoutGuide() {
    if (!topGuide_) {
        topGuide_ = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::topLayoutGuide);
        topGuide_->setIdentifier("_UIViewControllerTopLayoutGuide");
        view()->addLayoutGuide(topGuide_);
        updateGuides();
    }
    return topGuide_;
}

std::shared_ptr<UILayoutGuide> UIViewController::bottomLayoutGuide() {
    if (!bottomGuide_) {
        bottomGuide_ = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::bottomLayoutGuide);
        bottomGuide_->setIdentifier("_UIViewControllerBottomLayoutGuide");
        view()->addLayoutGuide(bottomGuide_);
        updateGuides();
    }
    return bottomGuide_;
}

void UIViewController::setBarInsets(const UIEdgeInsets& insets) {
    if (barInsets_ == insets) return;
    barInsets_ = insets;
    updateGuides();
    barInsetsDidChange();
}

void UIViewController::updateGuides() {
    if (topGuide_) topGuide_->setLength(barInsets_.top);
    if (bottomGuide_) bottomGuide_->setLength(barInsets_.bottom);
    if (view_) {
        // A scroll view resting at the top of its content stays there as the bars come and go.
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(view_);
        const bool atTop =
            scroll && automaticallyAdjustsScrollViewInsets && !scroll->isDragging() &&
            scroll->contentOffset().y <= 0 &&
            scroll->contentOffset().y >= std::min<CGFloat>(0, scroll->minimumContentOffset().y);
        const UIEdgeInsets a = additionalSafeAreaInsets;
        view_->setSafeAreaInsets({barInsets_.top + a.top, barInsets_.left + a.left,
                                  barInsets_.bottom + a.bottom, barInsets_.right + a.right});
        if (atTop) scroll->setContentOffset({scroll->contentOffset().x, scroll->minimumContentOffset().y});
    }
}

void UIViewController::barInsetsDidChange() {
    for (const auto& c : children_)
        c->setBarInsets(barInsetsForChild(*c));
}

UIEdgeInsets UIViewController::barInsetsForChild(const UIViewController&) const {
    return barInsets_;
}

// --- Segues and editing ------------------------------------------------------------------------

void UIViewController::performSegue(const std::string& identifier, const std::any& sender) {
    UIStoryboard::performSegue(*this, identifier, sender);
}

bool UIViewController::shouldPerformSegue(const std::string&, const std::any&) {
    return true;
}

void UIViewController::prepare(UIStoryboardSegue&, const std::any&) {}

void UIViewController::setEditing(bool editing, bool) {
    editing_ = editing;
}

UIResponder* UIViewController::nextResponder() const {
    if (view_ && view_->superviewPointer()) return view_->superviewPointer();
    if (auto p = parent_.lock()) return p.get();
    if (auto p = presenting_.lock()) return p.get();
    return nullptr;
}

// --- First responder and input views -----------------------------------------------------------

bool UIViewController::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    auto& keyboard = cw::Keyboard::shared();
    // The input that had the keyboard lets go without taking it down: this controller decides.
    keyboard.beginFocusChange();
    const bool ok = UIResponder::becomeFirstResponder();
    keyboard.endFocusChange();
    if (!ok) return false;
    offerInputViews();
    return true;
}

void UIViewController::offerInputViews() {
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    cw::Keyboard::shared().responderDidBecomeFirstResponder(
        this, inputView(), inputAccessoryView(), [weakSelf] {
            auto self = weakSelf.lock();
            return self && self->isAppearingOrAppeared() && self->becomeFirstResponder();
        });
}

bool UIViewController::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!UIResponder::resignFirstResponder()) return false;
    cw::Keyboard::shared().inputDidResign(this);
    return true;
}

void UIViewController::reloadInputViews() {
    if (isFirstResponder()) offerInputViews();
}

void UIViewController::releaseInputViews() {
    auto& keyboard = cw::Keyboard::shared();
    if (keyboard.dockingResponder() != this && !isFirstResponder()) return;
    keyboard.releaseDock(this);
    // A text input still editing in the docked bar goes down with it.
    if (auto accessory = inputAccessoryView()) accessory->endEditing(true);
    if (auto input = inputView()) input->endEditing(true);
    if (isFirstResponder()) resignFirstResponder();
}
