#include "Controllers/SignIn/ValidateInvitationViewController.h"

#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/Shared/SignInMessages.h"
#include "Controllers/SignIn/SignInText.h"
#include "Controllers/SignIn/SignInWeakly.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/InviteService.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "kits/banners/GSMessage.h"
#include "net/AFURLResponseSerialization.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

#include <iostream>

namespace {

void sendTap(const JSON::dictionary_t& details) {
    AnalyticsService().send(ValidateInvitationViewController::kScreenName, rawValue(ScreenAction::Tap), details);
}

} // namespace

const std::shared_ptr<UIScrollView>& ValidateInvitationViewController::scrollView() {
    if (!scrollView_) {
        scrollView_ = std::make_shared<UIScrollView>();
        scrollView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        scrollView_->keyboardDismissMode = UIScrollViewKeyboardDismissMode::interactive;
        cw::followKeyboard(scrollView_);
        scrollView_->setAccessibilityIdentifier("invitationScrollView");
        scrollView_->addSubview(scrollViewContainer());
    }
    return scrollView_;
}

const std::shared_ptr<UIView>& ValidateInvitationViewController::scrollViewContainer() {
    if (!scrollViewContainer_) {
        scrollViewContainer_ = std::make_shared<UIView>();
        scrollViewContainer_->setTranslatesAutoresizingMaskIntoConstraints(false);
        for (const auto& v : std::vector<UIViewPtr>{headerLabel(), formView(), createAccountButton()})
            scrollViewContainer_->addSubview(v);
    }
    return scrollViewContainer_;
}

const std::shared_ptr<RegistrationInvitationView>& ValidateInvitationViewController::formView() {
    if (!formView_) {
        formView_ = std::make_shared<RegistrationInvitationView>();
        formView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        formView_->setBackgroundColor(UIColor::whiteColor());
        formView_->layer()->cornerRadius = 5;
        formView_->layer()->borderColor = UIColorWithHex("#EAE6EF", 1);
        formView_->layer()->borderWidth = 0.5;
    }
    return formView_;
}

const std::shared_ptr<UIButton>& ValidateInvitationViewController::createAccountButton() {
    if (!createAccountButton_) {
        createAccountButton_ = std::make_shared<UIButton>(UIButtonType::custom);
        createAccountButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        createAccountButton_->setTitle(std::string(kNext), UIControlStateNormal);
        createAccountButton_->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
        createAccountButton_->setBackgroundColor(UIColorPalette::defaultButtonFill());
        createAccountButton_->setContentEdgeInsets({10, 30, 10, 30});
        createAccountButton_->layer()->cornerRadius = 5;
        createAccountButton_->setAccessibilityIdentifier("createAccountButton");
        createAccountButton_->addTarget(this, &ValidateInvitationViewController::createAccountTapped,
                                        UIControlEventTouchUpInside);
    }
    return createAccountButton_;
}

const std::shared_ptr<UILabel>& ValidateInvitationViewController::headerLabel() {
    if (!headerLabel_) headerLabel_ = SignInText::makeHeading(kHeader, 16);
    return headerLabel_;
}

void ValidateInvitationViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorWithHex("#EAE6E4", 1));
    // Through the controller: the bar shows a title set on the item only when it is told.
    setTitle(std::string(kTitle));
    prepareView();
    setupViewConstraints();
}

void ValidateInvitationViewController::prepareView() {
    view()->addSubview(scrollView());
}

void ValidateInvitationViewController::setupViewConstraints() {
    auto& container = scrollViewContainer();
    for (const auto& v : std::vector<UIViewPtr>{headerLabel(), formView(), createAccountButton()})
        lyt_layoutHorizontalWithMargin(*v, 20);
    container->addConstraints(NSLayoutConstraint::constraints(
        "V:|-20.0-[headerLabel]-20.0-[formView]->=20.0-[button(48.0)]-20.0-|", {}, {},
        std::map<std::string, std::shared_ptr<UIView>>{
            {"headerLabel", headerLabel()}, {"formView", formView()}, {"button", createAccountButton()}}));
    // As tall as the visible area unless the content needs more: the button rests at the bottom of
    // what is seen, and a taller form scrolls.
    minimumContentHeightConstraint =
        container->heightAnchor().constraintEqualTo(view()->heightAnchor(), 1, -topLayoutGuide()->length());
    minimumContentHeightConstraint->setPriority(750);
    auto& scroll = scrollView();
    NSLayoutConstraint::activate({
        scroll->topAnchor().constraintEqualTo(view()->topAnchor()),
        scroll->leadingAnchor().constraintEqualTo(view()->leadingAnchor()),
        scroll->trailingAnchor().constraintEqualTo(view()->trailingAnchor()),
        scroll->bottomAnchor().constraintEqualTo(view()->bottomAnchor()),
        container->topAnchor().constraintEqualTo(scroll->topAnchor()),
        container->leadingAnchor().constraintEqualTo(scroll->leadingAnchor()),
        container->trailingAnchor().constraintEqualTo(scroll->trailingAnchor()),
        container->bottomAnchor().constraintEqualTo(scroll->bottomAnchor()),
        container->widthAnchor().constraintEqualTo(scroll->widthAnchor()),
        minimumContentHeightConstraint,
    });
}

void ValidateInvitationViewController::updateViewConstraints() {
    if (minimumContentHeightConstraint) minimumContentHeightConstraint->setConstant(-topLayoutGuide()->length());
    UIViewController::updateViewConstraints();
}

void ValidateInvitationViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    view()->setNeedsUpdateConstraints();
}

void ValidateInvitationViewController::viewWillAppear(bool animated) {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
    UIViewController::viewWillAppear(animated);
}

void ValidateInvitationViewController::createAccountTapped() {
    const auto info = formView()->gatherInvitationInfo();
    if (!info) return;
    sendTap({{"checkuserInvite", JSON("Check invitation details of user")}});
    startFullScreenLoadingOverlay(*this);
    JSON body = JSON(JSON::dictionary_t{});
    body.set("invite_full_name", info->inviterName);
    body.set("email", info->inviterEmail);
    body.set("invitation_code", info->securityCode);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    InviteService().post(
        "check", body,
        [weak](const BaseHTTPService::Task&, const std::optional<JSON>& reply) {
            auto self = std::static_pointer_cast<ValidateInvitationViewController>(weak.lock());
            if (!self) return;
            // After the new screen has been pushed.
            DispatchQueue::main().async([weak] {
                auto screen = std::static_pointer_cast<ValidateInvitationViewController>(weak.lock());
                if (!screen) return;
                stopFullScreenLoadingOverlay(*screen);
                screen->createAccountButton()->setTitle(std::string(kCreateAccount), UIControlStateNormal);
            });
            if (!reply || reply->type() != JSON::Type::dictionary) return;
            const auto fullName = (*reply)["full_name"].string();
            const auto relationship = (*reply)["relationship"].string();
            const auto email = (*reply)["email"].string();
            if (fullName && relationship && email) {
                auto form = std::make_shared<RegistrationWithInvitation>();
                form->userData = std::make_shared<UserData>(
                    *fullName, FamilyRelationshipFromRawValue(*relationship).value_or(FamilyRelationship::Others),
                    *email);
                self->show(form, std::any(UIViewControllerPtr(self)));
            }
            sendTap({{"userInviteSuccess", JSON("User invitation successfully validated")}});
        },
        [weak, info = *info](const BaseHTTPService::Task&, const NSError& error) {
            auto self = std::static_pointer_cast<ValidateInvitationViewController>(weak.lock());
            if (!self) return;
            stopFullScreenLoadingOverlay(*self);
            const Data* body = cw::failingResponseData(error);
            if (!body) {
                showMessage(*self, SignInMessages::kUnexpectedError, GSMessageType::error);
                return;
            }
            auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
            if (!parsed) {
                std::cout << parsed.error().localizedDescription() << std::endl;
                showMessage(*self, SignInMessages::kUnexpectedError, GSMessageType::error);
                return;
            }
            const JSON& object = parsed.value();
            if (object.type() != JSON::Type::dictionary) {
                showMessage(*self, kServerError, GSMessageType::error);
                return;
            }
            sendTap({{"userInviteFailure", JSON("User invitation code failed validation")},
                     {"errorMessage", object["message"]},
                     {"inviterData", JSON(info.inviterEmail + "-" + info.inviterName + "-" + info.inviterEmail)}});
            const auto message = object["message"].string();
            showMessage(*self, message && !message->empty() ? *message : std::string(SignInMessages::kUnexpectedError),
                        GSMessageType::error);
        });
}
