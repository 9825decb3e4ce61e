#pragma once

// A welcome that asks a new member whether a family member sent them an e-mail invitation: "Yes, I
// have" opens the invitation validation, "No, I don't" the registration by e-mail verification. A
// scene of the storyboard "SignInSignUp" that nothing in the application opens yet; it must stand
// in a navigation controller, since its answers push their screens. Each answer makes a new screen.
//
// Main thread only.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Views/GoldenButton.h"
#include "Views/GreenButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UILabel.h"

#include <memory>

class SignUpViewController : public UIViewController, public StoryboardIdentifiable<SignUpViewController> {
public:
    static constexpr const char* kTitle = "Sign Up";
    static constexpr const char* kScreenName = "SignUpScreen";
    static constexpr const char* kWelcome = "Welcome to CRADLEWAY.";
    static constexpr const char* kQuestion =
        "Let's create a new account. Do you have an email invitation sent from your family member?";

    // Made on first use and kept.
    const std::shared_ptr<GoldenButton>& createNewAccountButton();
    const std::shared_ptr<GreenButton>& invitationButton();
    const std::shared_ptr<UILabel>& headerLabel();
    const std::shared_ptr<UILabel>& secondaryHeaderLabel();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void invitationTapped();
    void newAccountTapped();

private:
    std::shared_ptr<UILabel> makeLabel(const char* text, const std::string& identifier);

    std::shared_ptr<GoldenButton> createNewAccountButton_;
    std::shared_ptr<GreenButton> invitationButton_;
    std::shared_ptr<UILabel> headerLabel_;
    std::shared_ptr<UILabel> secondaryHeaderLabel_;
};
