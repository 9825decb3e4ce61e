#pragma once

// The "Journey" tab of the main tab bar (scene "JourneyPageViewController" of the storyboard "Main"): the NICU journey of each
// baby. It gives itself its tab item when the storyboard makes it.
//
// For now it shows its title only; the pages of each baby come with the baby pager's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class JourneyPageViewController : public PlaceholderViewController {
public:
    JourneyPageViewController() : PlaceholderViewController("Journey") {}
    void awakeFromNib() override;
};
