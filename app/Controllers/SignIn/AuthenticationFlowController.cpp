#include "Controllers/SignIn/AuthenticationFlowController.h"

#include "Controllers/SignIn/LoginViewController.h"
#include "uikit/controllers/UIStoryboard.h"

AuthenticationFlowController::AuthenticationFlowController() {
    setViewControllers({instantiateViewController<LoginViewController>(*UIStoryboard::named("SignInSignUp"))}, false);
}
