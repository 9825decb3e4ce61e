#pragma once

// The navigation controller of every signed-out screen. The application delegate makes one and keeps
// it; when a session starts it shows the main interface instead and returns this flow to its first
// screen, the sign-in screen (whose bar is hidden; every other screen has the "cwy_back" arrow with
// no title).
//
// The flow is its own navigation delegate: as each screen is about to show, it makes itself that
// screen's delegate and then pushes the next screen when the screen reports back. Along the
// registration road it keeps the member, the password and the babies found, and at the end sends the
// sign-up, starts the session with the reply and presents onboarding over the new root:
//
//   registration form → terms → MRN lookup → new baby → "New Baby" question
//                                    ↑                           | yes
//                                    └───────────────────────────┘ no: sign-up
//
// What it keeps lasts only for one registration: a new form submission starts the list of babies
// afresh, a baby submitted again (back to its details and submit) replaces its earlier entry, and a
// successful sign-up forgets all three. A failed sign-up keeps them, so that "No" can be tapped again.
//
// Main thread only.

#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"
#include "Models/BabyData.h"
#include "Models/UserData.h"
#include "Services/ActionKey.h"
#include "uikit/controllers/UINavigationController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class AuthenticationFlowController : public UINavigationController,
                                     public UINavigationControllerDelegate,
                                     public RegistrationViewControllerDelegate,
                                     public TermsAndConditionControllerDelegate,
                                     public MRNLookupViewControllerDelegate,
                                     public NewBabyViewControllerDelegate,
                                     public AddMoreBabiesConfirmationViewControllerDelegate {
public:
    // The usage event of a failed sign-up.
    static constexpr const char* kFailureScreenName = "MyBabyScreen";
    static constexpr const char* kFailureDescription = "User encountered error while creating account with baby";
    static constexpr const char* kFailureMessage = "An error occurred";

    // The babies confirmed on this registration, in the order they were entered.
    std::vector<std::shared_ptr<BabyData>> babies;
    std::shared_ptr<UserData> registrationInfo;
    std::optional<std::string> registrationPassword;

    // The stack is the sign-in screen of "SignInSignUp" alone.
    AuthenticationFlowController();

    void viewDidLoad() override;

    void willShow(UINavigationController& navigation, const UIViewControllerPtr& screen, bool animated) override;
    void didShow(UINavigationController&, const UIViewControllerPtr&, bool) override {}

    void registrationViewController(RegistrationWithInvitation& screen, const std::shared_ptr<UserData>& userData,
                                    const std::string& password) override;
    void termsAndConditionControllerDidTapAccept(TermsAndConditionsController& screen) override;
    void mrnLookupViewController(MRNLookupViewController& screen, const std::shared_ptr<BabyData>& baby) override;
    void newBabyViewController(NewBabyViewController& screen, const std::shared_ptr<BabyData>& baby) override;
    void addMoreBabiesConfirmationViewControllerDidTapMore(AddMoreBabiesConfirmationViewController& screen) override;
    void addMoreBabiesConfirmationViewControllerDidTapDone(AddMoreBabiesConfirmationViewController& screen) override;

private:
    // Sends the sign-up with what the road gathered; `sender` carries the overlay and the banner.
    void registerMember(UIViewController& sender);
    void sendSignUp(UIViewController& sender, const ActionKey& key);
    void showNext(const UIViewControllerPtr& screen);
    std::shared_ptr<AuthenticationFlowController> self();

    // The sign-up of the registration as gathered: "No" again (after a failure) sends the same key;
    // a member form or a baby submitted again is a new registration with a new key.
    FormAction signUp_;
};
