#pragma once

// The tab bar controller of the main interface (scene "TabBarController" of the storyboard "Main",
// the main navigation controller's first screen). Its tabs come from the storyboard; it reports
// every tab the member selects as a usage event.

#include "uikit/controllers/UITabBarController.h"

class TabBarController : public UITabBarController, public UITabBarControllerDelegate {
public:
    static constexpr const char* kScreenName = "TabBarController";

    void viewDidLoad() override;
    void tabBarDidSelect(UITabBar& bar, const UITabBarItemPtr& item) override;
};
