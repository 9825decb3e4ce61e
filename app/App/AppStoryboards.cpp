#include "App/AppStoryboards.h"

#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/Account/AccountStoryboards.h"
#include "Controllers/Baby/CareTeamPageViewController.h"
#include "Controllers/Baby/DailyUpdateStoryboard.h"
#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "Controllers/Baby/JourneyPageViewController.h"
#include "Controllers/Education/EducationStoryboard.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/SignIn/SignInSignUpStoryboard.h"
#include "Controllers/Feed/FeedStoryboard.h"
#include "uikit/controllers/UIStoryboard.h"

#include <mutex>

namespace {

template <class T> UIViewControllerPtr make() {
    return std::make_shared<T>();
}

// The tabs of the main tab bar, in order.
const std::vector<std::string> kMainTabs = {"MainViewController", "DailyUpdatePageViewController",
                                            "CareTeamPageViewController", "JourneyPageViewController",
                                            "EducationCenterParentViewController"};

UIStoryboard::Definition mainStoryboard() {
    UIStoryboard::Definition d;
    d.scene(MainNavigationController::storyboardIdentifier(), [] {
        auto nav = std::make_shared<MainNavigationController>();
        nav->setViewControllers({UIStoryboard::named("Main")->instantiateViewController("TabBarController")});
        return nav;
    });
    d.scene("TabBarController", [] {
        auto tabs = std::make_shared<TabBarController>();
        auto board = UIStoryboard::named("Main");
        std::vector<UIViewControllerPtr> controllers;
        for (const auto& identifier : kMainTabs) {
            auto tab = board->instantiateViewController(identifier);
            // The baby pagers show their page's title and bar items, so each stands in a
            // navigation controller of its own, styled as the main one (which hides its bar above
            // the tabs); the tab shows the pager's own item.
            if (std::dynamic_pointer_cast<BabyPageViewController>(tab)) {
                auto navigation = std::make_shared<MainNavigationController>(tab);
                navigation->setTabBarItem(tab->tabBarItem());
                tab = navigation;
            }
            controllers.push_back(tab);
        }
        tabs->setViewControllers(controllers);
        return tabs;
    });
    d.scene("MainViewController", make<MainViewController>);
    d.scene("DailyUpdatePageViewController", make<DailyUpdatePageViewController>);
    d.scene("CareTeamPageViewController", make<CareTeamPageViewController>);
    d.scene("JourneyPageViewController", make<JourneyPageViewController>);
    addEducationScenes(d);
    return d;
}

} // namespace

void registerAppStoryboards() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::registerStoryboard("Main", mainStoryboard());
        registerFeedStoryboard();
        UIStoryboard::registerStoryboard("SignInSignUp", signInSignUpStoryboard());
        registerDailyUpdateStoryboard();
        registerAccountStoryboards();
        registerJourneyStoryboard();
    });
}
