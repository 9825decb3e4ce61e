#include "Controllers/SignIn/SignUpViewController.h"

#include "Controllers/SignIn/RegistrationEmailViewController.h"
#include "Controllers/SignIn/SignInText.h"
#include "Controllers/SignIn/ValidateInvitationViewController.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "uikit/controls/UIEvent.h"

std::shared_ptr<UILabel> SignUpViewController::makeLabel(const char* text, const std::string& identifier) {
    auto label = SignInText::makeHeading(text, 17);
    label->setAccessibilityIdentifier(identifier);
    view()->addSubview(label);
    return label;
}

const std::shared_ptr<GoldenButton>& SignUpViewController::createNewAccountButton() {
    if (!createNewAccountButton_) {
        createNewAccountButton_ = std::make_shared<GoldenButton>();
        createNewAccountButton_->setTitle(std::string("No, I don't"), UIControlStateNormal);
        createNewAccountButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        createNewAccountButton_->addTarget(this, &SignUpViewController::newAccountTapped, UIControlEventTouchUpInside);
        view()->addSubview(createNewAccountButton_);
    }
    return createNewAccountButton_;
}

const std::shared_ptr<GreenButton>& SignUpViewController::invitationButton() {
    if (!invitationButton_) {
        invitationButton_ = std::make_shared<GreenButton>();
        invitationButton_->setTitle(std::string("Yes, I have"), UIControlStateNormal);
        invitationButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        invitationButton_->addTarget(this, &SignUpViewController::invitationTapped, UIControlEventTouchUpInside);
        view()->addSubview(invitationButton_);
    }
    return invitationButton_;
}

const std::shared_ptr<UILabel>& SignUpViewController::headerLabel() {
    if (!headerLabel_) headerLabel_ = makeLabel(kWelcome, "headerLabel");
    return headerLabel_;
}

const std::shared_ptr<UILabel>& SignUpViewController::secondaryHeaderLabel() {
    if (!secondaryHeaderLabel_) secondaryHeaderLabel_ = makeLabel(kQuestion, "secondaryHeaderLabel");
    return secondaryHeaderLabel_;
}

void SignUpViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    view()->setBackgroundColor(UIColorWithHex("#EAE6E4", 1));
    const std::shared_ptr<UIView> stacked[] = {createNewAccountButton(), invitationButton(), headerLabel(),
                                               secondaryHeaderLabel()};
    for (const auto& v : stacked)
        lyt_layoutHorizontalWithMargin(*v, 20);
    view()->addConstraints(NSLayoutConstraint::constraints(
        "V:[topLayoutGuide]-30-[headerLabel][secondaryHeaderLabel]-20-[invitationButton]-10-[createNewAccountButton]",
        {}, {},
        NSLayoutViews{{"topLayoutGuide", topLayoutGuide()},
                      {"createNewAccountButton", createNewAccountButton()},
                      {"invitationButton", invitationButton()},
                      {"headerLabel", headerLabel()},
                      {"secondaryHeaderLabel", secondaryHeaderLabel()}}));
}

void SignUpViewController::viewWillAppear(bool animated) {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
    UIViewController::viewWillAppear(animated);
}

void SignUpViewController::invitationTapped() {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap),
                            {{"userNewAccountWithInvitation", JSON("User trying to create new account with invitation")}});
    show(std::make_shared<ValidateInvitationViewController>(), std::any(UIViewControllerPtr(shared_from_this())));
}

void SignUpViewController::newAccountTapped() {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap),
                            {{"userNewAccount", JSON("User trying to create new account")}});
    show(std::make_shared<RegistrationEmailViewController>(), std::any(UIViewControllerPtr(shared_from_this())));
}
