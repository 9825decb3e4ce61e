#pragma once

// The details of an e-mail invitation, checked with the server: the inviter's name, the inviter's
// e-mail address and the security code. When the server knows the invitation, the "Create Account"
// form of an invited member opens filled with the invited person's name, relationship and e-mail as
// the server has them; the button then reads "Create Account" for good. A check that fails shows the
// server's reason, or "Unexpected error. Please try again." when it gave none.
//
// Opened by the sign-up choice's "Yes, I have". Built in code: the form, the button at the bottom of
// the visible area (lower when the content is taller), in a scroll view that follows the keyboard
// (cw::followKeyboard): its insets cover what the keyboard covers, and the edited field stays above
// it. Main thread only.

#include "Controllers/SignIn/RegistrationInvitationView.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UILabel.h"

#include <memory>

class ValidateInvitationViewController : public UIViewController {
public:
    static constexpr const char* kTitle = "Invitation Information";
    static constexpr const char* kScreenName = "SignUpWithInvitationScreen";
    static constexpr const char* kHeader = "Ok. You have an invitation. Please type the information from the "
                                           "invitation. Then we will search your information.";
    static constexpr const char* kNext = "Next";
    static constexpr const char* kCreateAccount = "Create Account";
    static constexpr const char* kServerError = "Server error";

    // The container's preferred height: the visible height, below the required constraints.
    NSLayoutConstraintPtr minimumContentHeightConstraint;

    // Made on first use and kept.
    const std::shared_ptr<UIScrollView>& scrollView();
    const std::shared_ptr<UIView>& scrollViewContainer();
    const std::shared_ptr<RegistrationInvitationView>& formView();
    const std::shared_ptr<UIButton>& createAccountButton();
    const std::shared_ptr<UILabel>& headerLabel();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    void updateViewConstraints() override;

    void prepareView();
    void setupViewConstraints();
    void createAccountTapped();

private:
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIView> scrollViewContainer_;
    std::shared_ptr<RegistrationInvitationView> formView_;
    std::shared_ptr<UIButton> createAccountButton_;
    std::shared_ptr<UILabel> headerLabel_;
};
