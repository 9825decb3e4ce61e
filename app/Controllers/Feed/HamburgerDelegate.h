#pragma once

// The feed screen's link to the drawer that holds it: the menu button toggles the side menu, and
// the feed asks for a red dot to be shown or hidden (true hides it). The feed holds it weakly.
class HamburgerDelegate {
public:
    virtual ~HamburgerDelegate() = default;
    virtual void hamburgerTapped() = 0;
    virtual void hideRedDot(bool hide) = 0;
};
