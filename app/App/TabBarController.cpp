#include "App/TabBarController.h"

#include "Services/AnalyticsService.h"

void TabBarController::viewDidLoad() {
    UITabBarController::viewDidLoad();
    setDelegate(std::dynamic_pointer_cast<UITabBarControllerDelegate>(shared_from_this()));
}

void TabBarController::tabBarDidSelect(UITabBar&, const UITabBarItemPtr& item) {
    const std::string title = item && item->title() ? *item->title() : "N/A";
    AnalyticsService().send(kScreenName, ScreenAction::Tap, {{"tabBarTap", JSON(title)}});
}
