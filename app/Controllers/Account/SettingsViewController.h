#pragma once

// The settings screen, made with its plain constructor and pushed by the side menu.
//
// For now it shows its title only; the rows come with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class SettingsViewController : public PlaceholderViewController {
public:
    SettingsViewController() : PlaceholderViewController("Settings") {}
};
