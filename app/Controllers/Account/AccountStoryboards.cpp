#include "Controllers/Account/AccountStoryboards.h"

#include "Controllers/Account/CareTeamViewController.h"
#include "Controllers/Account/InviteFamilyViewController.h"
#include "Controllers/Account/MyPartnersViewController.h"
#include "Controllers/Account/NotificationSettingsViewController.h"
#include "uikit/controllers/UIStoryboard.h"

#include <mutex>

namespace {

template <class T> UIViewControllerPtr make() {
    return std::make_shared<T>();
}

UIStoryboard::Definition familyAndFriendsStoryboard() {
    UIStoryboard::Definition d;
    d.scene(MyPartnersViewController::storyboardIdentifier(), make<MyPartnersViewController>);
    d.scene(InviteFamilyViewController::storyboardIdentifier(), make<InviteFamilyViewController>);
    return d;
}

UIStoryboard::Definition settingsStoryboard() {
    UIStoryboard::Definition d;
    d.scene(NotificationSettingsViewController::storyboardIdentifier(), make<NotificationSettingsViewController>);
    return d;
}

UIStoryboard::Definition careTeamStoryboard() {
    UIStoryboard::Definition d;
    d.scene(CareTeamViewController::storyboardIdentifier(), make<CareTeamViewController>);
    return d;
}

} // namespace

void registerAccountStoryboards() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::registerStoryboard("FamilyAndFriends", familyAndFriendsStoryboard());
        UIStoryboard::registerStoryboard("Settings", settingsStoryboard());
        UIStoryboard::registerStoryboard("CareTeam", careTeamStoryboard());
    });
}
