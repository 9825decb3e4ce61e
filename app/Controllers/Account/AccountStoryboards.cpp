#include "Controllers/Account/AccountStoryboards.h"

#include "Controllers/Account/InviteFamilyViewController.h"
#include "Controllers/Account/MyPartnersViewController.h"

namespace {

template <class T> UIViewControllerPtr make() {
    return std::make_shared<T>();
}

} // namespace

UIStoryboard::Definition familyAndFriendsStoryboard() {
    UIStoryboard::Definition d;
    d.scene(MyPartnersViewController::storyboardIdentifier(), make<MyPartnersViewController>);
    d.scene(InviteFamilyViewController::storyboardIdentifier(), make<InviteFamilyViewController>);
    return d;
}
