#pragma once

// A stack of controllers under a navigation bar: push, pop, pop to one or to the root, set the
// whole stack, animated or not, with the appearance calls on both controllers and the delegate's
// willShow/didShow (also for the root when the stack first appears). A transition asked for while
// another runs waits for it.

#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIVisualEffectView.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class UINavigationController;

class UINavigationControllerDelegate {
public:
    virtual ~UINavigationControllerDelegate() = default;
    virtual void willShow(UINavigationController&, const UIViewControllerPtr&, bool /*animated*/) {}
    virtual void didShow(UINavigationController&, const UIViewControllerPtr&, bool /*animated*/) {}
};

class UINavigationBar : public UIView {
public:
    UINavigationBar();
    std::string className() const override { return "UINavigationBar"; }

    // The items of the stack, bottom first; the last is shown.
    void setItems(std::vector<UINavigationItemPtr> items);
    const std::vector<UINavigationItemPtr>& items() const { return items_; }
    UINavigationItemPtr topItem() const { return items_.empty() ? nullptr : items_.back(); }

    // A translucent bar without a bar tint or a background image blurs what lies under it, as the
    // platform's does (the screen reaches up under it); one with a tint, or an opaque one, shows its
    // colour.
    bool isTranslucent = true;
    std::optional<UIColor> barTintColor;
    // Font and colour of the title.
    TextAttributes titleTextAttributes;
    std::shared_ptr<UIImage> backIndicatorImage;
    std::shared_ptr<UIImage> backIndicatorTransitionMaskImage;
    // Replaces the hairline under the bar (an empty image: no line).
    std::shared_ptr<UIImage> shadowImage;
    // Drawn stretched over the bar in place of its colour (an empty image: no background).
    std::shared_ptr<UIImage> backgroundImage;
    // The height of the status bar the bar's background reaches up under.
    CGFloat statusBarInset = 20;
    static constexpr CGFloat kHeight = 44;

    // Run when the back button is tapped (the navigation controller pops).
    std::function<void()> onBack;

    // The shared style new bars take.
    struct Appearance {
        std::optional<UIColor> tintColor;
        std::optional<UIColor> barTintColor;
        TextAttributes titleTextAttributes;
        std::shared_ptr<UIImage> backIndicatorImage;
    };
    static Appearance& appearance();

    // Rebuilds the buttons and title from the items.
    void reloadItems();
    void layoutSubviews() override;
    void tintColorDidChange() override { reloadItems(); }

private:
    // What the items were last built with: a change of tint (the bar moved into a tinted
    // window), title attributes or back image rebuilds them at the next layout.
    struct BuiltWith {
        UIColor tint;
        TextAttributes titleTextAttributes;
        std::shared_ptr<UIImage> backIndicatorImage;
        bool operator==(const BuiltWith&) const = default;
    };
    BuiltWith builtWith() const { return {tintColor(), titleTextAttributes, backIndicatorImage}; }
    std::optional<BuiltWith> built_;

    std::vector<UINavigationItemPtr> items_;
    std::shared_ptr<UIVisualEffectView> blur_;
    std::shared_ptr<UIView> background_;
    std::shared_ptr<UIView> hairline_;
    std::vector<std::shared_ptr<UIView>> itemViews_;
    bool reloading_ = false;
};

class UINavigationController : public UIViewController {
public:
    UINavigationController();
    // The stack may be set while the controller is being made (also by a subclass's
    // constructor): its controllers become children once the navigation controller is shared.
    explicit UINavigationController(const UIViewControllerPtr& root);

    // Sets the root of a controller made without one (controllers are shared objects, so the
    // root is added once the navigation controller exists).
    static std::shared_ptr<UINavigationController> withRoot(const UIViewControllerPtr& root);

    const std::vector<UIViewControllerPtr>& viewControllers() const { return stack_; }
    void setViewControllers(std::vector<UIViewControllerPtr> controllers, bool animated = false);
    UIViewControllerPtr topViewController() const { return stack_.empty() ? nullptr : stack_.back(); }
    // The top controller, or what it presents.
    UIViewControllerPtr visibleViewController() const;

    void pushViewController(const UIViewControllerPtr& controller, bool animated);
    UIViewControllerPtr popViewController(bool animated);
    std::vector<UIViewControllerPtr> popToViewController(const UIViewControllerPtr& controller,
                                                         bool animated);
    std::vector<UIViewControllerPtr> popToRootViewController(bool animated);

    std::shared_ptr<UINavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UINavigationControllerDelegate>& delegate) {
        delegate_ = delegate;
    }

    const std::shared_ptr<UINavigationBar>& navigationBar();
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);

    void show(const UIViewControllerPtr& controller, const std::any& sender = {}) override;

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    std::vector<UIViewControllerPtr> childrenForAppearanceForwarding() const override { return {}; }
    UIEdgeInsets barInsetsForChild(const UIViewController& child) const override;
    UIStatusBarStyle preferredStatusBarStyle() const override;
    // The shown controller's answer, unless the process has set one answer for every navigation
    // controller (an application that never turns its screens sets it to false).
    bool shouldAutorotate() const override;
    static void setAutorotationAnswer(std::optional<bool> answer);
    static std::optional<bool> autorotationAnswer();

    // Frames of the bar and the shown controller's view (the container view calls this).
    void layoutContent();
    bool isInTransition() const { return transitioning_; }

private:
    void transition(const UIViewControllerPtr& from, std::vector<UIViewControllerPtr> removed,
                    std::vector<UIViewControllerPtr> added, bool animated);
    // Draws an animated transition's motion from `from` to `to` (forward: a push).
    void slide(const UIViewControllerPtr& from, const UIViewControllerPtr& to, bool forward);
    void runOrQueue(std::function<void()> op);
    void finishTransition();
    void updateBar();
    void install(const UIViewControllerPtr& controller);
    bool onScreen() const { return isAppearingOrAppeared(); }

    std::vector<UIViewControllerPtr> stack_;
    std::weak_ptr<UINavigationControllerDelegate> delegate_;
    std::shared_ptr<UINavigationBar> bar_;
    bool barHidden_ = false;
    bool transitioning_ = false;
    std::deque<std::function<void()>> queued_;
    void adoptPendingChildren();
    std::weak_ptr<UIViewController> lastShown_;
    bool childrenPending_ = false;
    bool pendingDidShow_ = false;
};
