#pragma once

// View controllers: a screen's root view made on first use, the appearance calls in the
// platform's order, containment of child controllers, modal presentation, the navigation and
// tab bar items, segues, and the layout guides that keep content clear of the bars.
//
// Controllers are shared objects made with std::make_shared (they hand themselves out to their
// views, children and presentations). A parent holds its children, a presenter holds what it
// presents; every link back (parent, presenting controller, delegates) is weak.

#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UIPopoverPresentationController.h"
#include "uikit/view/UIView.h"

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UINavigationController;
class UITabBarController;
class UIStoryboard;
class UIStoryboardSegue;
class UIWindow;
class UIViewController;

using UIViewControllerPtr = std::shared_ptr<UIViewController>;

enum class UIModalPresentationStyle {
    fullScreen,
    pageSheet,
    formSheet,
    currentContext,
    custom,
    overFullScreen,
    overCurrentContext,
    popover,
    none,
};

enum class UIModalTransitionStyle { coverVertical, flipHorizontal, crossDissolve, partialCurl };

enum class UIStatusBarStyle { default_, lightContent };

enum class UIInterfaceOrientationMask : unsigned {
    portrait = 1u << 1,
    landscapeLeft = 1u << 4,
    landscapeRight = 1u << 3,
    portraitUpsideDown = 1u << 2,
    landscape = (1u << 3) | (1u << 4),
    all = 30,
    allButUpsideDown = 26,
};

enum class UIRectEdge : unsigned { none = 0, top = 1, left = 2, bottom = 4, right = 8, all = 15 };

class UIViewController : public UIResponder,
                         public cw::ViewOwner,
                         public cw::AssociatedObjects,
                         public std::enable_shared_from_this<UIViewController> {
public:
    UIViewController();
    ~UIViewController() override;
    UIViewController(const UIViewController&) = delete;
    UIViewController& operator=(const UIViewController&) = delete;

    // The class name the platform prints for this controller (the dynamic type's own name).
    virtual std::string className() const;
    std::string description() const;
    std::weak_ptr<const void> sharedResponderOwner() const override { return weak_from_this(); }

    // --- The view ------------------------------------------------------------------------
    // Loads the view when it is first asked for: loadView, then viewDidLoad.
    std::shared_ptr<UIView> view();
    std::shared_ptr<UIView> viewIfLoaded() const { return view_; }
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(std::shared_ptr<UIView> view);
    void loadViewIfNeeded() { view(); }
    // Makes the root view; the base makes a plain view the size of the screen.
    virtual void loadView();
    virtual void viewDidLoad() {}

    // --- Appearance, in the platform's order ---------------------------------------------
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);
    void viewWillLayoutSubviews() override {}
    void viewDidLayoutSubviews() override {}
    // Called in place of the root view's updateConstraints; the base runs the view's own.
    void updateViewConstraints() override;

    // Starts or ends the appearance of this controller and of the children it forwards to.
    // Containers call these for their children; calls that do not change the state are ignored.
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    // Whether the controller is shown (between viewDidAppear and viewWillDisappear) or showing.
    bool isAppeared() const { return appearance_ == Appearance::appeared; }
    bool isAppearingOrAppeared() const {
        return appearance_ == Appearance::appearing || appearance_ == Appearance::appeared;
    }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    bool isMovingToParentViewController() const { return movingToParent_; }
    bool isMovingFromParentViewController() const { return movingFromParent_; }

    // --- Containment ---------------------------------------------------------------------
    UIViewControllerPtr parentViewController() const { return parent_.lock(); }
    const std::vector<UIViewControllerPtr>& childViewControllers() const { return children_; }
    // Adds a child; calls the child's willMove(toParent:) first. The caller adds the child's view
    // and then calls didMove(toParent:).
    void addChildViewController(const UIViewControllerPtr& child);
    // Removes this controller from its parent and calls didMove(toParent: none). The caller
    // calls willMove(toParent: none) and removes the view first.
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const UIViewControllerPtr& parent);
    virtual void didMoveToParentViewController(const UIViewControllerPtr& parent);
    // The nearest enclosing navigation or tab bar controller (not this one).
    std::shared_ptr<UINavigationController> navigationController() const;
    std::shared_ptr<UITabBarController> tabBarController() const;
    // Whether this controller's view hierarchy defines where current-context presentations go.
    bool definesPresentationContext = false;

    // --- Presentation --------------------------------------------------------------------
    UIModalPresentationStyle modalPresentationStyle = UIModalPresentationStyle::fullScreen;
    UIModalTransitionStyle modalTransitionStyle = UIModalTransitionStyle::coverVertical;
    // Presents `controller` over this one (or over the controller that defines the context).
    // Refused with the platform's console warning while another presentation is shown or in
    // progress, or while this controller's view is not in a window.
    void present(const UIViewControllerPtr& controller, bool animated, std::function<void()> completion = {});
    // Dismisses what this controller presents, or, when it presents nothing, this controller
    // itself from its presenter.
    void dismiss(bool animated, std::function<void()> completion = {});
    UIViewControllerPtr presentedViewController() const;
    UIViewControllerPtr presentingViewController() const;
    // Pushes inside a navigation controller, else presents.
    virtual void show(const UIViewControllerPtr& controller, const std::any& sender = {});
    virtual void showDetailViewController(const UIViewControllerPtr& controller, const std::any& sender = {});
    // The size this controller asks for when shown in a popover (zero: the platform's size).
    CGSize preferredContentSize() const { return preferredContentSize_; }
    void setPreferredContentSize(CGSize size);
    // The popover controller of a controller whose presentation style is popover, made on first
    // use; none for the other styles.
    std::shared_ptr<UIPopoverPresentationController> popoverPresentationController();

    // --- Items and texts -----------------------------------------------------------------
    const std::optional<std::string>& title() const { return title_; }
    // Also titles the navigation item, and the tab bar item when it has none.
    void setTitle(std::optional<std::string> title);
    const UINavigationItemPtr& navigationItem();
    const UITabBarItemPtr& tabBarItem();
    void setTabBarItem(UITabBarItemPtr item);
    bool hidesBottomBarWhenPushed = false;

    // --- Status bar and rotation ---------------------------------------------------------
    virtual UIStatusBarStyle preferredStatusBarStyle() const { return UIStatusBarStyle::default_; }
    virtual bool prefersStatusBarHidden() const { return false; }
    virtual bool shouldAutorotate() const { return true; }
    virtual UIInterfaceOrientationMask supportedInterfaceOrientations() const {
        return UIInterfaceOrientationMask::allButUpsideDown;
    }
    void setNeedsStatusBarAppearanceUpdate() {}

    // --- Layout guides -------------------------------------------------------------------
    // The legacy guides: from the view's top down to the bottom of the bars above the content,
    // and from the bottom up to the top of the bars below it.
    std::shared_ptr<UILayoutGuide> topLayoutGuide();
    std::shared_ptr<UILayoutGuide> bottomLayoutGuide();
    // Extra insets this controller adds to its view's safe area.
    UIEdgeInsets additionalSafeAreaInsets;
    UIRectEdge edgesForExtendedLayout = UIRectEdge::all;
    bool automaticallyAdjustsScrollViewInsets = true;
    // Set by whoever places the view (the window or a container): how far the bars and the
    // status bar reach into the view from each edge.
    void setBarInsets(const UIEdgeInsets& insets);
    const UIEdgeInsets& barInsets() const { return barInsets_; }

    // --- Storyboards and segues ----------------------------------------------------------
    std::shared_ptr<UIStoryboard> storyboard() const { return storyboard_; }
    // The scene this controller was made from, in its storyboard.
    const std::string& storyboardSceneIdentifier() const { return sceneIdentifier_; }
    // Runs shouldPerformSegue, then prepare(for:sender:), then the transition; an identifier the
    // controller's scene does not have is the platform's uncaught exception.
    void performSegue(const std::string& identifier, const std::any& sender = {});
    virtual bool shouldPerformSegue(const std::string& identifier, const std::any& sender);
    virtual void prepare(UIStoryboardSegue& segue, const std::any& sender);

    // --- Editing -------------------------------------------------------------------------
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated);

    // --- Responder chain -----------------------------------------------------------------
    UIResponder* nextResponder() const override;
    UIResponder* ownerResponder() override { return this; }

    // A controller that can become first responder becomes it when it has appeared (unless
    // something else is first responder). While it is, the keyboard docks its input accessory
    // view at the bottom edge (and shows its input view, if it has one); a text input inside that
    // accessory carries it up on the keys and, when it lets go, hands the focus back. When the
    // controller disappears, it lets go and its accessory leaves the screen.
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void reloadInputViews() override;

    // The window the view is in, if any.
    std::shared_ptr<UIWindow> viewWindow() const;

    // The children that receive this controller's appearance calls: by default every child
    // whose view is inside this controller's view.
    virtual std::vector<UIViewControllerPtr> childrenForAppearanceForwarding() const;
    // Lets containers tell their children how far bars reach into them.
    virtual void barInsetsDidChange();
    // The insets a child gets from this container; the base passes its own on.
    virtual UIEdgeInsets barInsetsForChild(const UIViewController& child) const;

protected:
    // After setTitle: a controller whose view shows its title shows the new one.
    virtual void titleDidChange() {}

private:
    friend class UIStoryboard;
    friend class UIWindow;
    friend struct PresentationAccess;
    enum class Appearance { disappeared, appearing, appeared, disappearing };

    UIViewControllerPtr rootAncestor();
    UIViewControllerPtr presentationContextFor(UIModalPresentationStyle style);
    void installPresentedView(const UIViewControllerPtr& controller, UIModalPresentationStyle style);
    // Draws an animated presentation's motion: `controller`'s view coming on (or leaving).
    static void playPresentationMotion(UIViewController& controller, UIModalPresentationStyle style, bool appearing);
    void dismissPresented(bool animated, std::function<void()> completion);
    void updateGuides();
    // Tells the keyboard what this first responder shows, and how it takes the focus back.
    void offerInputViews();
    // Lets go of the first responder and the keyboard's dock (the controller is leaving).
    void releaseInputViews();

    std::shared_ptr<UIView> view_;
    bool loadingView_ = false;
    Appearance appearance_ = Appearance::disappeared;
    bool lastAppearanceAnimated_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool movingToParent_ = false;
    bool movingFromParent_ = false;
    bool editing_ = false;

    std::weak_ptr<UIViewController> parent_;
    std::vector<UIViewControllerPtr> children_;

    UIViewControllerPtr presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalPresentationStyle presentedStyle_ = UIModalPresentationStyle::fullScreen;
    // The controller whose view a current-context presentation covers.
    std::weak_ptr<UIViewController> coveredContext_;
    bool presentationInProgress_ = false;
    CGSize preferredContentSize_{0, 0};
    std::shared_ptr<UIPopoverPresentationController> popover_;

    std::optional<std::string> title_;
    UINavigationItemPtr navigationItem_;
    UITabBarItemPtr tabBarItem_;

    UIEdgeInsets barInsets_;
    std::shared_ptr<UILayoutGuide> topGuide_;
    std::shared_ptr<UILayoutGuide> bottomGuide_;

    std::shared_ptr<UIStoryboard> storyboard_;
    std::string sceneIdentifier_;
    // Set by the storyboard: instantiates the scene's embedded children once the view is made.
    std::function<void(UIViewController&)> embedSegues_;
};
