#include "ControllerTestSupport.h"

#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UISearchBar.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

TEST_F(ControllerTest, ProxiesStyleViewsInsideTheirContainersOnly) {
    const UIFont avenir =
        UIFont::named("Avenir-Medium", 16).value_or(UIFont::systemFont(16, UIFont::Weight::medium));
    UIAppearance::proxy("UILabel", {"UISearchBar"}).font = avenir;
    UIAppearance::proxy("UITextField", {"UISearchBar"}).font = avenir;
    TextAttributes barItem;
    barItem.font = avenir;
    UIBarButtonItem::appearance("UISearchBar").setTitleTextAttributes(barItem, UIBarItemState::normal);

    auto screen = make("S");
    auto search = std::make_shared<UISearchBar>();
    search->setShowsCancelButton(true);
    auto outside = std::make_shared<UILabel>();
    auto inside = std::make_shared<UILabel>();
    search->addSubview(inside);
    screen->view()->addSubview(search);
    screen->view()->addSubview(outside);
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    window->setNeedsLayout();
    window->layoutIfNeeded();

    EXPECT_EQ(inside->font(), avenir);
    EXPECT_EQ(search->searchTextField()->font(), avenir);
    EXPECT_EQ(search->cancelButton()->titleLabel()->font(), avenir);
    EXPECT_NE(outside->font(), avenir);

    // Applied once: a later explicit choice stands.
    inside->setFont(UIFont::systemFont(9));
    window->setNeedsLayout();
    window->layoutIfNeeded();
    EXPECT_EQ(inside->font(), UIFont::systemFont(9));
    UIAppearance::reset();
    UIBarButtonItem::appearance("UISearchBar").setTitleTextAttributes({}, UIBarItemState::normal);
}

TEST_F(ControllerTest, TabBarItemsMadeAfterTheProxyIsSetTakeItsTitleAttributes) {
    TextAttributes normal, selected;
    normal.foregroundColor = UIColor::grayColor();
    selected.foregroundColor = UIColor::whiteColor();
    UITabBarItem::appearance().setTitleTextAttributes(normal, UIBarItemState::normal);
    UITabBarItem::appearance().setTitleTextAttributes(selected, UIBarItemState::selected);
    auto item = std::make_shared<UITabBarItem>("Update", nullptr);
    EXPECT_EQ(item->titleTextAttributes(UIBarItemState::normal).foregroundColor, UIColor::grayColor());
    EXPECT_EQ(item->titleTextAttributes(UIBarItemState::selected).foregroundColor, UIColor::whiteColor());
    UITabBarItem::appearance().setTitleTextAttributes({}, UIBarItemState::normal);
    UITabBarItem::appearance().setTitleTextAttributes({}, UIBarItemState::selected);
}
