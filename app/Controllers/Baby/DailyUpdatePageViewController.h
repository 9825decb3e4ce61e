#pragma once

// The "Update" tab of the main tab bar (scene "DailyUpdatePageViewController" of the storyboard "Main"): the daily updates of each
// baby. It gives itself its tab item when the storyboard makes it.
//
// For now it shows its title only; the pages of each baby come with the baby pager's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class DailyUpdatePageViewController : public PlaceholderViewController {
public:
    DailyUpdatePageViewController() : PlaceholderViewController("Update") {}
    void awakeFromNib() override;
};
