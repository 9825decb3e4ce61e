#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"
#include "Services/AuthenticationContext.h"
#include "Services/KeychainPasswordItem.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "kits/banners/GSMessage.h"
#include "tests/app/signin/SignInFixture.h"

#include <gmock/gmock.h>

#include <algorithm>

using ::testing::ElementsAre;

namespace cw::test {

namespace {

const char* kSarah = "sarah@cradleway.test";

Date day(const std::string& ymd) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd").date(ymd);
}

std::string ymd(const Date& date) {
    return DateFormatter::serverFormatter("yyyy-MM-dd").string(date);
}

} // namespace

class InvitationRoad : public SignInTest {
protected:
    void SetUp() override {
        SignInTest::SetUp();
        photo = environment->directory() / "sarah.png";
        ASSERT_TRUE(writeOneColourPicture(photo, 0xff3366ccu, 400, 300));
    }

    // Mia's day of birth as the demo server holds it.
    std::string miasBirthday() {
        auto db = demo->server().state().pool->acquire();
        auto row = db->prepare("SELECT birthday FROM babies WHERE mrn = 'CW200001'");
        return row.step() ? row.text(0) : std::string();
    }

    // From the sign-in screen to Sarah's form, through the security code.
    std::shared_ptr<RegistrationWithInvitation> openSarahsForm() {
        EXPECT_TRUE(host->tapText("Create Account"));
        typeInto("inviterNameTextField", kSarah);
        typeInto("securityCodeTextField", "424242");
        EXPECT_TRUE(host->tapText("Submit"));
        EXPECT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
        return topAs<RegistrationWithInvitation>();
    }

    // From the form to Mia's details: the password, the terms, the record number.
    std::shared_ptr<NewBabyViewController> findMia() {
        EXPECT_TRUE(host->tapText("Continue"));
        EXPECT_TRUE(waitForText("I Accept"));
        EXPECT_TRUE(host->tapText("I Accept"));
        typeInto("mrnTextField", "CW200001");
        EXPECT_TRUE(host->tapText("Search"));
        EXPECT_TRUE(waitFor([&] { return topAs<NewBabyViewController>() != nullptr; }));
        EXPECT_TRUE(waitForText("Mia Lopez"));
        return topAs<NewBabyViewController>();
    }

    // The day on the wheel, then on to the question and its "No".
    void submitMiaBornOn(const Date& birthDay) {
        ASSERT_TRUE(host->tapIdentifier("dobTextField"));
        ASSERT_TRUE(host->turnDatePicker(birthDay));
        ASSERT_TRUE(host->tapText("Done"));
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(topAs<AddMoreBabiesConfirmationViewController>());
        ASSERT_TRUE(host->tapText("No"));
    }

    std::filesystem::path photo;
};

TEST_F(InvitationRoad, SarahRegistersWithHerPhotoAndMiasCorrectedBirthDateAfterHerFormRefusesAShortPassword) {
    DeviceSettingsGuard device("en_US", "UTC");
    launch();
    auto form = openSarahsForm();
    ASSERT_TRUE(form);
    EXPECT_TRUE(host->isShowing("Create Account"));
    EXPECT_EQ(form->nameTextField->text(), "Sarah Hart");
    EXPECT_EQ(form->relationshipTextField->text(), "Relative");
    EXPECT_EQ(form->emailTextField->text(), kSarah);
    EXPECT_FALSE(form->relationshipTextField->isEnabled());
    EXPECT_FALSE(form->emailTextField->isEnabled());
    EXPECT_TRUE(form->nameTextField->isEnabled());
    const auto placeholder = form->userImageView->image();
    ASSERT_TRUE(placeholder) << "card_default_n";

    // The photo, cropped square.
    ASSERT_NO_FATAL_FAILURE(choosePhotoCroppedSquare(*host, "userImageView", photo));
    EXPECT_EQ(top(), UIViewControllerPtr(form));
    auto chosen = form->userImageView->image();
    ASSERT_TRUE(chosen);
    EXPECT_NE(chosen, placeholder);
    EXPECT_EQ(chosen->pixelWidth(), chosen->pixelHeight());

    // Seven characters: her form says so at once, in the words it explains itself with, and goes
    // no further.
    typeInto("passwordTextField", "short12\n");
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(GSMessage::shown(*form));
    EXPECT_EQ(GSMessage::shown(*form)->text(), "Choose a password of at least 8 characters.");
    EXPECT_EQ(GSMessage::shown(*form)->type(), GSMessageType::error);
    EXPECT_EQ(top(), UIViewControllerPtr(form));
    EXPECT_TRUE(host->isShowing("These are the details of your invitation. Check your name, add a photo if you like, "
                                "and choose a password of at least 8 characters."));
    // Characters are counted as she sees them, not the bytes they take.
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapIdentifier("passwordTextField"));
    ASSERT_TRUE(host->deleteBackward(7));
    ASSERT_TRUE(host->type("sh\u00f3rt12\n"));
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_EQ(GSMessage::history().size(), 1u);
    EXPECT_EQ(GSMessage::history().front().text, "Choose a password of at least 8 characters.");
    EXPECT_EQ(top(), UIViewControllerPtr(form));

    // A password longer than the server keeps passes the form: the server refuses it at the end.
    ASSERT_TRUE(host->tapIdentifier("passwordTextField"));
    ASSERT_TRUE(host->deleteBackward(7));
    ASSERT_TRUE(host->paste(std::string(1025, 'p')));
    ASSERT_TRUE(host->type("\n"));
    auto mia = findMia();
    ASSERT_TRUE(mia);
    const std::string looked = miasBirthday();
    DateFormatter shown;
    shown.setDateFormat("MMM, dd yyyy");
    EXPECT_EQ(mia->dobTextField->text(), shown.string(day(looked)));
    EXPECT_TRUE(host->isShowing("Female"));
    EXPECT_TRUE(host->isShowing("CW200001"));
    const Date corrected = Date::since1970(day(looked).timeIntervalSince1970() - 86400);
    submitMiaBornOn(corrected);
    auto question = topAs<AddMoreBabiesConfirmationViewController>();
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*question) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*question)->text(), "The password is too long.");
    EXPECT_FALSE(showsMainInterface());

    // Back to the form: Mia's details are free of the submit's overlay on the way.
    ASSERT_TRUE(host->goBack());
    EXPECT_EQ(top(), UIViewControllerPtr(mia));
    EXPECT_FALSE(showsActivityOverlay(mia));
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->goBack());
    ASSERT_EQ(top(), UIViewControllerPtr(form));
    ASSERT_TRUE(host->tapIdentifier("passwordTextField"));
    ASSERT_TRUE(host->deleteBackward(1025));
    ASSERT_TRUE(host->type("sarah-2019\n"));
    findMia();
    submitMiaBornOn(corrected);
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "no session started";

    // The session: Sarah with her picture, Mia beside the twins of the family that invited her.
    auto& session = AuthenticationContext::shared();
    ASSERT_TRUE(session.user());
    EXPECT_EQ(session.user()->email(), kSarah);
    EXPECT_EQ(session.user()->fullName(), "Sarah Hart");
    EXPECT_TRUE(session.user()->pictureFile()) << "her photo was sent";
    std::vector<std::string> babies;
    for (const auto& b : session.babies())
        babies.push_back(b->fullName());
    std::sort(babies.begin(), babies.end());
    EXPECT_THAT(babies, ElementsAre("Mia Lopez", "Noah Hart", "Olivia Hart"));
    EXPECT_EQ(miasBirthday(), ymd(corrected)) << "the server took the corrected day";
    EXPECT_EQ(UserDefaults::standard().stringForKey("usernameKey"), kSarah);
    EXPECT_EQ(KeychainPasswordItem("CradlewayService", kSarah).readPassword(), "sarah-2019");
    // The tutorial over the main interface.
    EXPECT_TRUE(std::dynamic_pointer_cast<OnboardingViewController>(host->topViewController()));

    // One account, one Mia.
    auto db = demo->server().state().pool->acquire();
    auto members = db->prepare("SELECT COUNT(*) FROM members WHERE email = ?");
    members.with(std::string(kSarah));
    ASSERT_TRUE(members.step());
    EXPECT_EQ(members.integer(0), 1);
    auto mias = db->prepare("SELECT COUNT(*) FROM babies WHERE full_name = 'Mia Lopez'");
    ASSERT_TRUE(mias.step());
    EXPECT_EQ(mias.integer(0), 1);

    ASSERT_TRUE(waitForEvent("MyBabyScreen", "ServerRequest", "errorMessage"));
    EXPECT_GE(countEvents("MyBabyScreen", "Loaded"), 1u);
    bool refusalLogged = false;
    for (const auto& e : eventsOf("MyBabyScreen"))
        refusalLogged |= e.details.value("errorMessage", "") == "The password is too long.";
    EXPECT_TRUE(refusalLogged);
    int formLoads = 0;
    for (const auto& e : eventsOf("SignUpWithInvitationScreen"))
        formLoads += e.action == "Loaded" && e.details.empty();
    EXPECT_GE(formLoads, 3) << "the security code screen once, the form each time it showed";
}

// On the phone the mother just logged out of, Sarah checks her invitation code, goes to her mail for
// her password (the application to the background and back) and then signs up. Coming back to the
// front sends nothing in the mother's name, so nothing is refused and no renewal logs anybody out
// again: the proof of Sarah's code stays with the device, and she joins the family that invited her.
TEST_F(InvitationRoad, SarahWhoWentToHerMailBetweenHerCodeAndHerSignUpJoinsTheFamilyThatInvitedHer) {
    demo->answerFeedQuestions();
    launch();
    signIn("demo@cradleway.test", "cradleway-demo");
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); }));
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(waitForText("Log In"));

    ASSERT_TRUE(openSarahsForm());
    host->enterBackground();
    host->enterForeground();
    host->settle();
    typeInto("passwordTextField", "sarah-2019\n");
    ASSERT_TRUE(findMia());
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "no session started";

    std::vector<std::string> babies;
    for (const auto& b : AuthenticationContext::shared().babies())
        babies.push_back(b->fullName());
    std::sort(babies.begin(), babies.end());
    EXPECT_THAT(babies, ElementsAre("Mia Lopez", "Noah Hart", "Olivia Hart")) << "she joined no family";
    EXPECT_EQ(queryInteger(*demo, "SELECT COUNT(*) FROM babies WHERE full_name = 'Mia Lopez'"), 1);
}

TEST_F(InvitationRoad, AFrenchDeviceShowsMiasDayInFrenchAndSendsTheDayTheServerReads) {
    DeviceSettingsGuard device("fr_FR", "Europe/Paris");
    launch();
    ASSERT_TRUE(openSarahsForm());
    typeInto("passwordTextField", "sarah-2019\n");
    auto mia = findMia();
    ASSERT_TRUE(mia);
    DateFormatter shown;
    shown.setDateFormat("MMM, dd yyyy");
    const std::string looked = miasBirthday();
    EXPECT_EQ(mia->dobTextField->text(), shown.string(day(looked)));

    const Date corrected = Date::since1970(day(looked).timeIntervalSince1970() - 2 * 86400);
    ASSERT_TRUE(host->tapIdentifier("dobTextField"));
    ASSERT_TRUE(host->turnDatePicker(corrected));
    EXPECT_EQ(mia->dobTextField->text(), shown.string(corrected))
        << "the French day, in the field's one pattern";
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "the server refused the day";
    EXPECT_EQ(miasBirthday(), ymd(corrected));
}

} // namespace cw::test
