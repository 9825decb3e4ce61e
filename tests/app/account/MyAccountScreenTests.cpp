#include "AccountFixture.h"

#include "Controllers/Account/MyAccountViewController.h"
#include "Controllers/Account/PasswordUpdateViewController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::Contains;
using ::testing::UnorderedElementsAre;

namespace cw::test {

namespace {

class MyAccountTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        photo = environment->directory() / "emma.png";
        ASSERT_TRUE(writeOneColourPicture(photo, 0xff2fb299u, 400, 300));
    }

    std::shared_ptr<MyAccountViewController> openMyAccount() {
        openFromMenu("My Account");
        host->settle();
        auto screen = shownScreen<MyAccountViewController>();
        EXPECT_TRUE(screen) << screenTexts();
        return screen;
    }
    // Clears the full-name field and types `name`, as a member does.
    void retypeName(MyAccountViewController& screen, const std::string& name) {
        auto field = screen.formView()->fullNameTextField();
        ASSERT_TRUE(host->tap(field));
        field->setText(std::string());
        if (!name.empty()) {
            ASSERT_TRUE(host->type(name));
        }
    }
    // Picks the test photo from the library and keeps the square the cropper offers.
    void choosePhoto() { choosePhotoCroppedSquare(*host, "userImageView", photo); }
    bool updateEnabled(MyAccountViewController& screen) {
        auto button = screen.editPassword();
        return button->isUserInteractionEnabled() && button->alpha() == 1.0;
    }
    bool updateDisabled(MyAccountViewController& screen) {
        auto button = screen.editPassword();
        return !button->isUserInteractionEnabled() && button->alpha() == 0.5;
    }
    std::optional<std::string> stored(const std::string& column) const {
        return queryOne("SELECT " + column + " FROM members WHERE email = 'demo@cradleway.test'");
    }
    std::string lastBanner() const { return GSMessage::history().empty() ? "" : GSMessage::history().back().text; }
    bool waitForBanner() {
        return waitUntil([] { return !GSMessage::history().empty(); }, 20);
    }

    std::filesystem::path photo;
};

TEST_F(MyAccountTest, TheMemberSeesTheirDetailsAndUpdateWaitsForAFieldToBeTouched) {
    launchAsMother();
    auto screen = openMyAccount();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(host->isShowing("My Account"));
    auto form = screen->formView();
    EXPECT_EQ(form->fullNameTextField()->text(), "Emma Hart");
    EXPECT_EQ(form->relationshipField()->text(), "Mother");
    EXPECT_EQ(form->emailTextField()->text(), "demo@cradleway.test");
    EXPECT_EQ(form->passwordField()->text(), "****************");
    EXPECT_FALSE(form->relationshipField()->isEnabled());
    EXPECT_FALSE(form->emailTextField()->isEnabled());
    EXPECT_TRUE(form->fullNameTextField()->isEnabled());
    EXPECT_TRUE(updateDisabled(*screen));
    // The picture: a 200-point square 20 points below the navigation bar, centred; the form 20
    // points under it.
    const CGRect picture = screen->userImageView()->frame();
    EXPECT_EQ(screen->userImageView()->convert(CGPoint{0, 0}, static_cast<const UIView*>(nullptr)).y, 64 + 20);
    EXPECT_EQ(picture.size.width, 200);
    EXPECT_EQ(picture.size.height, 200);
    EXPECT_EQ(picture.origin.y, 20);
    EXPECT_EQ(picture.midX(), screen->view()->bounds().size.width / 2);
    EXPECT_EQ(form->frame().origin.y, 240);
    EXPECT_EQ(form->frame().size.width, screen->view()->bounds().size.width - 40);

    // A touch on the name enables Update; the keyboard's keys leave the name above them, the form's
    // end can be scrolled above them, and their going gives the inset back, and so the content's end.
    auto scroll = screen->containerScrollView();
    const CGFloat startY = scroll->contentOffset().y;
    ASSERT_TRUE(host->tap(form->fullNameTextField()));
    host->settle();
    EXPECT_TRUE(updateEnabled(*screen));
    const auto& name = *form->fullNameTextField();
    EXPECT_LE(name.convert(name.bounds(), static_cast<const UIView*>(nullptr)).maxY(),
              Keyboard::shared().frame().minY() + 0.5);
    EXPECT_TRUE(endShowsAboveTheKeyboard(*host, *scroll));
    form->fullNameTextField()->resignFirstResponder();
    host->settle();
    EXPECT_EQ(scroll->contentInset().bottom, 0);
    EXPECT_EQ(scroll->scrollIndicatorInsets.bottom, 0);
    scroll->setContentOffset({0, startY});
    host->settle();

    // Too short a name is refused here and nothing is sent.
    for (const std::string name : {"Em", "", "E\xCC\x81m"}) {
        // The last banner goes away by itself, uncovering the field.
        host->advance(3.5);
        GSMessage::clearHistory();
        retypeName(*screen, name);
        form->fullNameTextField()->resignFirstResponder();
        ASSERT_TRUE(host->tapText("Update"));
        EXPECT_EQ(lastBanner(), "Full Name cannot be less than 3 characters") << name;
        EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
        EXPECT_FALSE(showsOverlay(*screen));
    }
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(requestsAnswered("POST", "member/update"), 0u);
    ASSERT_TRUE(waitForEvents("MyAccountScreen", 1));
    EXPECT_THAT(eventsOf("MyAccountScreen"), UnorderedElementsAre(event("Loaded")));
}

TEST_F(MyAccountTest, ANewNameAndACroppedPictureAreSavedAndOutliveARelaunch) {
    launchAsMother();
    const auto before = stored("file_name");
    ASSERT_TRUE(before);
    auto screen = openMyAccount();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitUntil([&] { return AuthenticationContext::shared().user()->pictureFile().has_value(); }));

    // A cancelled picker changes nothing.
    const auto shown = screen->userImageView()->image();
    ASSERT_TRUE(host->tapIdentifier("userImageView"));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(host->cancelImagePicker());
    host->settle();
    EXPECT_EQ(screen->userImageView()->image(), shown);
    EXPECT_TRUE(updateDisabled(*screen));

    // A cropped picture alone enables Update.
    choosePhoto();
    EXPECT_EQ(shownScreen<MyAccountViewController>(), screen);
    auto chosen = screen->userImageView()->image();
    ASSERT_TRUE(chosen);
    EXPECT_NE(chosen, shown);
    EXPECT_EQ(chosen->pixelWidth(), chosen->pixelHeight());
    EXPECT_TRUE(updateEnabled(*screen));

    retypeName(*screen, "Emma Rose Hart");
    screen->formView()->fullNameTextField()->resignFirstResponder();
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(waitForBanner()) << screenTexts();
    EXPECT_EQ(lastBanner(), "Successfully saved.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::success);
    // The screen was pushed: it stays.
    EXPECT_EQ(shownScreen<MyAccountViewController>(), screen);
    EXPECT_FALSE(showsOverlay(*screen));

    EXPECT_EQ(stored("full_name"), "Emma Rose Hart");
    const auto after = stored("file_name");
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    auto user = AuthenticationContext::shared().user();
    EXPECT_EQ(user->fullName(), "Emma Rose Hart");
    EXPECT_EQ(user->pictureFile(), after);
    ASSERT_TRUE(waitForEvents("MyAccountScreen", 5));
    EXPECT_THAT(eventsOf("MyAccountScreen"),
                UnorderedElementsAre(
                    event("Loaded"),
                    event("Tap", {{"myAccountPicturePickerTapped", "User trying to pick a picture"}}),
                    event("Tap", {{"myAccountPicturePickerTapped", "User trying to pick a picture"}}),
                    event("Tap", {{"myAccountSaveDetailsTapped", "User trying to save details"}}),
                    event("ServerRequest", {{"myAccountSaveDetailsSuccess", "User details saved succesfully"}})));

    // What the next launch reads.
    AuthenticationContext::shared().setUser(nullptr);
    AuthenticationContext::shared().loadUser();
    auto reloaded = AuthenticationContext::shared().user();
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->fullName(), "Emma Rose Hart");
    EXPECT_EQ(reloaded->pictureFile(), after);
}

TEST_F(MyAccountTest, ANameAloneKeepsTheServersPictureAndThreeCharactersAreEnough) {
    launchAsMother();
    const auto before = stored("file_name");
    auto screen = openMyAccount();
    ASSERT_TRUE(screen);
    // Three characters as a reader counts them, in four code points; the picture still on its way
    // or shown, it is not sent.
    retypeName(*screen, "E\xCC\x81ve");
    screen->formView()->fullNameTextField()->resignFirstResponder();
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(waitForBanner()) << screenTexts();
    EXPECT_EQ(lastBanner(), "Successfully saved.");
    EXPECT_EQ(stored("full_name"), "E\xCC\x81ve");
    EXPECT_EQ(stored("file_name"), before);
    EXPECT_EQ(AuthenticationContext::shared().user()->pictureFile(), before);
    EXPECT_EQ(AuthenticationContext::shared().user()->fullName(), "E\xCC\x81ve");
}

TEST_F(MyAccountTest, AFailedUpdateSaysSoAndKeepsWhatWasTyped) {
    launchAsMother();
    auto screen = openMyAccount();
    ASSERT_TRUE(screen);
    retypeName(*screen, "Emma Stone");
    screen->formView()->fullNameTextField()->resignFirstResponder();
    demo->stop();
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(waitForBanner());
    EXPECT_EQ(lastBanner(), "Unexpected error. Please try again.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_FALSE(showsOverlay(*screen));
    EXPECT_EQ(screen->formView()->fullNameTextField()->text(), "Emma Stone");
    EXPECT_EQ(AuthenticationContext::shared().user()->fullName(), "Emma Hart");
    AuthenticationContext::shared().setUser(nullptr);
    AuthenticationContext::shared().loadUser();
    EXPECT_EQ(AuthenticationContext::shared().user()->fullName(), "Emma Hart");

    // With nobody signed in nothing could be sent: no overlay waits for an answer.
    host->advance(3.5);
    GSMessage::clearHistory();
    AuthenticationContext::shared().setUser(nullptr);
    ASSERT_TRUE(host->tapText("Update"));
    host->settle();
    EXPECT_FALSE(showsOverlay(*screen));
    EXPECT_TRUE(GSMessage::history().empty());
}

TEST_F(MyAccountTest, ThePasswordFieldOpensChangePasswordWhoseSuccessIsToldHere) {
    launchAsMother();
    auto screen = openMyAccount();
    ASSERT_TRUE(screen);
    auto form = screen->formView();
    ASSERT_TRUE(host->tap(form->passwordField()));
    host->settle();
    auto password = shownScreen<PasswordUpdateViewController>();
    ASSERT_TRUE(password) << screenTexts();
    EXPECT_FALSE(form->passwordField()->isFirstResponder());
    // Back again: Update waits for a new touch.
    ASSERT_TRUE(host->tapIdentifier("cwy_backp"));
    host->settle();
    ASSERT_EQ(shownScreen<MyAccountViewController>(), screen);
    EXPECT_TRUE(updateDisabled(*screen));

    ASSERT_TRUE(host->tap(form->passwordField()));
    host->settle();
    password = shownScreen<PasswordUpdateViewController>();
    ASSERT_TRUE(password);
    for (auto [field, text] : {std::pair{password->currentPasswordTextField(), "cradleway-demo"},
                               std::pair{password->newPasswordTextField(), "fresh-password-9"},
                               std::pair{password->retypeNewPasswordTextField(), "fresh-password-9\n"}}) {
        ASSERT_TRUE(host->tap(field));
        ASSERT_TRUE(host->type(text));
    }
    // Return on the last field put the keyboard away from over Save.
    ASSERT_TRUE(host->tapText("Save Password"));
    ASSERT_TRUE(waitUntil([&] { return shownScreen<MyAccountViewController>() == screen; })) << screenTexts();
    auto banner = GSMessage::shown(*screen);
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->text(), "Your password has been updated.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::success);
}

} // namespace

} // namespace cw::test
