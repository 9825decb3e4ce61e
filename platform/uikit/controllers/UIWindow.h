#pragma once

// The window: the view at the root of everything the screen shows. It holds the root view
// controller, whose view fills it, and the views of presented controllers above that.

#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <vector>

class UIWindow : public UIView {
public:
    UIWindow();
    explicit UIWindow(const CGRect& frame);
    ~UIWindow() override;

    std::string className() const override { return "UIWindow"; }
    UIWindow* asWindow() override { return this; }

    const UIViewControllerPtr& rootViewController() const { return root_; }
    // Installs the controller's view as the window's content; when the window is visible the old
    // root disappears and the new one appears.
    void setRootViewController(const UIViewControllerPtr& controller);

    // Shows the window and makes it the application's key window.
    void makeKeyAndVisible();
    void makeKey();
    bool isKeyWindow() const;
    bool isVisible() const { return visible_; }
    CGFloat windowLevel = 0;

    // Views the system draws above the application and its keyboard (a notification banner, the
    // Touch ID prompt): they stay in front of everything else the window holds, and take touches first.
    void addSystemOverlay(const std::shared_ptr<UIView>& view);

    // Every controller whose view is shown, from the root up through the presented ones.
    UIViewControllerPtr topmostPresentedViewController() const;

    void layoutSubviews() override;
    // The keyboard's layer lies above the screen being edited (and below what is presented over
    // it) and only takes touches on what it holds.
    std::shared_ptr<UIView> hitTest(CGPoint point, const UIEvent* event) override;
    UIResponder* nextResponder() const override;

private:
    // The system's overlays still in the window, oldest first.
    std::vector<std::shared_ptr<UIView>> systemOverlays() const;
    // The subview of the window (the root's view or a presented one) that holds the screen being
    // edited; none when nothing is.
    UIView* keyboardLevel() const;

    UIViewControllerPtr root_;
    bool visible_ = false;
    std::vector<std::weak_ptr<UIView>> overlays_;
};

using UIWindowPtr = std::shared_ptr<UIWindow>;
