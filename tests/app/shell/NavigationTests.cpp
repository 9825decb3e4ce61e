#include "ShellFixture.h"

#include "App/TabBarController.h"
#include "Controllers/SignIn/LaunchScreenController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace cw::test {

namespace {

class WelcomeVariant : public LaunchScreenController {};
class DrawerVariant : public MainViewController {};
class TabsVariant : public TabBarController {};

std::vector<std::string> tabTitles(const UITabBarController& tabs) {
    std::vector<std::string> titles;
    for (const auto& c : tabs.viewControllers())
        titles.push_back(c->tabBarItem()->title().value_or("-"));
    return titles;
}

} // namespace

TEST_F(ShellTest, TheMainNavigationStylesItsBarAndHidesItAboveFullScreenContainers) {
    storeSession(true, true);
    launch();
    auto nav = mainNavigation();
    ASSERT_TRUE(nav);
    auto tabs = std::dynamic_pointer_cast<TabBarController>(nav->viewControllers().front());
    ASSERT_TRUE(tabs) << "the tab bar controller is the first screen";

    const auto& bar = nav->navigationBar();
    ASSERT_TRUE(bar->backIndicatorImage);
    EXPECT_EQ(bar->backIndicatorImage->size(), UIImage::named("cwy_back")->size());
    EXPECT_EQ(bar->backIndicatorTransitionMaskImage, bar->backIndicatorImage);
    EXPECT_EQ(bar->tintColor(), UIColorPalette::cwy_mountainMeadow());
    EXPECT_EQ(bar->titleTextAttributes.font, UIFont::systemFont(18, UIFont::Weight::semibold));
    EXPECT_TRUE(nav->isNavigationBarHidden()) << "hidden above the tab bar controller";

    // A screen pushed above: the bar shows, with the back arrow and no back text.
    auto detail = std::make_shared<UIViewController>();
    nav->pushViewController(detail, true);
    host->settle();
    EXPECT_FALSE(nav->isNavigationBarHidden());
    for (const auto& shown : {UIViewControllerPtr(tabs), UIViewControllerPtr(detail)}) {
        auto back = shown->navigationItem()->backBarButtonItem;
        ASSERT_TRUE(back) << shown->className();
        EXPECT_EQ(back->title(), std::string());
        EXPECT_EQ(back->style(), UIBarButtonItemStyle::plain);
        EXPECT_FALSE(back->action());
    }
    EXPECT_TRUE(host->findByIdentifier("BackButton"));
    EXPECT_FALSE(host->isShowing("Back"));

    ASSERT_TRUE(host->goBack());
    EXPECT_TRUE(nav->isNavigationBarHidden());

    // The welcome screen and subclasses of the hiding kinds hide it too.
    nav->pushViewController(std::make_shared<WelcomeVariant>(), false);
    host->settle();
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_TRUE(MainNavigationController::hidesBarAbove(DrawerVariant()));
    EXPECT_TRUE(MainNavigationController::hidesBarAbove(TabsVariant()));
    EXPECT_FALSE(MainNavigationController::hidesBarAbove(UIViewController()));
}

TEST_F(ShellTest, TheTabsComeFromTheStoryboardAndEachSelectionIsReported) {
    storeSession(true, true);
    launch();
    waitForRequests(5);
    server.clearRequests();
    auto tabs = std::dynamic_pointer_cast<TabBarController>(mainNavigation()->viewControllers().front());
    ASSERT_TRUE(tabs);
    EXPECT_THAT(tabTitles(*tabs), ElementsAre("Home", "Update", "Team", "Journey", "Education"));
    const std::vector<std::string> images = {"tab-home", "tab-calendar", "tab-team", "tab-journey", "tab-education"};
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto& item = tabs->viewControllers()[i]->tabBarItem();
        ASSERT_TRUE(item->image()) << images[i];
        EXPECT_EQ(item->image()->size(), UIImage::named(images[i])->size());
        EXPECT_FALSE(item->selectedImage()) << images[i];
    }

    ASSERT_TRUE(host->tapText("Journey"));
    EXPECT_EQ(tabs->selectedIndex(), 3u);
    EXPECT_TRUE(mainNavigation()->isNavigationBarHidden());
    ASSERT_TRUE(host->tapText("Home"));
    // A tab whose item has no title.
    tabs->viewControllers()[4]->tabBarItem()->setTitle(std::nullopt);
    tabs->tapTab(4);
    // The education tab asks for its own pages; only the tab bar's events count here.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return eventsOf("TabBarController").size() >= 3; }, 10));
    host->settle();
    std::vector<nlohmann::json> details;
    for (const auto& e : eventsOf("TabBarController")) {
        EXPECT_EQ(e.action, "Tap");
        details.push_back(e.details);
    }
    EXPECT_THAT(details, UnorderedElementsAre(nlohmann::json{{"tabBarTap", "Journey"}}, nlohmann::json{{"tabBarTap", "Home"}},
                                     nlohmann::json{{"tabBarTap", "N/A"}}));
    const std::size_t before = server.requestCount();
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    ASSERT_TRUE(server.waitForRequests(before + 1));
    EXPECT_EQ(eventsOf("TabBarController").size(), 3u);
}

} // namespace cw::test

namespace cw::test {

TEST_F(ShellTest, EachTabOpensOnAClickHeldAsAPersonHoldsIt) {
    // The driver's tap holds the finger down across a drawn frame, as a click in the window does;
    // the press's highlight lays the bar out meanwhile, and the tab must still switch.
    storeSession(true, true);
    launch();
    waitForRequests(5);
    auto tabs = std::dynamic_pointer_cast<TabBarController>(mainNavigation()->viewControllers().front());
    ASSERT_TRUE(tabs);
    const std::vector<std::string> titles = {"Update", "Team", "Journey", "Education", "Home"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::size_t index = i + 1 < titles.size() ? i + 1 : 0;
        ASSERT_TRUE(host->tapText(titles[i])) << titles[i];
        EXPECT_EQ(tabs->selectedIndex(), index) << titles[i];
    }
}

} // namespace cw::test
