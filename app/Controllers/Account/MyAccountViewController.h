#pragma once

// The My Account screen, made with its plain constructor and pushed by the side menu.
//
// For now it shows its title only; the member's details come with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class MyAccountViewController : public PlaceholderViewController {
public:
    MyAccountViewController() : PlaceholderViewController("My Account") {}
};
