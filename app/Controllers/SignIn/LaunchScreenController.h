#pragma once

// The welcome screen (scene "LaunchScreenController" of the storyboard "SignInSignUp"; nothing in the
// application opens it): "Sign In" pushes a sign-in screen, "Register" shows the first step of a
// registration by invitation, each after its usage event. The main navigation controller hides its
// bar above it and above its subclasses.
//
// The application's navigation controllers never turn their screens: the application delegate sets
// that answer for all of them when it is made (UINavigationController::setAutorotationAnswer).

#include "Extensions/UIStoryboard+Instantiate.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>

class LaunchScreenController : public UIViewController, public StoryboardIdentifiable<LaunchScreenController> {
public:
    static constexpr const char* kScreenName = "LaunchScreen";

    void loadView() override;
    void viewWillAppear(bool animated) override;

    void signInButtonTapped();
    void registerButtonTapped();
};
