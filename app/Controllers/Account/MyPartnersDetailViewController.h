#pragma once

// One person of the family and friends list, read-only: picture, full name, relationship and
// e-mail. A parent can remove them from the family ("card_menu", then a confirmation); the screen
// then goes back to the list, which fetches again when it shows. Built in code, made with the
// person to show.
//
// Removal is offered only when it can be sent: the person has an id (invited people do not yet)
// and the signed-in member a security code.

#include "Models/Partner.h"
#include "Views/LFloatTextField.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIImageView.h"

#include <memory>
#include <string>

class MyPartnersDetailViewController : public UIViewController {
public:
    static constexpr const char* kTitle = "Family & Friends";
    static constexpr const char* kScreenName = "MyPartnerDetailsScreen";
    static constexpr const char* kRemoveQuestion = "Are you sure you want to remove this person?";
    static constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";

    explicit MyPartnersDetailViewController(Partner partner);
    std::string className() const override { return "MyPartnersDetailViewController"; }

    const Partner& partner() const { return partner_; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    // The three build steps of viewDidLoad, in this order.
    void setupConstraints();
    void setupViews();
    void setupDelete();
    // The remove button's question, and the removal that "OK" starts.
    void promptToRemove();
    void removePartner();

    // "<id>---<e-mail>--<name>--<relationship>", as the usage events describe the person.
    std::string partnerDescription() const;

    // Made on first use, each added to its parent then.
    const std::shared_ptr<UIView>& formView();
    const std::shared_ptr<UIView>& border1();
    const std::shared_ptr<UIView>& border2();
    const std::shared_ptr<UIView>& border3();
    const std::shared_ptr<LFloatTextField>& fullNameTextField();
    const std::shared_ptr<LFloatTextField>& relationshipField();
    const std::shared_ptr<LFloatTextField>& emailTextField();
    const std::shared_ptr<UIImageView>& userImageView();

private:
    const std::shared_ptr<UIView>& border(std::shared_ptr<UIView>& slot);

    const Partner partner_;
    std::shared_ptr<UIView> formView_;
    std::shared_ptr<UIView> border1_, border2_, border3_;
    std::shared_ptr<LFloatTextField> fullNameTextField_, relationshipField_, emailTextField_;
    std::shared_ptr<UIImageView> userImageView_;
};
