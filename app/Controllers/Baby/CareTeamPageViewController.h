#pragma once

// The "Team" tab of the main tab bar (scene "CareTeamPageViewController" of the storyboard "Main"): the care team of each
// baby. It gives itself its tab item when the storyboard makes it.
//
// For now it shows its title only; the pages of each baby come with the baby pager's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class CareTeamPageViewController : public PlaceholderViewController {
public:
    CareTeamPageViewController() : PlaceholderViewController("Team") {}
    void awakeFromNib() override;
};
