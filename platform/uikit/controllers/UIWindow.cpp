#include "uikit/controllers/UIWindow.h"

#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIKeyboard.h"

#include <algorithm>

UIWindow::UIWindow() : UIWindow(UIScreen::main().bounds()) {}

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {
    setHidden(true);
}

UIWindow::~UIWindow() {
    UIApplication::shared().removeWindow(this);
}

void UIWindow::setRootViewController(const UIViewControllerPtr& controller) {
    if (root_ == controller) return;
    auto old = root_;
    root_ = controller;
    // What the old root presented leaves with it.
    if (old && old->presentedViewController()) old->dismiss(false);
    if (old) {
        if (visible_) old->beginAppearanceTransition(false, false);
        if (auto v = old->viewIfLoaded(); v && v->superviewPointer() == this) v->removeFromSuperview();
        if (visible_) old->endAppearanceTransition();
    }
    if (!controller) return;
    auto v = controller->view();
    v->setTranslatesAutoresizingMaskIntoConstraints(true);
    v->setFrame(bounds());
    v->setHidden(false);
    insertSubview(v, 0);
    const CGFloat top = controller->prefersStatusBarHidden() ? 0 : UIScreen::main().statusBarHeight();
    controller->setBarInsets({top, 0, 0, 0});
    if (visible_) {
        controller->beginAppearanceTransition(true, false);
        controller->endAppearanceTransition();
    }
    setNeedsLayout();
}

void UIWindow::makeKeyAndVisible() {
    makeKey();
    setHidden(false);
    if (!visible_) {
        visible_ = true;
        if (root_) {
            root_->beginAppearanceTransition(true, false);
            root_->endAppearanceTransition();
        }
    }
    layoutIfNeeded();
}

void UIWindow::makeKey() {
    auto self = std::static_pointer_cast<UIWindow>(shared_from_this());
    UIApplication::shared().addWindow(self);
    UIApplication::shared().setKeyWindow(self);
}

bool UIWindow::isKeyWindow() const {
    return UIApplication::shared().keyWindow().get() == this;
}

UIViewControllerPtr UIWindow::topmostPresentedViewController() const {
    UIViewControllerPtr c = root_;
    while (c && c->presentedViewController())
        c = c->presentedViewController();
    return c;
}

namespace {

// The window's own subview that holds `view` (the root's view or a presented one), if any.
UIView* levelOf(const UIView* window, UIView* view) {
    for (UIView* v = view; v; v = v->superviewPointer())
        if (v->superviewPointer() == window) return v;
    return nullptr;
}

UIView* viewOfResponder(const UIResponder* responder) {
    if (auto* view = dynamic_cast<const UIView*>(responder)) return const_cast<UIView*>(view);
    if (auto* controller = dynamic_cast<const UIViewController*>(responder))
        if (auto v = controller->viewIfLoaded()) return v.get();
    return nullptr;
}

} // namespace

UIView* UIWindow::keyboardLevel() const {
    auto& keyboard = cw::Keyboard::shared();
    const auto& host = keyboard.hostView();
    // The screen being edited: the first responder's, or the one whose bar is docked (its own
    // text input edits inside the keyboard's views).
    for (const UIResponder* r : {static_cast<const UIResponder*>(UIResponder::currentFirstResponder()),
                                 keyboard.dockingResponder()}) {
        UIView* level = levelOf(this, viewOfResponder(r));
        if (level && level != host.get()) return level;
    }
    return nullptr;
}

void UIWindow::layoutSubviews() {
    UIAppearance::apply(*this);
    UIView::layoutSubviews();
    const auto overlays = systemOverlays();
    // The key window carries the keyboard's views right above the screen being edited: an alert
    // or a screen presented over that one stands above the keyboard, as on the phone.
    if (isKeyWindow()) {
        auto& host = cw::Keyboard::shared().hostView();
        UIView* level = keyboardLevel();
        const auto& subs = subviews();
        auto below = std::find_if(subs.begin(), subs.end(), [level](const auto& v) { return v.get() == level; });
        if (host->superviewPointer() != this || below == subs.end()) {
            // With nothing edited the keyboard sits on top of the application, under the system's
            // overlays: compare against the topmost view that is not one, so it is not moved up
            // and the overlays back over it on every pass.
            auto top = std::find_if(subs.rbegin(), subs.rend(), [&overlays](const auto& v) {
                return std::find(overlays.begin(), overlays.end(), v) == overlays.end();
            });
            if (host->superviewPointer() != this || top == subs.rend() || *top != host) addSubview(host);
        } else if (below + 1 == subs.end() || *(below + 1) != host) {
            insertSubviewAbove(host, *below);
        }
    }
    for (auto& overlay : overlays)
        bringSubviewToFront(overlay);
    if (root_) {
        if (auto v = root_->viewIfLoaded(); v && v->superviewPointer() == this) v->setFrame(bounds());
    }
}

void UIWindow::addSystemOverlay(const std::shared_ptr<UIView>& view) {
    if (!view) return;
    if (view->superviewPointer() != this) addSubview(view);
    std::erase_if(overlays_, [&](const std::weak_ptr<UIView>& o) { return o.expired() || o.lock() == view; });
    overlays_.push_back(view);
    for (auto& overlay : systemOverlays())
        bringSubviewToFront(overlay);
}

std::vector<std::shared_ptr<UIView>> UIWindow::systemOverlays() const {
    std::vector<std::shared_ptr<UIView>> shown;
    for (const auto& o : overlays_)
        if (auto v = o.lock(); v && v->superviewPointer() == this) shown.push_back(v);
    return shown;
}

std::shared_ptr<UIView> UIWindow::hitTest(CGPoint point, const UIEvent* event) {
    const auto overlays = systemOverlays();
    for (auto it = overlays.rbegin(); it != overlays.rend(); ++it)
        if (auto hit = (*it)->hitTest((*it)->convertShownFrom(point, this), event)) return hit;
    auto host = cw::Keyboard::shared().hostView();
    if (!host || host->superviewPointer() != this || host->isHidden()) return UIView::hitTest(point, event);
    // What stands above the keyboard takes its touches first. The keyboard takes every touch
    // within its frame, a part of its bar that draws nothing included; beside it (the host view
    // covers the screen) touches go through to the screen below.
    auto hit = UIView::hitTest(point, event);
    if (hit != host || cw::Keyboard::shared().frame().contains(host->convertShownFrom(point, this))) return hit;
    host->setHidden(true);
    hit = UIView::hitTest(point, event);
    host->setHidden(false);
    return hit;
}

UIResponder* UIWindow::nextResponder() const {
    return nullptr;
}
