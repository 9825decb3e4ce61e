#pragma once

// The storyboard "SignInSignUp": every signed-out screen, each under the name of the controller type
// that runs it. LoginViewController is the initial scene; LaunchScreenController and
// SignUpViewController are scenes that nothing in the application opens.

#include "uikit/controllers/UIStoryboard.h"

UIStoryboard::Definition signInSignUpStoryboard();
