#include "SignInFixture.h"

#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/PasswordResetViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/RecordingServer.h"

#include <gmock/gmock.h>

namespace cw::test {

TEST_F(SignInTest, APasswordResetReturnsToSignInWithTheServersMessageAndTheTemporaryPasswordSignsIn) {
    launch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(host->tapText("Forgot Password?"));
    auto reset = topAs<PasswordResetViewController>();
    ASSERT_TRUE(reset);
    EXPECT_TRUE(host->isShowing("Reset Password"));
    ASSERT_TRUE(waitForEvent("LoginScreen", "Tap", "userForgotPassword"));
    EXPECT_EQ(detailsWith("LoginScreen", "userForgotPassword"), (nlohmann::json{{"userForgotPassword", "User trying to rest password"}, {"touchID", false}}));
    ASSERT_TRUE(waitForEvent("PasswordResetScreen", "Loaded"));

    ASSERT_TRUE(host->tapText("Reset"));
    ASSERT_TRUE(GSMessage::shown(*reset));
    EXPECT_EQ(GSMessage::shown(*reset)->text(), "Email field is empty");
    EXPECT_EQ(GSMessage::shown(*reset)->type(), GSMessageType::error);

    typeInto("emailTextField", "demo@cradleway.test");
    ASSERT_TRUE(host->tapText("Reset"));
    ASSERT_TRUE(waitFor([&] { return top() == UIViewControllerPtr(login); })) << "back to the sign-in screen";
    const std::string message = "If an account exists for demo@cradleway.test, a temporary password has been sent to it.";
    auto shown = GSMessage::shown(*login);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->text(), message);
    EXPECT_EQ(shown->type(), GSMessageType::warning);
    EXPECT_EQ(shown->settings().textNumberOfLines, 0);
    EXPECT_DOUBLE_EQ(shown->settings().autoHideDelay, 5);
    host->advance(3.2);
    EXPECT_TRUE(GSMessage::shown(*login) && !GSMessage::shown(*login)->isHiding()) << "longer than a banner's 3 s";
    host->advance(2);
    host->settle();
    EXPECT_FALSE(GSMessage::shown(*login)) << "gone after 5 s";

    ASSERT_TRUE(waitForEvent("PasswordResetScreen", "ServerRequest", "passwordResetSuccess"));
    EXPECT_EQ(detailsWith("PasswordResetScreen", "passwordResetSuccess"),
              (nlohmann::json{{"passwordResetSuccess", "User password reset successful"},
                              {"passwordResetEmail", "demo@cradleway.test"}}));

    const auto temporary = temporaryPassword("demo@cradleway.test");
    ASSERT_TRUE(temporary) << "the server printed no temporary password";
    signIn("demo@cradleway.test", *temporary);
    EXPECT_TRUE(waitFor([&] { return showsMainInterface(); })) << "the temporary password signs in";
}

TEST_F(SignInTest, TheResetButtonFollowsTheScreenAndAFailedResetSaysWhy) {
    RecordingServer server;
    environment->writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
    launch();
    ASSERT_TRUE(host->tapText("Forgot Password?"));
    auto reset = topAs<PasswordResetViewController>();
    EXPECT_TRUE(reset->resetPasswordButton->isEnabled()) << "enabled as the scene has it";
    typeInto("emailTextField", "who@example.test");

    struct Case {
        Reply reply;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{400, R"({"message": "Please enter a valid e-mail address."})"}, "Please enter a valid e-mail address."},
        {{400, R"({"status": "bad"})"}, "Unexpected error. Please try again."},
        {{500, "[]"}, "Error Occured"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body);
        GSMessage::clearHistory();
        server.reply("POST", "/m/api/member/password/reset/", c.reply);
        ASSERT_TRUE(host->tapText("Reset"));
        ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }));
        EXPECT_EQ(GSMessage::history().back().text, c.text);
        EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
        EXPECT_EQ(top(), UIViewControllerPtr(reset)) << "the screen stays";
    }
    // Each failure is reported with the address.
    auto failures = [&] {
        std::vector<nlohmann::json> found;
        for (const auto& r : server.requestsAt("/m/api/analytics/"))
            if (r.json()["event_details"].contains("passwordResetFailure")) found.push_back(r.json()["event_details"]);
        return found;
    };
    ASSERT_TRUE(waitFor([&] { return failures().size() == cases.size(); }));
    EXPECT_EQ(failures().front(), (nlohmann::json{{"passwordResetFailure", "User password reset failed"},
                                                  {"passwordResetEmail", "who@example.test"}}));

    // A reply without its message changes nothing.
    server.reply("POST", "/m/api/member/password/reset/", Reply{200, R"({"status": "ok"})"});
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Reset"));
    ASSERT_TRUE(waitFor([&] { return server.requestsAt("/m/api/member/password/reset/").size() == 4; }));
    RunLoop::main().runFor(0.1);
    host->settle();
    EXPECT_EQ(top(), UIViewControllerPtr(reset));
    EXPECT_TRUE(GSMessage::history().empty());

    // Two taps send two resets: nothing guards a reset that is running.
    server.reply("POST", "/m/api/member/password/reset/", {Reply{200, R"({"status": "ok"})"}, Reply{200, R"({"status": "ok"})"}});
    reset->resetPasswordTapped();
    reset->resetPasswordTapped();
    ASSERT_TRUE(waitFor([&] { return server.requestsAt("/m/api/member/password/reset/").size() == 6; }));

    // Away and back: the same screen's button waits for the field to be edited again.
    ASSERT_TRUE(host->goBack());
    EXPECT_FALSE(reset->resetPasswordButton->isEnabled());
    EXPECT_DOUBLE_EQ(reset->resetPasswordButton->alpha(), 0.5);
    flow()->pushViewController(reset, false);
    host->settle();
    EXPECT_FALSE(reset->resetPasswordButton->isEnabled());
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    EXPECT_TRUE(reset->resetPasswordButton->isEnabled());
    EXPECT_DOUBLE_EQ(reset->resetPasswordButton->alpha(), 1.0);
}

} // namespace cw::test
