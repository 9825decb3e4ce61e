#include "App/AppStoryboards.h"

#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/Account/AccountStoryboards.h"
#include "Controllers/Baby/CareTeamPageViewController.h"
#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "Controllers/Baby/JourneyPageViewController.h"
#include "Controllers/Education/EducationCenterParentViewController.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/SignIn/SignInSignUpStoryboard.h"
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
        for (const auto& identifier : kMainTabs)
            controllers.push_back(board->instantiateViewController(identifier));
        tabs->setViewControllers(controllers);
        return tabs;
    });
    d.scene("MainViewController", make<MainViewController>);
    d.scene("DailyUpdatePageViewController", make<DailyUpdatePageViewController>);
    d.scene("CareTeamPageViewController", make<CareTeamPageViewController>);
    d.scene("JourneyPageViewController", make<JourneyPageViewController>);
    d.scene("EducationCenterParentViewController", make<EducationCenterParentViewController>);
    return d;
}

UIStoryboard::Definition feedStoryboard() {
    UIStoryboard::Definition d;
    d.scene(FeedViewController::storyboardIdentifier(), make<FeedViewController>);
    d.scene("FeedDetailWebViewController", make<FeedDetailWebViewController>);
    d.scene("PostDetailsViewController", make<PostDetailsViewController>);
    return d;
}

} // namespace

void registerAppStoryboards() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::registerStoryboard("Main", mainStoryboard());
        UIStoryboard::registerStoryboard("Feed", feedStoryboard());
        UIStoryboard::registerStoryboard("SignInSignUp", signInSignUpStoryboard());
        registerAccountStoryboards();
        registerJourneyStoryboard();
    });
}
