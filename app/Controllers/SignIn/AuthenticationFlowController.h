#pragma once

// The navigation controller of the signed-out flow. Its plain constructor takes the sign-in screen
// from the storyboard "SignInSignUp" and makes it the whole stack.
//
// For now the flow is the sign-in screen alone; the registration road comes with the flow's own
// work.

#include "uikit/controllers/UINavigationController.h"

class AuthenticationFlowController : public UINavigationController {
public:
    AuthenticationFlowController();
};
