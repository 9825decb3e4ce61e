#pragma once

// The baby found by its medical record number, for the member to check before the account is made
// (scene "NewBabyViewController" of the storyboard "SignInSignUp"): the authentication flow sets
// `babyData` before showing it, makes itself its `delegate`, and hears the same record back when it
// is submitted.
//
// For now it shows the baby's name and "Submit" hands the record back unchanged; the form (name,
// birthday, gender, picture) comes with the registration screens' own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "uikit/controls/UIButton.h"
#include "uikit/view/UILabel.h"

#include <memory>

class NewBabyViewController;

class NewBabyViewControllerDelegate {
public:
    virtual ~NewBabyViewControllerDelegate() = default;
    virtual void newBabyViewController(NewBabyViewController& screen, const std::shared_ptr<BabyData>& baby) = 0;
};

class NewBabyViewController : public PlaceholderViewController,
                              public StoryboardIdentifiable<NewBabyViewController> {
public:
    NewBabyViewController();
    void viewDidLoad() override;

    std::shared_ptr<BabyData> babyData;
    std::weak_ptr<NewBabyViewControllerDelegate> delegate;

    // Hands the record to the delegate (nothing without one).
    void submitTapped();

    std::shared_ptr<UILabel> nameLabel;
    std::shared_ptr<UIButton> submitButton;
};
