#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationViewController.h"
#include "Controllers/SignIn/SignInKeyboardScroll.h"
#include "Controllers/SignIn/ValidateInvitationViewController.h"
#include "ScreenFixture.h"
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

TEST_F(CropAndKeyboard, AFieldUnderTheKeyboardRisesTwelvePointsClearOfItAndOneAboveStaysPut) {
    auto screen = std::make_shared<UIViewController>();
    show(screen);
    auto root = screen->view();
    root->setFrame({0, 0, 375, 600});
    auto scroll = std::make_shared<UIScrollView>(CGRect{0, 0, 375, 600});
    scroll->setContentSize({375, 1200});
    root->addSubview(scroll);
    auto holder = std::make_shared<UIView>(CGRect{0, 300, 375, 300});
    scroll->addSubview(holder);
    // Scrolled by 5, the field's bottom stands 300 + 65 + 40 - 5 = 400 below the view's top: 20 points
    // under a keyboard of 220 at the bottom of the 600-point view.
    auto field = std::make_shared<UITextField>(CGRect{16, 65, 343, 40});
    holder->addSubview(field);
    scroll->setContentOffset({0, 5});

    SignInKeyboardScroll::raiseField(*root, *scroll, *field, 220);
    host->settle();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 37}));

    // Already clear (even if by less than 12 points): nothing moves.
    SignInKeyboardScroll::raiseField(*root, *scroll, *field, 150);
    host->settle();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 37}));

    SignInKeyboardScroll::reset(*scroll);
    host->settle();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));

    Notification withFrame{UIKeyboardDidShowNotification, nullptr, {{UIKeyboardFrameEndUserInfoKey, CGRect{0, 400, 375, 260}}}};
    EXPECT_EQ(SignInKeyboardScroll::keyboardHeight(withFrame), 260);
    EXPECT_FALSE(SignInKeyboardScroll::keyboardHeight(Notification{UIKeyboardDidShowNotification, nullptr, {}}));
}

} // namespace cw::test
