#pragma once

// The NICU journey of one baby (scene "JourneyViewController" of the storyboard "Journey"), one page
// of the "Journey" pager, which sets its `baby` before the view loads. It titles itself
// "NICU Journey" when its view loads.
//
// For now it shows its title only; the timeline comes with the journey's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"

#include <memory>

class JourneyViewController : public PlaceholderViewController,
                              public StoryboardIdentifiable<JourneyViewController> {
public:
    JourneyViewController() : PlaceholderViewController("NICU Journey") {}

    std::shared_ptr<BabyData> baby;
};

// The storyboard "Journey". Registering again changes nothing.
void registerJourneyStoryboard();
