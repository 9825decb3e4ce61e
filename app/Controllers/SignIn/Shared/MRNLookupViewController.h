#pragma once

// Finds a baby by the hospital's medical record number (scene "MRNLookupViewController" of the
// storyboard "SignInSignUp"). The member types the number and taps "Search"; the server's baby record
// goes to the delegate (the authentication flow on the registration road, the add-a-baby flow for a
// signed-in member); the keyboard's Search key searches too. "Search" is disabled while a lookup
// runs; every failure shows a banner and keeps the typed number. On a short screen the view moves
// up 56 points while the keyboard is up.

#include "Controllers/SignIn/Shared/SignInKeyboardShift.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>

class MRNLookupViewController;

class MRNLookupViewControllerDelegate {
public:
    virtual ~MRNLookupViewControllerDelegate() = default;
    virtual void mrnLookupViewController(MRNLookupViewController& screen, const std::shared_ptr<BabyData>& baby) = 0;
};

class MRNLookupViewController : public UIViewController,
                                public UITextFieldDelegate,
                                public StoryboardIdentifiable<MRNLookupViewController> {
public:
    static const std::string welcomeHeaderDescription;
    static const std::string defaultHeaderDescription;
    static constexpr const char* kSomethingWentWrong = "Something went wrong";
    static constexpr CGFloat kKeyboardShift = 56;

    // Shown above the field; presenters may set it before the view loads.
    std::optional<std::string> headerDescription = defaultHeaderDescription;
    std::weak_ptr<MRNLookupViewControllerDelegate> delegate;
    std::shared_ptr<UILabel> descriptionLabel;
    std::shared_ptr<UITextField> mrnTextField;
    std::shared_ptr<OvalButton> submitButton;

    bool canBecomeFirstResponder() const override { return true; }
    void loadView() override;
    void viewDidLoad() override;

    void onSubmit();
    void dismissKeyboard();
    // The keyboard's Search key searches, as the "Search" button does.
    bool textFieldShouldReturn(UITextField* field) override;

private:
    std::shared_ptr<KeyboardShift> keyboardShift_;
};
