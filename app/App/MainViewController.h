#pragma once

// The container of the signed-in interface (the "Home" tab): a side drawer whose centre is the feed
// screen and whose left drawer is the side menu. The feed's menu button toggles the drawer.
//
// When its view loads it also does the main interface's start-up chores: it asks for notification
// permission and registers for remote notifications, loads the member's notification settings
// into the user defaults and resets the member's notification count (twice, as the load always
// has). The container lives as long as the main interface, that is for one session: the next
// member's gets a container of its own, which does the chores for her.
//
// When it goes it unregisters from remote notifications, unless a newer container has registered
// since: one let go late (a reply still holding it) must not undo the next member's registration.

#include "Controllers/Feed/HamburgerDelegate.h"
#include "kits/drawer/MMDrawerController.h"

#include <cstdint>

class MainViewController : public MMDrawerController, public HamburgerDelegate {
public:
    static constexpr CGFloat kDrawerWidth = 250;
    static constexpr const char* kMenuScreen = "SideNavgiationViewScreen";
    static constexpr const char* kSettingsFailure = "failed to update notification settings";

    MainViewController();
    ~MainViewController() override;

    bool loadEducationCenterFromNotification = false;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    // Toggles the side menu: ends editing, reports the tap, opens a closed drawer and closes an
    // open or half-open one.
    void hamburgerTapped() override;
    // Has no visible effect.
    void hideRedDot(bool hide) override;
    void showEducationCenterAfterLoad();
    // The member's notification settings from the server into the user defaults.
    void loadNotificationSettings();

private:
    void registerForRemoteNotifications();
    void resetNotificationCount();

    // The number of registrations by any container when this one was made or last registered.
    std::uint64_t registrationsSeen_;
};
