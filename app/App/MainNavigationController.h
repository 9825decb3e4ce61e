#pragma once

// The navigation controller at the root of the main interface (scene "MainNavigationController" of
// the storyboard "Main"), and the one each baby pager's tab stands in. It styles its bar, gives every screen it shows an empty back title (the
// screen above shows the back arrow alone), and hides the bar while a full-screen container is on
// top: the drawer, the welcome screen or the tab bar controller (or a subclass of one of them).

#include "Extensions/UIStoryboard+Instantiate.h"
#include "uikit/controllers/UINavigationController.h"

class MainNavigationController : public UINavigationController,
                                 public UINavigationControllerDelegate,
                                 public StoryboardIdentifiable<MainNavigationController> {
public:
    using UINavigationController::UINavigationController;

    void viewDidLoad() override;
    void willShow(UINavigationController& navigationController, const UIViewControllerPtr& controller,
                  bool animated) override;
    void didShow(UINavigationController&, const UIViewControllerPtr&, bool) override {}

    // Whether the bar is hidden above this controller.
    static bool hidesBarAbove(const UIViewController& controller);
};
