#pragma once

// The "NICU Journey" container (scene "JourneyContainerViewController" of the storyboard "Feed"),
// opened from the feed with nothing handed over.
//
// For now it shows its title only; the journey comes with the journey's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class JourneyContainerViewController : public PlaceholderViewController {
public:
    JourneyContainerViewController() : PlaceholderViewController("NICU Journey") {}
};
