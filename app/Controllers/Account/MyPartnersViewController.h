#pragma once

// The family and friends list (scene "MyPartnersViewController" of the storyboard
// "FamilyAndFriends"), pushed by the side menu.
//
// For now it shows its title only; the list comes with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"

class MyPartnersViewController : public PlaceholderViewController,
                                 public StoryboardIdentifiable<MyPartnersViewController> {
public:
    MyPartnersViewController() : PlaceholderViewController("Family & Friends") {}
};
