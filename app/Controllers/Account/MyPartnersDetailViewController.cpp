#include "Controllers/Account/MyPartnersDetailViewController.h"

#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/graphics/UIImage.h"

namespace {

void sendPartnerDetailEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(MyPartnersDetailViewController::kScreenName, action, details);
}

} // namespace

MyPartnersDetailViewController::MyPartnersDetailViewController(Partner partner) : partner_(std::move(partner)) {}

void MyPartnersDetailViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorPalette::backgroundColor());
    edgesForExtendedLayout = UIRectEdge::none;
    setTitle(std::string(kTitle));
    setupConstraints();
    setupViews();
    setupDelete();
}

void MyPartnersDetailViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    sendPartnerDetailEvent(rawValue(ScreenAction::Loaded), {});
}

const std::shared_ptr<UIView>& MyPartnersDetailViewController::formView() {
    if (!formView_) {
        formView_ = std::make_shared<UIView>();
        formView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        formView_->setBackgroundColor(UIColor::whiteColor());
        formView_->layer()->cornerRadius = 5;
        formView_->layer()->borderColor = UIColorPalette::separatorColor();
        formView_->layer()->borderWidth = 0.5;
        view()->addSubview(formView_);
    }
    return formView_;
}

const std::shared_ptr<UIView>& MyPartnersDetailViewController::border(std::shared_ptr<UIView>& slot) {
    if (!slot) {
        slot = std::make_shared<UIView>();
        slot->setTranslatesAutoresizingMaskIntoConstraints(false);
        slot->setBackgroundColor(UIColorPalette::separatorColor());
        formView()->addSubview(slot);
    }
    return slot;
}

const std::shared_ptr<UIView>& MyPartnersDetailViewController::border1() {
    return border(border1_);
}
const std::shared_ptr<UIView>& MyPartnersDetailViewController::border2() {
    return border(border2_);
}
const std::shared_ptr<UIView>& MyPartnersDetailViewController::border3() {
    return border(border3_);
}

const std::shared_ptr<LFloatTextField>& MyPartnersDetailViewController::fullNameTextField() {
    if (!fullNameTextField_) {
        fullNameTextField_ = std::make_shared<LFloatTextField>();
        fullNameTextField_->setTranslatesAutoresizingMaskIntoConstraints(false);
        fullNameTextField_->setPlaceholder(std::string("Full Name"));
        fullNameTextField_->autocapitalizationType = UITextAutocapitalizationType::words;
        fullNameTextField_->returnKeyType = UIReturnKeyType::next;
        formView()->addSubview(fullNameTextField_);
    }
    return fullNameTextField_;
}

const std::shared_ptr<LFloatTextField>& MyPartnersDetailViewController::relationshipField() {
    if (!relationshipField_) {
        relationshipField_ = std::make_shared<LFloatTextField>();
        relationshipField_->setTranslatesAutoresizingMaskIntoConstraints(false);
        relationshipField_->setPlaceholder(std::string("Relationship with baby"));
        // No keyboard: the relationship is not typed.
        relationshipField_->setInputView(std::make_shared<UIView>());
        relationshipField_->returnKeyType = UIReturnKeyType::next;
        formView()->addSubview(relationshipField_);
    }
    return relationshipField_;
}

const std::shared_ptr<LFloatTextField>& MyPartnersDetailViewController::emailTextField() {
    if (!emailTextField_) {
        emailTextField_ = std::make_shared<LFloatTextField>();
        emailTextField_->setTranslatesAutoresizingMaskIntoConstraints(false);
        emailTextField_->setPlaceholder(std::string("Email"));
        emailTextField_->keyboardType = UIKeyboardType::emailAddress;
        emailTextField_->returnKeyType = UIReturnKeyType::next;
        formView()->addSubview(emailTextField_);
    }
    return emailTextField_;
}

const std::shared_ptr<UIImageView>& MyPartnersDetailViewController::userImageView() {
    if (!userImageView_) {
        userImageView_ = std::make_shared<UIImageView>(UIImage::named("card_default_m"));
        userImageView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        lyt_setWidth(*userImageView_, 200);
        lyt_setHeight(*userImageView_, 200);
        userImageView_->layer()->cornerRadius = 5;
        userImageView_->setBackgroundColor(UIColor::clearColor());
        userImageView_->setContentMode(UIViewContentMode::scaleAspectFill);
        userImageView_->setClipsToBounds(true);
        view()->addSubview(userImageView_);
    }
    return userImageView_;
}

void MyPartnersDetailViewController::setupConstraints() {
    auto root = view();
    lyt_layoutHorizontalWithMargin(*formView(), 20);
    formView()->widthAnchor().constraintEqualTo(root->widthAnchor(), 1, -40)->setActive(true);
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{fullNameTextField(), emailTextField(), relationshipField(),
                                                              border1(), border2(), border3()})
        lyt_layoutHorizontalWithMargin(*v, 0);
    lyt_horizontalCenterInSuperView(*userImageView());

    const std::map<std::string, std::shared_ptr<UIView>> views{
        {"formView", formView()},          {"fullName", fullNameTextField()}, {"relationship", relationshipField()},
        {"email", emailTextField()},       {"userImageView", userImageView()}, {"border1", border1()},
        {"border2", border2()},            {"border3", border3()}};
    root->addConstraints(NSLayoutConstraint::constraints("V:|-10-[userImageView]-10-[formView]", 0, {}, views));
    formView()->addConstraints(NSLayoutConstraint::constraints(
        "V:|-10-[fullName]-10-[border1(1)]-10-[relationship]-10-[border2(1)]-10-[email]-10-[border3(1)]|", 0, {},
        views));
}

void MyPartnersDetailViewController::setupViews() {
    if (partner_.pictureFile) updateImageWith(*userImageView(), *partner_.pictureFile);
    for (const auto& field : {fullNameTextField(), relationshipField(), emailTextField()}) field->setEnabled(false);
    fullNameTextField()->setText(partner_.name.value_or(""));
    relationshipField()->setText(partner_.relationship.value_or(""));
    emailTextField()->setText(partner_.email.value_or(""));
}

void MyPartnersDetailViewController::setupDelete() {
    auto user = AuthenticationContext::shared().user();
    if (!user || !user->isParent()) return;
    // The removal needs the person's id and the member's security code; without them nothing could
    // be sent, so nothing is offered.
    if (!partner_.memberID || !user->code()) return;
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto remove = std::make_shared<UIBarButtonItem>(
        imageWithRenderingMode(UIImage::named("card_menu"), UIImageRenderingMode::alwaysOriginal),
        UIBarButtonItemStyle::plain, [weakSelf](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<MyPartnersDetailViewController>(weakSelf.lock()))
                self->promptToRemove();
        });
    remove->accessibilityIdentifier = "card_menu";
    navigationItem()->setRightBarButtonItem(remove, false);
}

void MyPartnersDetailViewController::promptToRemove() {
    auto alert = UIAlertController::make(std::nullopt, std::string(kRemoveQuestion), UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    alert->addAction(UIAlertAction::make("OK", UIAlertActionStyle::default_, [weakSelf](UIAlertAction&) {
        if (auto self = std::static_pointer_cast<MyPartnersDetailViewController>(weakSelf.lock())) self->removePartner();
    }));
    present(alert, true);
    sendPartnerDetailEvent(rawValue(ScreenAction::Tap),
              {{"myPartnersDetailsDeleteMemberTapped", JSON("User was shown a pop to delete member")}});
}

std::string MyPartnersDetailViewController::partnerDescription() const {
    return std::to_string(partner_.memberID.value_or(-1)) + "---" + partner_.email.value_or("blankEmail") + "--" +
           partner_.name.value_or("blankName") + "--" + partner_.relationship.value_or("Unknow");
}

void MyPartnersDetailViewController::removePartner() {
    auto user = AuthenticationContext::shared().user();
    if (!user || !partner_.memberID || !user->code()) return;
    startFullScreenLoadingOverlay(*this);
    const std::string description = partnerDescription();
    auto self = std::static_pointer_cast<MyPartnersDetailViewController>(shared_from_this());
    MemberService("member").deleteFamilyMember(
        partner_,
        [self, description](const BaseHTTPService::Task&, const std::optional<JSON>&) {
            stopFullScreenLoadingOverlay(*self);
            sendPartnerDetailEvent(rawValue(ScreenAction::ServerRequest),
                      {{"myPartnersDetailsDeleteMemberSuccess", JSON("Member deleted successfully")},
                       {"partnerDetails", JSON(description)}});
            if (auto navigation = self->navigationController()) navigation->popViewController(true);
        },
        [self, description](const BaseHTTPService::Task&, const NSError&) {
            stopFullScreenLoadingOverlay(*self);
            showMessage(*self, kUnexpectedError, GSMessageType::error);
            sendPartnerDetailEvent(rawValue(ScreenAction::ServerRequest),
                      {{"myPartnersDetailsDeleteMemberFailure", JSON("Member delete failed")},
                       {"partnerDetails", JSON(description)}});
        });
}
