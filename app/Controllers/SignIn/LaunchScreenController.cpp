#include "Controllers/SignIn/LaunchScreenController.h"

#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

void LaunchScreenController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    auto artwork = std::make_shared<UIImageView>(UIImage::named("hamburger-header-background"));
    artwork->setContentMode(UIViewContentMode::scaleAspectFill);
    artwork->setClipsToBounds(true);
    artwork->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto logo = std::make_shared<UIImageView>(UIImage::named("cwy_menulogo"));
    logo->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto welcome = SignInForm::makeDescription("Daily news of your baby in the unit, from the team caring for them.");

    auto signIn = SignInForm::makeButton("Sign In", "signInButton");
    signIn->addTarget(this, &LaunchScreenController::signInButtonTapped, UIControlEventTouchUpInside);
    auto registration = SignInForm::makeOutlinedButton("Register", "registerButton");
    registration->addTarget(this, &LaunchScreenController::registerButtonTapped, UIControlEventTouchUpInside);

    for (const auto& v : std::vector<UIViewPtr>{artwork, logo, welcome, signIn, registration})
        root->addSubview(v);
    lyt_layoutHorizontalWithMargin(*artwork, 0);
    lyt_setTop(*artwork, 0);
    lyt_horizontalCenterInSuperView(*logo);
    lyt_layoutHorizontalWithMargin(*welcome, 40);
    lyt_horizontalCenterInSuperView(*signIn);
    lyt_horizontalCenterInSuperView(*registration);
    NSLayoutConstraint::activate({
        artwork->heightAnchor().constraintEqualTo(root->heightAnchor(), 0.45, 0),
        logo->centerYAnchor().constraintEqualTo(artwork->centerYAnchor(), 10),
        welcome->topAnchor().constraintEqualTo(artwork->bottomAnchor(), 32),
        registration->bottomAnchor().constraintEqualTo(bottomLayoutGuide()->topAnchor(), -40),
        signIn->bottomAnchor().constraintEqualTo(registration->topAnchor(), -16),
    });
}

void LaunchScreenController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
}

void LaunchScreenController::signInButtonTapped() {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap), {{"userLogin", JSON("User trying to login")}});
    if (auto navigation = navigationController()) navigation->pushViewController(std::make_shared<LoginViewController>(), true);
}

void LaunchScreenController::registerButtonTapped() {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap),
                            {{"userRegister", JSON("User trying to register")}});
    show(std::make_shared<SecurityCodeSignUpViewController>(), std::any(shared_from_this()));
}
