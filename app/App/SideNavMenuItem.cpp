#include "App/SideNavMenuItem.h"

#include "Controllers/Account/MyAccountViewController.h"
#include "Controllers/Account/MyPartnersViewController.h"
#include "Controllers/Account/SettingsViewController.h"
#include "Controllers/Baby/MyBabyViewController.h"
#include "Services/AnalyticsService.h"
#include "uikit/controllers/UIStoryboard.h"

const std::vector<SideNavMenuItemInfo>& sideNavMenuItems() {
    static const std::vector<SideNavMenuItemInfo> items = {
        {SideNavMenuItem::myAccount, "My Account", "sideNavigationViewMyAccountTapped", "MyAccountView tapped"},
        {SideNavMenuItem::myBaby, "My Baby", "sideNavigationViewMyBabyTapped", "MyBabyView tapped"},
        {SideNavMenuItem::myPartners, "Family & Friends", "sideNavigationViewFamilyAndFriendsTapped",
         "MyPartnersView tapped"},
        {SideNavMenuItem::settings, "Settings", "sideNavigationViewSettingsTapped", "SettingsView tapped"},
        {SideNavMenuItem::logout, "Logout", nullptr, nullptr},
    };
    return items;
}

namespace {

const SideNavMenuItemInfo& info(SideNavMenuItem item) {
    for (const auto& i : sideNavMenuItems())
        if (i.item == item) return i;
    return sideNavMenuItems().back();
}

UIViewControllerPtr makeScreen(SideNavMenuItem item) {
    switch (item) {
    case SideNavMenuItem::myAccount:
        return std::make_shared<MyAccountViewController>();
    case SideNavMenuItem::myBaby:
        return std::make_shared<MyBabyViewController>();
    case SideNavMenuItem::myPartners:
        return instantiateViewController<MyPartnersViewController>(*UIStoryboard::named("FamilyAndFriends"));
    case SideNavMenuItem::settings:
        return std::make_shared<SettingsViewController>();
    case SideNavMenuItem::logout:
        break;
    }
    return nullptr;
}

} // namespace

std::string title(SideNavMenuItem item) {
    return info(item).title;
}

UIViewControllerPtr viewController(SideNavMenuItem item) {
    const auto& i = info(item);
    if (!i.eventKey) return nullptr;
    AnalyticsService().send("SideNavgiationViewScreen", rawValue(ScreenAction::Tap),
                            {{i.eventKey, JSON(i.eventValue)}});
    return makeScreen(item);
}
