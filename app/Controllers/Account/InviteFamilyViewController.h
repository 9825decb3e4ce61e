#pragma once

// "Invite Family & Friends" (scene "InviteFamilyViewController" of the storyboard "FamilyAndFriends"):
// a parent invites someone by full name, e-mail and relationship to the baby, chosen on a picker
// whose first row, "Select One", fills nothing. The family list presents it in a navigation
// controller of its own, with a Cancel button that the list handles, and hears of a sent
// invitation through InviteFamilyViewControllerDelegate; the screen closes itself after sending.
//
// The send button is enabled (alpha 1) when the full name or the e-mail is about to be edited, and
// disabled again (alpha 0.5) each time the screen disappears; it starts disabled. A refusal of the
// server shows its message, or "Unexpected error. Please try again." when the reply carries none.
// A field left empty sends nothing: its placeholder turns red and the banner says "All fields are
// required.".

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Services/ActionKey.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITextField.h"

#include <memory>
#include <string>
#include <vector>

class InviteFamilyViewController;

// Told, after the screen has closed itself, that an invitation went out.
class InviteFamilyViewControllerDelegate {
public:
    virtual ~InviteFamilyViewControllerDelegate() = default;
    virtual void inviteFamilyViewControllerDidSendInvite(InviteFamilyViewController& controller) = 0;
};

class InviteFamilyViewController : public UIViewController,
                                   public UIPickerViewDataSource,
                                   public UIPickerViewDelegate,
                                   public UITextFieldDelegate,
                                   public StoryboardIdentifiable<InviteFamilyViewController> {
public:
    static constexpr const char* kTitle = "Invite Family & Friends";
    static constexpr const char* kScreenName = "InviteViewScreen";
    static constexpr const char* kSelectOne = "Select One";
    static constexpr const char* kSendInviteAgain = "Send invite again?";
    static constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";
    static constexpr const char* kAllFieldsRequired = "All fields are required.";

    InviteFamilyViewController();
    std::string className() const override { return "InviteFamilyViewController"; }

    // The scene: the fields, the chevron and the send button in a scroll view.
    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // Outlets (held weakly; the view holds them).
    std::shared_ptr<UITextField> fullNameTextField() const { return fullNameTextField_.lock(); }
    std::shared_ptr<UITextField> emailTextField() const { return emailTextField_.lock(); }
    std::shared_ptr<UITextField> relationshipTextField() const { return relationshipTextField_.lock(); }
    std::shared_ptr<OvalButton> sendInviteButton() const { return sendInviteButton_.lock(); }
    std::shared_ptr<UIScrollView> scrollView() const { return scrollView_.lock(); }
    std::shared_ptr<UIButton> relationshipChevronButton() const { return relationshipChevronButton_.lock(); }

    // "Mother", "Father", "Grand Parent", "Relative", "Friend", "Others".
    const std::vector<std::string>& pickerData() const { return pickerData_; }
    void setPickerData(std::vector<std::string> data) { pickerData_ = std::move(data); }
    bool sendInviteShowing() const { return sendInviteShowing_; }
    void setSendInviteShowing(bool showing) { sendInviteShowing_ = showing; }
    std::shared_ptr<InviteFamilyViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<InviteFamilyViewControllerDelegate>& delegate) { delegate_ = delegate; }

    // Made on first use.
    const std::shared_ptr<UIPickerView>& relationPickerView();
    const std::shared_ptr<UIToolbar>& inputAccessoryToolbar();

    // Actions.
    void sendInviteTapped(UIButton* sender);
    void modalCancelled();
    void relationshipChevronButtonTapped();
    void dismissKeyboard();
    void didTapInputDone();

    // The picker: "Select One" and the six relationships.
    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long component) override;
    std::optional<std::string> titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

    bool textFieldShouldBeginEditing(UITextField* textField) override;
    bool textFieldShouldReturn(UITextField* textField) override;

private:
    void setSendEnabled(bool enabled);
    void inviteFailed(const std::optional<std::string>& message, const std::string& relationship);
    void sendInvite(const std::string& fullName, const std::string& relationship, const std::string& email,
                    std::int64_t memberId, const ActionKey& key);

    std::weak_ptr<UITextField> fullNameTextField_;
    std::weak_ptr<UITextField> emailTextField_;
    std::weak_ptr<UITextField> relationshipTextField_;
    std::weak_ptr<OvalButton> sendInviteButton_;
    std::weak_ptr<UIScrollView> scrollView_;
    std::weak_ptr<UIButton> relationshipChevronButton_;

    std::vector<std::string> pickerData_;
    bool sendInviteShowing_ = true;
    std::weak_ptr<InviteFamilyViewControllerDelegate> delegate_;
    std::shared_ptr<UIPickerView> relationPickerView_;
    std::shared_ptr<UIToolbar> inputAccessoryToolbar_;
    // The invitation as the form stands: sent again unchanged it carries the same key.
    FormAction action_;
};
