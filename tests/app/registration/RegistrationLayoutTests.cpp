#include "App/AppStoryboards.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Controllers/SignIn/ValidateInvitationViewController.h"
#include "ScreenFixture.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>

namespace cw::test {

// Screens of two widths: the forms keep their margins and the fields stack as the visual formats
// say, whatever the width.
class RegistrationLayout : public ScreenTest, public ::testing::WithParamInterface<CGFloat> {
protected:
    void SetUp() override {
        screenSize = GetParam() == 320 ? CGSize{320, 568} : CGSize{375, 667};
        ScreenTest::SetUp();
    }
    CGFloat width() const { return screenSize.width; }
};

TEST_P(RegistrationLayout, TheInvitationFormSpansTheScreenAndTheButtonRestsAtTheBottom) {
    auto screen = std::make_shared<ValidateInvitationViewController>();
    show(screen);
    auto& form = *screen->formView();
    const CGRect header = frameOnScreen(*screen->headerLabel());
    const CGRect box = frameOnScreen(form);
    const CGRect button = frameOnScreen(*screen->createAccountButton());
    const CGRect visible = frameOnScreen(*screen->view());

    EXPECT_EQ(box.minX(), 20);
    EXPECT_EQ(box.width(), width() - 40);
    EXPECT_EQ(header.minX(), 20);
    EXPECT_EQ(header.width(), width() - 40);
    EXPECT_EQ(header.minY(), visible.minY() + 20);
    EXPECT_EQ(box.minY(), header.maxY() + 20);
    EXPECT_EQ(button.height(), 48);
    EXPECT_EQ(button.width(), width() - 40);
    // At the bottom of what is seen: the container is as tall as the screen's view.
    EXPECT_EQ(button.maxY(), visible.maxY() - 20);
    EXPECT_GE(button.minY(), box.maxY() + 20);

    // Inside the box: each field 10 points below the line above it, a 1-point line 10 points under
    // each field, the last line on the box's bottom edge.
    const CGRect name = frameOnScreen(*form.inviterNameTextField());
    const CGRect email = frameOnScreen(*form.inviterEmailTextField());
    const CGRect code = frameOnScreen(*form.securityCodeTextField());
    const CGRect line1 = frameOnScreen(*form.border1());
    const CGRect line3 = frameOnScreen(*form.border3());
    EXPECT_EQ(name.minY(), box.minY() + 10);
    EXPECT_EQ(line1.minY(), name.maxY() + 10);
    EXPECT_EQ(line1.height(), 1);
    EXPECT_EQ(email.minY(), line1.maxY() + 10);
    EXPECT_EQ(line3.minY(), code.maxY() + 10);
    EXPECT_EQ(line3.maxY(), box.maxY());
    EXPECT_EQ(name.width(), width() - 40);
    EXPECT_EQ(line1.minX(), 20);
    EXPECT_GT(name.height(), 20) << "the field's own height";
}

TEST_P(RegistrationLayout, TheAccountFormStandsUnderThePictureWithItsRulesAndButtonBelow) {
    auto screen = std::make_shared<RegistrationViewController>();
    screen->email = "lee@example.test";
    show(screen);
    auto& form = *screen->formView();
    const CGRect visible = frameOnScreen(*screen->view());
    const CGRect header = frameOnScreen(*screen->headerLabel());
    const CGRect picture = frameOnScreen(*screen->userImageView());
    const CGRect badge = frameOnScreen(*screen->cameraButton());
    const CGRect box = frameOnScreen(form);
    const CGRect rules = frameOnScreen(*screen->passwordRulesLabel());
    const CGRect button = frameOnScreen(*screen->createAccountButton());

    EXPECT_EQ(header.minY(), visible.minY() + 20);
    EXPECT_EQ(header.width(), width() - 40);
    EXPECT_EQ(picture.size, (CGSize{150, 150}));
    EXPECT_EQ(picture.midX(), width() / 2);
    EXPECT_EQ(picture.minY(), header.maxY() + 12);
    EXPECT_EQ(badge.maxX(), picture.maxX());
    EXPECT_EQ(badge.maxY(), picture.maxY());
    EXPECT_EQ(box.minX(), 20);
    EXPECT_EQ(box.width(), width() - 40);
    EXPECT_EQ(box.minY(), picture.maxY() + 12);
    EXPECT_EQ(rules.minY(), box.maxY() + 20);
    EXPECT_EQ(button.minY(), rules.maxY() + 20);
    EXPECT_EQ(button.width(), width() - 40);
    // The content ends 50 points below the button's title baseline.
    const CGFloat contentBottom = frameOnScreen(*screen->scrollViewContainer()).maxY();
    EXPECT_EQ(contentBottom, button.maxY() - screen->createAccountButton()->lastBaselineOffsetFromBottom() + 50);
    EXPECT_EQ(screen->scrollViewContainer()->frame().width(), width());

    const CGRect name = frameOnScreen(*form.fullNameTextField());
    const CGRect relationship = frameOnScreen(*form.relationshipField());
    const CGRect password = frameOnScreen(*form.passwordField());
    EXPECT_EQ(name.minY(), box.minY() + 10);
    EXPECT_EQ(relationship.minY(), name.maxY() + 21) << "10, a line, 10";
    EXPECT_EQ(password.maxY() + 11, box.maxY()) << "the last line on the bottom edge";
    EXPECT_EQ(name.width(), width() - 40);
    // The rules shrink rather than wrap on a narrow screen.
    EXPECT_EQ(screen->passwordRulesLabel()->numberOfLines(), 1);
    EXPECT_LE(screen->passwordRulesLabel()->actualScaleFactor(), 1);
    EXPECT_GE(screen->passwordRulesLabel()->actualScaleFactor(), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Widths, RegistrationLayout, ::testing::Values(375, 320));

class CropAndKeyboard : public ScreenTest {};

// The sign-up forms that scroll, each shown as its road opens it with a field of its own taking
// the keys, on a small phone: the form's end (its button) can be scrolled above the keyboard, and
// so it can once the keys gave way to a wheel (the relationship, the baby's birthday) or a number pad.
TEST_F(CropAndKeyboard, EachSignUpFormsEndScrollsAboveTheKeyboard) {
    screenSize = {320, 568};
    registerAppStoryboards();
    struct Form {
        std::string name;
        std::function<UIViewControllerPtr()> make;
        std::string field;
        std::string scroll;
        std::string nextField;
    };
    const Form forms[] = {
        {"account", [] {
             auto screen = std::make_shared<RegistrationViewController>();
             screen->email = "lee@example.test";
             return screen;
         }, "fullNameTextField", "accountScrollView", "relationshipField"},
        {"invited account", [] {
             auto screen = instantiateViewController<RegistrationWithInvitation>(*UIStoryboard::named("SignInSignUp"));
             screen->userData = std::make_shared<UserData>("Ada Park", FamilyRelationship::Mother, "ada@example.test");
             return screen;
         }, "nameTextField", "registrationScrollView", "passwordTextField"},
        {"new baby", [] {
             auto screen = std::make_shared<NewBabyViewController>();
             auto baby = std::make_shared<BabyData>("Mia Lopez", "2018-12-31", "2019-02-10", Gender::Female);
             baby->setMrn(std::string("CW200001"));
             screen->babyData = baby;
             return screen;
         }, "nameTextField", "newBabyScrollView", "dobTextField"},
        {"invitation", [] { return std::make_shared<ValidateInvitationViewController>(); },
         "inviterNameTextField", "invitationScrollView", "securityCodeTextField"},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.name);
        show(form.make());
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(host->findByIdentifier(form.scroll));
        ASSERT_TRUE(scroll);
        ASSERT_TRUE(host->tapIdentifier(form.field));
        ASSERT_TRUE(Keyboard::shared().areKeysShown());
        EXPECT_TRUE(endShowsAboveTheKeyboard(*host, *scroll));
        // The next field, whose keyboard is of another height.
        auto next = host->findByIdentifier(form.nextField);
        ASSERT_TRUE(next);
        ASSERT_TRUE(next->becomeFirstResponder());
        host->settle();
        EXPECT_TRUE(endShowsAboveTheKeyboard(*host, *scroll)) << "with the next field's keyboard";
        // The keyboard gone, so is what it took.
        host->window()->endEditing(true);
        host->settle();
        EXPECT_EQ(scroll->contentInset().bottom, 0);
        EXPECT_EQ(scroll->scrollIndicatorInsets.bottom, 0);
    }
}

TEST_F(CropAndKeyboard, TheBabysCropIsTheWidestTwoToOneBandCentredInTheCropper) {
    auto screen = std::make_shared<NewBabyViewController>();
    auto cropper = std::make_shared<RSKImageCropViewController>(nullptr, RSKImageCropMode::custom);
    cropper->view()->setFrame({0, 0, 375, 667});
    EXPECT_EQ(screen->customMaskRect(*cropper), (CGRect{0, 239.75, 375, 187.5}));
    cropper->view()->setFrame({0, 0, 667, 375});
    EXPECT_EQ(screen->customMaskRect(*cropper), (CGRect{0, 20.75, 667, 333.5}));
    cropper->view()->setFrame({0, 0, 300, 100});
    EXPECT_EQ(screen->customMaskRect(*cropper), (CGRect{50, 0, 200, 100})) << "a short view: as high as it";
}

} // namespace cw::test
