#pragma once

// The care team of one baby (scene "CareTeamViewController" of the storyboard "CareTeam"), one page
// of the "Team" pager, which sets its `baby` before the view loads.
//
// For now it shows its title only; the list comes with the care team's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"

#include <memory>

class CareTeamViewController : public PlaceholderViewController,
                               public StoryboardIdentifiable<CareTeamViewController> {
public:
    CareTeamViewController() : PlaceholderViewController("Care Team") {}

    std::shared_ptr<BabyData> baby;
};
