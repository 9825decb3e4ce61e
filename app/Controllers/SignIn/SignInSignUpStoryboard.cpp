#include "Controllers/SignIn/SignInSignUpStoryboard.h"

#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"
#include "Controllers/SignIn/LaunchScreenController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/PasswordResetViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Controllers/SignIn/SignUpViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"

namespace {

template <class T> void addScene(UIStoryboard::Definition& definition) {
    definition.scene(T::storyboardIdentifier(), [] { return std::make_shared<T>(); });
}

} // namespace

UIStoryboard::Definition signInSignUpStoryboard() {
    UIStoryboard::Definition d;
    d.initialScene = LoginViewController::storyboardIdentifier();
    addScene<LoginViewController>(d);
    addScene<SecurityCodeSignUpViewController>(d);
    addScene<RegistrationWithInvitation>(d);
    addScene<TermsAndConditionsController>(d);
    addScene<MRNLookupViewController>(d);
    addScene<NewBabyViewController>(d);
    addScene<AddMoreBabiesConfirmationViewController>(d);
    addScene<PasswordResetViewController>(d);
    addScene<LaunchScreenController>(d);
    addScene<SignUpViewController>(d);
    return d;
}
