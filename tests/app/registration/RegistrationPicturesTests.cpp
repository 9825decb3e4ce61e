#include "Controllers/SignIn/EmailVerificationFailureViewController.h"
#include "Controllers/SignIn/EmailVerificationViewController.h"
#include "Controllers/SignIn/HasBabyYetViewController.h"
#include "Controllers/SignIn/RegistrationViewController.h"
#include "Controllers/SignIn/SignUpViewController.h"
#include "Controllers/SignIn/ValidateInvitationViewController.h"
#include "tests/app/signin/SignInFixture.h"

#include <cstdlib>
#include <filesystem>

namespace cw::test {

// Pictures of the registration screens that nothing in the application opens (the sign-up choice
// leads to all but the last): written to CW_SCREENSHOT_DIR when it is set (scripts/screenshots gives
// docs/screens), else to the test's own directory.
class RegistrationPictures : public SignInTest {
protected:
    void take(const std::string& name) {
        const std::filesystem::path dir = [&]() -> std::filesystem::path {
            if (const char* d = std::getenv("CW_SCREENSHOT_DIR"); d && *d) return d;
            return environment->directory();
        }();
        std::filesystem::create_directories(dir);
        std::string error;
        EXPECT_TRUE(host->screenshot(dir / (name + ".png"), &error)) << error;
    }
    std::string lastCode() const {
        const std::string marker = "e-mail verification: code ";
        std::string code;
        for (const auto& line : consoleLines())
            if (auto at = line.find(marker); at != std::string::npos) code = line.substr(at + marker.size(), 4);
        return code;
    }
};

TEST_F(RegistrationPictures, TheScreensOfTheSignUpChoice) {
    launch();
    flow()->pushViewController(instantiateViewController<SignUpViewController>(*UIStoryboard::named("SignInSignUp")),
                               false);
    host->settle();
    take("18-sign-up-choice");

    ASSERT_TRUE(host->tapText("Yes, I have"));
    typeInto("inviterNameTextField", "Emma Hart");
    typeInto("inviterEmailTextField", "demo@cradleway.test");
    typeInto("securityCodeTextField", "424242");
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(waitForText("Invitation Information"));
    take("19-invitation-validation");
    ASSERT_TRUE(host->goBack());

    ASSERT_TRUE(host->tapText("No, I don't"));
    typeInto("emailTextField", "alex.moreau@cradleway.test");
    take("22-registration-email");
    ASSERT_TRUE(host->tapText("Send"));
    ASSERT_TRUE(waitFor([&] { return topAs<EmailVerificationViewController>() != nullptr; }));
    const std::string code = lastCode();
    ASSERT_EQ(code.size(), 4u);
    ASSERT_TRUE(host->type(code.substr(0, 2)));
    take("23-email-verification");
    ASSERT_TRUE(host->type(code[2] == '9' ? "00" : "99"));
    ASSERT_TRUE(waitFor([&] { return topAs<EmailVerificationFailureViewController>() != nullptr; }));
    take("24-email-verification-failure");

    ASSERT_TRUE(host->tapText("Resend Verification Code"));
    ASSERT_TRUE(host->tapText("Send"));
    ASSERT_TRUE(waitFor([&] { return topAs<EmailVerificationViewController>() != nullptr; }));
    ASSERT_TRUE(host->type(lastCode()));
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationViewController>() != nullptr; }));
    typeInto("passwordField", "short");
    topAs<RegistrationViewController>()->view()->endEditing(true);
    topAs<RegistrationViewController>()->createAccountTapped();
    // From the top, so that the marked fields show under the banner.
    // A finger takes the form back to its top.
    const auto form = topAs<RegistrationViewController>()->scrollView();
    if (std::abs(form->contentOffset().y) > 0.5) {
        ASSERT_TRUE(host->scroll(form, {0, form->contentOffset().y}));
    }
    host->settle();
    ASSERT_TRUE(host->isShowing("All fields are required."));
    take("25-create-account-marked");

    flow()->pushViewController(std::make_shared<HasBabyYetViewController>(
                                   std::string("alex-password"),
                                   std::make_shared<UserData>("Alex Moreau", FamilyRelationship::Father,
                                                              "alex.moreau@cradleway.test")),
                               false);
    host->settle();
    ASSERT_TRUE(waitForText("Has your baby been born yet?"));
    take("26-has-baby-yet");
}

} // namespace cw::test
