#pragma once

// The question "New Baby" of the registration road, after each baby entered (scene
// "AddMoreBabiesConfirmationViewController" of the storyboard "SignInSignUp"): add another baby (yes)
// or go on and create the account (no). It only reports the answer to its delegate; the flow that
// shows it also covers it with its activity overlay and its failure banner while the account is made.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UILabel.h"

#include <memory>

class AddMoreBabiesConfirmationViewController;

class AddMoreBabiesConfirmationViewControllerDelegate {
public:
    virtual ~AddMoreBabiesConfirmationViewControllerDelegate() = default;
    // The member wants to add another baby.
    virtual void addMoreBabiesConfirmationViewControllerDidTapMore(AddMoreBabiesConfirmationViewController& screen) = 0;
    // The member has no more babies to add.
    virtual void addMoreBabiesConfirmationViewControllerDidTapDone(AddMoreBabiesConfirmationViewController& screen) = 0;
};

class AddMoreBabiesConfirmationViewController
    : public UIViewController,
      public StoryboardIdentifiable<AddMoreBabiesConfirmationViewController> {
public:
    static constexpr const char* kTitle = "New Baby";

    std::weak_ptr<AddMoreBabiesConfirmationViewControllerDelegate> delegate;
    // The scene's no button; a scene without one still answers both actions.
    std::shared_ptr<OvalButton> noButton;

    void loadView() override;
    void viewDidLoad() override;

    void didTapYes();
    void didTapNo();

    // The scene's own pieces.
    std::shared_ptr<UILabel> questionLabel;
    std::shared_ptr<OvalButton> yesButton;
};
