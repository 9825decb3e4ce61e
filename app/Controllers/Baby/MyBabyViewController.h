#pragma once

// The My Baby screen, made with its plain constructor and pushed by the side menu.
//
// For now it shows its title only; the babies come with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class MyBabyViewController : public PlaceholderViewController {
public:
    MyBabyViewController() : PlaceholderViewController("My Baby") {}
};
