#include "SignInFixture.h"

#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"
#include "Services/KeychainPasswordItem.h"
#include "foundation/defaults/UserDefaults.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/KeyboardFinger.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>
#include <httplib.h>

using ::testing::ElementsAre;
using ::testing::SizeIs;

namespace cw::test {

namespace {

const char* kSarah = "sarah@cradleway.test";
const char* kRegisteredToAFamily =
    "This baby is already registered to a family. A parent of the baby can invite you to join.";
const char* kInvitationFailed =
    "There was an issue processing your invitation. Please check the information and try again.";

std::vector<std::string> names(const std::vector<std::shared_ptr<BabyData>>& babies) {
    std::vector<std::string> result;
    for (const auto& b : babies)
        result.push_back(b->fullName());
    return result;
}

} // namespace

class RegistrationTest : public SignInTest {
protected:
    // From the sign-in screen to the registration form, through the security-code check.
    std::shared_ptr<RegistrationWithInvitation> openInvitation(const std::string& email, const std::string& code) {
        if (!std::dynamic_pointer_cast<SecurityCodeSignUpViewController>(top())) {
            EXPECT_TRUE(host->tapText("Create Account"));
        }
        typeInto("inviterNameTextField", email);
        typeInto("securityCodeTextField", code);
        EXPECT_TRUE(host->tapText("Submit"));
        EXPECT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
        return topAs<RegistrationWithInvitation>();
    }
    // From the form to the record-number lookup: password, terms read and accepted.
    void acceptTerms(const std::string& password) {
        typeInto("passwordTextField", password + "\n");
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(topAs<TermsAndConditionsController>());
        ASSERT_TRUE(waitForText("\t\u2022\tDo not share your password. You can change it at any time under My Account."));
        EXPECT_FALSE(showsActivityOverlay(top())) << "the overlay goes when the page has finished";
        ASSERT_TRUE(host->tapText("I Accept"));
        ASSERT_TRUE(topAs<MRNLookupViewController>());
    }
    // Looks a baby up, does `onDetails` there, and confirms it: on to the question.
    void addBaby(const std::string& mrn, const std::string& name,
                 const std::function<void()>& onDetails = {}) {
        ASSERT_TRUE(topAs<MRNLookupViewController>());
        typeInto("mrnTextField", mrn);
        ASSERT_TRUE(host->tapText("Search"));
        ASSERT_TRUE(waitFor([&] { return topAs<NewBabyViewController>() != nullptr; })) << mrn;
        ASSERT_TRUE(waitForText(name));
        if (onDetails) onDetails();
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(topAs<AddMoreBabiesConfirmationViewController>());
        EXPECT_TRUE(host->isShowing("New Baby"));
    }
};

TEST_F(RegistrationTest, TheSecurityCodeOpensTheFormWithTheInvitedMemberAndAWrongCodeSaysSo) {
    launch();
    ASSERT_TRUE(host->tapText("Create Account"));
    auto screen = topAs<SecurityCodeSignUpViewController>();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(flow()->isNavigationBarHidden());
    EXPECT_TRUE(host->isShowing("Sign Up"));
    // The back button is the arrow alone.
    auto back = host->findByIdentifier("BackButton");
    ASSERT_TRUE(back);
    EXPECT_EQ(visibleTextOf(*back).value_or(""), "");
    ASSERT_TRUE(waitForEvent("LoginScreen", "Tap", "userRegister"));
    EXPECT_EQ(detailsWith("LoginScreen", "userRegister"),
              (nlohmann::json{{"userRegister", "User trying to register"}, {"touchIDEnabled", false}}));
    ASSERT_TRUE(waitForEvent("SignUpWithInvitationScreen", "Loaded"));

    ASSERT_TRUE(host->tapText("Submit"));
    ASSERT_TRUE(GSMessage::shown(*screen));
    EXPECT_EQ(GSMessage::shown(*screen)->text(), "Please fill in missing fields.");

    typeInto("inviterNameTextField", kSarah);
    typeInto("securityCodeTextField", "111111");
    screen->onSubmit();
    EXPECT_FALSE(screen->saveButton->isEnabled()) << "disabled while the check runs";
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*screen)->text() == kInvitationFailed; }));
    EXPECT_TRUE(screen->saveButton->isEnabled());
    EXPECT_EQ(screen->securityCodeTextField->text(), "111111") << "the fields keep their texts";
    EXPECT_EQ(top(), UIViewControllerPtr(screen));

    host->tapIdentifier("securityCodeTextField");
    host->deleteBackward(6);
    host->type("424242");
    screen->onSubmit();
    EXPECT_FALSE(screen->saveButton->isEnabled());
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
    EXPECT_TRUE(screen->saveButton->isEnabled());
    auto form = topAs<RegistrationWithInvitation>();
    ASSERT_TRUE(form->userData);
    EXPECT_EQ(form->userData->email(), kSarah);
    EXPECT_EQ(form->userData->id(), -1);
    EXPECT_TRUE(host->isShowing(form->userData->fullName())) << "the form shows her details";
    EXPECT_TRUE(host->isShowing(kSarah));
    EXPECT_EQ(form->delegate.lock(), std::static_pointer_cast<RegistrationViewControllerDelegate>(flow()));
}

TEST_F(RegistrationTest, AnInvitedMemberRegistersTwoBabiesOnceEachAndStartsASession) {
    launch();
    openInvitation(kSarah, "424242");
    acceptTerms("mia-family-1");
    ASSERT_TRUE(waitForEvent("TermsAndConditionsScreen", "Tap", "accepted"));
    ASSERT_TRUE(waitForEvent("TermsAndConditionsScreen", "Loaded"));
    EXPECT_EQ(detailsWith("TermsAndConditionsScreen", "accepted"),
              (nlohmann::json{{"accepted", "User accepted terms and conditions"}}));

    addBaby("CW200001", "Mia Lopez");
    // Back to the baby's details and submit again: still one Mia.
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(topAs<NewBabyViewController>());
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(topAs<AddMoreBabiesConfirmationViewController>());
    EXPECT_THAT(names(flow()->babies), ElementsAre("Mia Lopez"));

    ASSERT_TRUE(host->tapText("Yes"));
    addBaby("CW100001", "Olivia Hart");
    EXPECT_THAT(names(flow()->babies), ElementsAre("Mia Lopez", "Olivia Hart"));

    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "no session started";
    // The tutorial, over the main interface.
    auto tutorial = std::dynamic_pointer_cast<OnboardingViewController>(host->topViewController());
    ASSERT_TRUE(tutorial);
    EXPECT_EQ(tutorial->presentingViewController(), UIViewControllerPtr(app->appController()));
    EXPECT_TRUE(host->isShowing("Connect"));
    auto& session = AuthenticationContext::shared();
    ASSERT_TRUE(session.user());
    EXPECT_EQ(session.user()->email(), kSarah);
    auto babies = names(session.babies());
    std::sort(babies.begin(), babies.end());
    // Each once; joining the Hart family on its invitation also brings its other twin.
    EXPECT_THAT(babies, ElementsAre("Mia Lopez", "Noah Hart", "Olivia Hart"));
    EXPECT_EQ(UserDefaults::standard().stringForKey("usernameKey"), kSarah);
    EXPECT_EQ(KeychainPasswordItem("CradlewayService", kSarah).readPassword(), "mia-family-1");
    EXPECT_THAT(flow()->viewControllers(), SizeIs(1)) << "the flow is back at the sign-in screen";
    EXPECT_TRUE(std::dynamic_pointer_cast<LoginViewController>(flow()->topViewController()));
    EXPECT_TRUE(flow()->babies.empty());
    EXPECT_FALSE(flow()->registrationInfo);
    EXPECT_FALSE(flow()->registrationPassword);

    // What the server stored: one account, in the Hart family, with Mia claimed.
    auto db = demo->server().state().pool->acquire();
    auto members = db->prepare("SELECT COUNT(*) FROM members WHERE email = ?");
    members.with(std::string(kSarah));
    ASSERT_TRUE(members.step());
    EXPECT_EQ(members.integer(0), 1);
    auto claimed = db->prepare("SELECT b.full_name FROM member_babies mb JOIN babies b ON b.id = mb.baby_id "
                               "JOIN members m ON m.id = mb.member_id WHERE m.email = ? ORDER BY b.full_name");
    claimed.with(std::string(kSarah));
    std::vector<std::string> stored;
    while (claimed.step())
        stored.push_back(claimed.text(0));
    EXPECT_THAT(stored, ElementsAre("Mia Lopez", "Noah Hart", "Olivia Hart"));
}

// Olivia is her family's to describe: shown for Sarah to check, with no field, wheel or camera that
// would take a change the server then drops.
// By finger alone: the record number's letters and digits on the drawn keys, tapped as they show
// (the letters come up as capitals, as the field asks), and the keyboard's Search key looks it up
// as the "Search" button does.
TEST_F(RegistrationTest, ARecordNumberTypedOnTheDrawnKeysAsTheyShowIsLookedUpByTheSearchKey) {
    launch();
    openInvitation(kSarah, "424242");
    ASSERT_NO_FATAL_FAILURE(acceptTerms("mia-family-1"));
    auto lookup = topAs<MRNLookupViewController>();
    ASSERT_TRUE(host->tapIdentifier("mrnTextField"));
    ASSERT_TRUE(Keyboard::shared().keyFrame("C")) << "the letters show as capitals";
    ASSERT_TRUE(typeAsShown(*host, "cw100001")) << "typed " << lookup->mrnTextField->text().value_or("");
    EXPECT_EQ(lookup->mrnTextField->text(), "CW100001");
    ASSERT_TRUE(tapKey(*host, "Search"));
    ASSERT_TRUE(waitFor([&] { return topAs<NewBabyViewController>() != nullptr; })) << "the Search key looked nothing up";
    ASSERT_TRUE(waitForText("Olivia Hart"));
}

TEST_F(RegistrationTest, AMemberWhoChoseNoPictureIsStoredWithoutOneAndTheFamilysBabyIsShownToCheckOnly) {
    launch();
    auto query = [&](const std::string& sql) {
        auto db = demo->server().state().pool->acquire();
        auto st = db->prepare(sql);
        return st.step() ? (st.isNull(0) ? std::string("NULL") : st.text(0)) : std::string();
    };
    const std::string olivia = query("SELECT file_name FROM babies WHERE mrn = 'CW100001'");
    ASSERT_NE(olivia, "NULL");
    auto form = openInvitation(kSarah, "424242");
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->userImageView->image()) << "the form shows the placeholder";
    acceptTerms("sarah-family-1");
    addBaby("CW100001", "Olivia Hart", [&] {
        for (const char* offered :
             {"nameTextField", "dobTextField", "genderChevronButton", "cameraImageView"}) {
            host->tapIdentifier(offered);
            EXPECT_FALSE(Keyboard::shared().isVisible() || host->isShowing("Photo Library")) << offered;
        }
    });
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "no session started";

    EXPECT_EQ(query("SELECT COALESCE(file_name, 'NULL') FROM members WHERE email = 'sarah@cradleway.test'"),
              "NULL")
        << "no picture was sent for her";
    EXPECT_EQ(query("SELECT file_name FROM babies WHERE mrn = 'CW100001'"), olivia);
}

TEST_F(RegistrationTest, TheBirthdayWheelOpensAtTheDayTheFieldShowsAndATurnKeepsTheFieldsFormat) {
    launch();
    openInvitation(kSarah, "424242");
    acceptTerms("mia-family-1");
    typeInto("mrnTextField", "CW200001");
    ASSERT_TRUE(host->tapText("Search"));
    ASSERT_TRUE(waitFor([&] { return topAs<NewBabyViewController>() != nullptr; }));
    ASSERT_TRUE(waitForText("Mia Lopez"));
    auto screen = topAs<NewBabyViewController>();
    DateFormatter shown;
    shown.setDateFormat("MMM, dd yyyy");
    const std::string filled = screen->dobTextField->text().value_or("");
    const auto day = shown.date(filled);
    ASSERT_TRUE(day) << filled;

    ASSERT_TRUE(host->tapIdentifier("dobTextField"));
    EXPECT_EQ(shown.string(screen->datePicker()->date()), filled) << "the wheel stands at the field's day";
    const Date dayBefore = *day - 24 * 3600;
    ASSERT_TRUE(host->turnDatePicker(dayBefore));
    EXPECT_TRUE(host->isShowing(shown.string(dayBefore)))
        << "one format: " << screen->dobTextField->text().value_or("");
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapIdentifier("dobTextField"));
    EXPECT_EQ(shown.string(screen->datePicker()->date()), shown.string(dayBefore));
    ASSERT_TRUE(host->tapText("Done"));

    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(topAs<AddMoreBabiesConfirmationViewController>());
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "no session started";
    auto db = demo->server().state().pool->acquire();
    auto stored = db->prepare("SELECT birthday FROM babies WHERE mrn = 'CW200001'");
    ASSERT_TRUE(stored.step());
    EXPECT_EQ(stored.text(0), DateFormatter::serverFormatter("yyyy-MM-dd").string(dayBefore));
}

TEST_F(RegistrationTest, AnUninvitedAddressCannotClaimAFamilysBabyAndAnUnknownNumberIsNotFound) {
    launch();
    auto form = openInvitation(kSarah, "424242");
    ASSERT_TRUE(form);
    // Another address stands in the (locked) e-mail field: nobody invited it.
    form->emailTextField->setText(std::string("lee@example.test"));
    acceptTerms("lee-password-1");

    auto lookup = topAs<MRNLookupViewController>();
    typeInto("mrnTextField", "CW999999");
    ASSERT_TRUE(host->tapText("Search"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*lookup) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*lookup)->text(), "No baby was found with this medical record number.");
    EXPECT_EQ(GSMessage::shown(*lookup)->type(), GSMessageType::error);
    EXPECT_TRUE(lookup->submitButton->isEnabled());
    EXPECT_EQ(lookup->mrnTextField->text(), "CW999999");
    EXPECT_EQ(top(), UIViewControllerPtr(lookup));

    host->tapIdentifier("mrnTextField");
    host->deleteBackward(8);
    addBaby("CW100001", "Olivia Hart");
    auto question = topAs<AddMoreBabiesConfirmationViewController>();
    ASSERT_TRUE(host->tapText("No"));
    EXPECT_TRUE(showsActivityOverlay(question)) << "the question is covered while the account is made";
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*question) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*question)->text(), kRegisteredToAFamily);
    EXPECT_EQ(GSMessage::shown(*question)->type(), GSMessageType::error);
    EXPECT_FALSE(showsActivityOverlay(question));
    EXPECT_FALSE(showsMainInterface());
    ASSERT_TRUE(waitForEvent("MyBabyScreen", "ServerRequest", "errorMessage"));
    EXPECT_EQ(detailsWith("MyBabyScreen", "errorMessage"),
              (nlohmann::json{{"errorMessage", kRegisteredToAFamily},
                              {"error", "User encountered error while creating account with baby"}}));
    // Everything is kept, so that "No" can be tapped again.
    EXPECT_THAT(names(flow()->babies), ElementsAre("Olivia Hart"));
    EXPECT_TRUE(flow()->registrationInfo);
    EXPECT_EQ(flow()->registrationPassword, "lee-password-1");
}

// Sarah, on the road the Hart family's invitation opened, also looks up Mia, whose mother Ana has
// not invited her yet: she reads that Mia has a family, and who can let her in.
TEST_F(RegistrationTest, ABabyWhoseFamilyHasNotInvitedHerIsShownAsAFamilysWithWhoCanLetHerIn) {
    // Ana registers Mia from her own phone.
    httplib::Client ana(demo->baseUrl());
    auto found = ana.Post("/m/api/baby/verify_mrn", R"({"mrn": "CW200001"})", "application/json");
    ASSERT_TRUE(found && found->status == 200);
    const std::string cookie = found->get_header_value("Set-Cookie");
    const nlohmann::json form = {{"full_name", "Ana Lopez"},
                                 {"email", "ana@cradleway.test"},
                                 {"relationship", "Mother"},
                                 {"password", "ana-family-1"},
                                 {"babies", {{{"id", 3}}}}};
    auto made = ana.Post("/m/api/signup", {{"Cookie", cookie.substr(0, cookie.find(';'))}}, form.dump(),
                         "application/json");
    ASSERT_TRUE(made && made->status == 200) << (made ? made->body : "");

    launch();
    openInvitation(kSarah, "424242");
    acceptTerms("sarah-family-1");
    auto lookup = topAs<MRNLookupViewController>();
    typeInto("mrnTextField", "CW200001");
    ASSERT_TRUE(host->tapText("Search"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*lookup) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*lookup)->text(), kRegisteredToAFamily);
    EXPECT_EQ(GSMessage::shown(*lookup)->type(), GSMessageType::error);
    EXPECT_EQ(top(), UIViewControllerPtr(lookup));
}

// Sarah checks her code and lingers over her form for more than an hour: her sign-up is refused with
// a word to enter her code again, and makes no account outside the family that invited her. Back at
// her code, the same road brings her in.
TEST_F(RegistrationTest, AnInviteeWhoLingeredAnHourAfterHerCodeIsAskedForItAgainAndThenJoinsHerFamily) {
    launch();
    openInvitation(kSarah, "424242");
    serverClockAhead += 3601;
    acceptTerms("sarah-family-1");
    addBaby("CW200001", "Mia Lopez");
    auto question = topAs<AddMoreBabiesConfirmationViewController>();
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*question) != nullptr || showsMainInterface(); }));
    ASSERT_FALSE(showsMainInterface()) << "she was let in outside the family that invited her";
    EXPECT_EQ(GSMessage::shown(*question)->text(),
              "An invitation is waiting for this e-mail address. Please enter your invitation code again "
              "to join your family.");
    EXPECT_EQ(GSMessage::shown(*question)->type(), GSMessageType::error);
    EXPECT_EQ(queryInteger(*demo, "SELECT COUNT(*) FROM members WHERE email = 'sarah@cradleway.test'"), 0)
        << "an account was made";

    for (int backs = 0; backs < 8 && !topAs<SecurityCodeSignUpViewController>(); ++backs)
        ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(topAs<SecurityCodeSignUpViewController>());
    ASSERT_TRUE(host->tapText("Submit"));
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
    acceptTerms("sarah-family-1");
    addBaby("CW200001", "Mia Lopez");
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "no session started";
    auto babies = names(AuthenticationContext::shared().babies());
    std::sort(babies.begin(), babies.end());
    EXPECT_THAT(babies, ElementsAre("Mia Lopez", "Noah Hart", "Olivia Hart"));
}

} // namespace cw::test
