#pragma once

// The education library's tab (scene "EducationCenterParentViewController" of the storyboard
// "Main"), which gives itself its tab item when the storyboard makes it.
//
// For now it shows its title only; the library comes with the education center's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class EducationCenterParentViewController : public PlaceholderViewController {
public:
    EducationCenterParentViewController() : PlaceholderViewController("Education") {}
    void awakeFromNib() override;
};
