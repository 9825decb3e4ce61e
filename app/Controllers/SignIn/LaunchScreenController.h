#pragma once

// The welcome screen (scene "LaunchScreenController" of the storyboard "SignInSignUp"). The main
// navigation controller hides its bar above it and above its subclasses.

#include "Controllers/Placeholder/PlaceholderViewController.h"

class LaunchScreenController : public PlaceholderViewController {
public:
    LaunchScreenController() : PlaceholderViewController("Welcome") {}
};
