#pragma once

// The rows of the side menu, in their order. Each row but Logout opens a screen: asking for it
// reports the row's usage event and makes a new screen every time.

#include "uikit/controllers/UIViewController.h"

#include <string>
#include <vector>

enum class SideNavMenuItem { myAccount, myBaby, myPartners, settings, logout };

struct SideNavMenuItemInfo {
    SideNavMenuItem item;
    const char* title;
    // The usage event's one detail (none for Logout, whose path sends its own event).
    const char* eventKey;
    const char* eventValue;
};

// Every row, in menu order.
const std::vector<SideNavMenuItemInfo>& sideNavMenuItems();
std::string title(SideNavMenuItem item);
// Sends the row's usage event ("SideNavgiationViewScreen" / "Tap", from the background queue) and
// returns a new screen for it; none for Logout.
UIViewControllerPtr viewController(SideNavMenuItem item);
