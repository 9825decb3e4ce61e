#include "Controllers/SignIn/SignInSignUpStoryboard.h"

#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"
#include "Controllers/Baby/NewBabyFlowController.h"
#include "Controllers/SignIn/LaunchScreenController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/MRNLookupViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/PasswordResetViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Controllers/SignIn/SignUpViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"

namespace {

template <class T> void addScene(UIStoryboard::Definition& definition) {
    definition.scene(T::storyboardIdentifier(), [] { return std::make_shared<T>(); });
}

// Hands a found baby to the add-a-baby flow; the lookup screen keeps it.
class FoundBabyRelay : public MRNLookupViewControllerDelegate {
public:
    explicit FoundBabyRelay(NewBabyFlowController::FoundBaby found) : found_(std::move(found)) {}
    void mrnLookupViewController(MRNLookupViewController& screen, const std::shared_ptr<BabyData>& baby) override {
        found_(screen, baby);
    }

private:
    NewBabyFlowController::FoundBaby found_;
};

const char kFoundBabyRelayKey = 0;

UIViewControllerPtr makeBabyLookup(const std::string& headerDescription, NewBabyFlowController::FoundBaby found) {
    auto screen = std::make_shared<MRNLookupViewController>();
    screen->headerDescription = headerDescription;
    auto relay = std::make_shared<FoundBabyRelay>(std::move(found));
    screen->delegate = relay;
    screen->setAssociatedObject(&kFoundBabyRelayKey, std::shared_ptr<MRNLookupViewControllerDelegate>(relay));
    return screen;
}

} // namespace

UIStoryboard::Definition signInSignUpStoryboard() {
    // The add-a-baby flow of My Baby (a module below this one) finds babies with this lookup.
    NewBabyFlowController::setLookupScreenMaker(makeBabyLookup);
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
