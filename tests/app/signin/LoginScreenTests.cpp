#include "SignInFixture.h"

#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/PasswordResetViewController.h"
#include "Services/KeychainPasswordItem.h"
#include "foundation/defaults/UserDefaults.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/RecordingServer.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/UIWindow.h"

#include <gmock/gmock.h>

namespace cw::test {

namespace {

std::optional<std::string> storedPassword(const std::string& email) {
    try {
        return KeychainPasswordItem("CradlewayService", email).readPassword();
    } catch (const KeychainPasswordItem::KeychainError&) {
        return std::nullopt;
    }
}

std::optional<std::string> username() {
    return UserDefaults::standard().stringForKey("usernameKey");
}

// The banner the screen on top shows now, if any.
std::shared_ptr<GSMessage> banner(const UIViewControllerPtr& screen) {
    return screen ? GSMessage::shown(*screen) : nullptr;
}

} // namespace

TEST_F(SignInTest, TheDemoMemberSignsInToTheMainInterfaceAndIsRememberedWithTouchIDOff) {
    launch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(login);
    EXPECT_TRUE(flow()->isNavigationBarHidden()) << "the sign-in screen has no bar";
    EXPECT_TRUE(host->isShowing("Log In"));
    ASSERT_TRUE(host->findByIdentifier("touchIDSwitch"));
    EXPECT_TRUE(host->isShowing("Use Touch ID"));
    EXPECT_FALSE(UserDefaults::standard().boolForKey("touchIDKey"));

    signIn("demo@cradleway.test", "cradleway-demo");
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "the main interface did not come";
    EXPECT_EQ(AuthenticationContext::shared().user()->email(), "demo@cradleway.test");
    EXPECT_EQ(username(), "demo@cradleway.test");
    EXPECT_EQ(storedPassword("demo@cradleway.test"), "cradleway-demo") << "saved even with Touch ID off";
    EXPECT_EQ(login->emailTextField->text().value_or(""), "");
    EXPECT_EQ(login->passwordField->text().value_or(""), "");
    EXPECT_THAT(flow()->viewControllers(), ::testing::SizeIs(1));
    EXPECT_TRUE(waitForEvent("LoginScreen", "Loaded"));
}

TEST_F(SignInTest, EverySignInFailureSaysWhyInABanner) {
    launch();
    auto login = topAs<LoginViewController>();

    ASSERT_TRUE(host->tapText("Sign In"));
    ASSERT_TRUE(banner(login));
    EXPECT_EQ(banner(login)->text(), "Enter your credentials to login");
    EXPECT_EQ(banner(login)->type(), GSMessageType::error);

    typeInto("emailTextField", "demo@cradleway.test");
    typeInto("passwordField", "not-the-password");
    login->signInTapped();
    EXPECT_TRUE(showsActivityOverlay(login)) << "covered while the server answers";
    ASSERT_TRUE(waitFor([&] { return banner(login) && banner(login)->text() != "Enter your credentials to login"; }));
    EXPECT_EQ(banner(login)->text(), "The e-mail address or password is not correct.");
    EXPECT_EQ(banner(login)->type(), GSMessageType::error);
    EXPECT_EQ(banner(login)->settings().textNumberOfLines, 0) << "the server's text takes the lines it needs";
    EXPECT_FALSE(showsMainInterface());
    EXPECT_FALSE(username()) << "nothing is remembered of a refused sign-in";

    // Without a server there is no reply to read; the member still learns that it failed.
    demo->stop();
    ASSERT_TRUE(host->tapText("Sign In"));
    ASSERT_TRUE(waitFor([&] { return banner(login) && banner(login)->text() != "The e-mail address or password is not correct."; }, 20));
    EXPECT_EQ(banner(login)->text(), "Unexpected error. Please try again.");
    EXPECT_EQ(banner(login)->type(), GSMessageType::error);
    EXPECT_FALSE(showsActivityOverlay(login));
}

TEST_F(SignInTest, TouchIDSignsInTheLastMemberAtTheNextStartAndOnlyWithAMatch) {
    launch();
    ASSERT_TRUE(host->tapIdentifier("touchIDSwitch"));
    EXPECT_TRUE(UserDefaults::standard().boolForKey("touchIDKey"));
    demo->answerFeedQuestions();
    signIn("demo@cradleway.test", "cradleway-demo");
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); }));
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_FALSE(showsMainInterface());
    EXPECT_TRUE(UserDefaults::standard().boolForKey("touchIDKey")) << "logout keeps the Touch ID choice";

    // A finger that does not match: nothing happens, nothing is shown.
    host->setTouchID(true, false);
    relaunch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(login);
    EXPECT_TRUE(host->findByIdentifier("biometricLoginButton")) << "Touch ID shows its button";
    EXPECT_TRUE(login->touchIDSwitch->isOn());
    ASSERT_TRUE(waitFor([&] { return console.str().find("There was a problem verifying your identity.") != std::string::npos; }));
    EXPECT_FALSE(showsMainInterface());
    EXPECT_FALSE(banner(login));
    EXPECT_EQ(login->emailTextField->text().value_or(""), "");

    // The prompt starts by itself at the next start, and a match signs in.
    host->setTouchID(true, true);
    relaunch();
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "Touch ID did not sign in";
    EXPECT_EQ(AuthenticationContext::shared().user()->email(), "demo@cradleway.test");
}

TEST_F(SignInTest, TouchIDWithoutAStoredPasswordForgetsTheMemberAndFaceIDOffersNothing) {
    UserDefaults::standard().setBool(true, "touchIDKey");
    UserDefaults::standard().setObject(UserDefaults::Value(std::string("demo@cradleway.test")), "usernameKey");
    host = std::make_unique<cw::HeadlessHost>(screenSize);
    host->setTouchID(true, true);
    launch();
    ASSERT_TRUE(waitFor([] { return !UserDefaults::standard().stringForKey("usernameKey"); }));
    EXPECT_FALSE(showsMainInterface());
    EXPECT_TRUE(GSMessage::history().empty()) << "no message";

    // Face ID: no button, and nothing starts by itself.
    UserDefaults::standard().setObject(UserDefaults::Value(std::string("demo@cradleway.test")), "usernameKey");
    KeychainPasswordItem("CradlewayService", "demo@cradleway.test").savePassword("cradleway-demo");
    cw::setBiometricAnswers({LABiometryType::faceID, std::nullopt, std::nullopt});
    relaunch();
    EXPECT_FALSE(host->findByIdentifier("biometricLoginButton"));
    host->advance(1);
    EXPECT_FALSE(waitFor([&] { return showsMainInterface(); }, 0.5));
    EXPECT_EQ(username(), "demo@cradleway.test");
}

TEST_F(SignInTest, OnAShortScreenTheSignInScreenMovesUpOnlyWhileThePasswordIsEdited) {
    screenSize = {320, 568};
    launch();
    auto login = topAs<LoginViewController>();
    auto view = login->view();
    ASSERT_EQ(view->frame().origin.y, 0);

    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    EXPECT_EQ(view->frame().origin.y, 0) << "the e-mail field has room";
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    EXPECT_EQ(view->frame().origin.y, -42);
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    EXPECT_EQ(view->frame().origin.y, 0) << "back down as the e-mail is edited again";
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    EXPECT_EQ(view->frame().origin.y, -42) << "no further than 42 points";
    login->dismissKeyboard();
    host->settle();
    EXPECT_EQ(view->frame().origin.y, 0);

    // The screens of the flow move by their own distances, from below the bar.
    ASSERT_TRUE(host->tapText("Forgot Password?"));
    auto reset = topAs<PasswordResetViewController>();
    ASSERT_TRUE(reset);
    const CGFloat resting = reset->view()->frame().origin.y;
    EXPECT_EQ(resting, 64) << "below the opaque bar";
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    EXPECT_EQ(reset->view()->frame().origin.y, resting - 56);
    reset->dismissKeyboard();
    host->settle();
    EXPECT_EQ(reset->view()->frame().origin.y, resting);
}

TEST_F(SignInTest, OnAStandardScreenNothingMoves) {
    launch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    EXPECT_EQ(login->view()->frame().origin.y, 0);
}

} // namespace cw::test

namespace cw::test {

// What the sign-in screen makes of each kind of failed reply, from a server that answers as told.
TEST_F(SignInTest, ARefusedSignInShowsTheServersStatusOrAFixedTextForEveryOtherReply) {
    RecordingServer server;
    environment->writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
    struct Case {
        Reply reply;
        std::string text;
        GSMessageType type;
    };
    const std::vector<Case> cases = {
        {{401, R"({"status": "Your account is locked.", "message": "m"})"}, "Your account is locked.", GSMessageType::error},
        {{500, "<html>Bad gateway</html>", "text/html"}, "Server error, please try in sometime. 102.12", GSMessageType::warning},
        {{500, "[1, 2]"}, "Server error, please try in sometime. 102.11", GSMessageType::warning},
        {{400, R"({"message": "Missing email"})"}, "Unexpected error. Please try again.", GSMessageType::error},
        {{400, R"({"status": 7})"}, "Unexpected error. Please try again.", GSMessageType::error},
    };
    launch();
    auto login = topAs<LoginViewController>();
    typeInto("emailTextField", "demo@cradleway.test");
    typeInto("passwordField", "secret");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body);
        GSMessage::clearHistory();
        const std::size_t printed = console.str().size();
        server.reply("POST", "/m/api/signin/", c.reply);
        ASSERT_TRUE(host->tapText("Sign In"));
        ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }));
        EXPECT_EQ(GSMessage::history().back().text, c.text);
        EXPECT_EQ(GSMessage::history().back().type, c.type);
        EXPECT_FALSE(showsActivityOverlay(login));
        if (c.text.ends_with("102.12")) {
            EXPECT_GT(console.str().size(), printed) << "the parse error is printed";
        }
    }
}

} // namespace cw::test

namespace cw::test {

// A reply that says success but holds no session is a failure the member hears of, and nothing of
// it is kept: no member, no tokens, nothing for Touch ID.
TEST_F(SignInTest, ASuccessfulReplyWithoutASessionSaysSoAndKeepsNothing) {
    RecordingServer server;
    environment->writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
    const nlohmann::json member = {{"id", 7}, {"full_name", "Ada Park"}, {"email", "ada@example.test"},
                                   {"relationship", "Mother"}};
    const nlohmann::json tokens = {{"access_token", "a1"}, {"refresh_token", "r1"}};
    const std::vector<Reply> replies = {
        {200, "{}"},
        {200, nlohmann::json{{"user", member}}.dump()},
        {200, nlohmann::json{{"tokens", tokens}, {"babies", nlohmann::json::array()}}.dump()},
        {200, nlohmann::json{{"user", member}, {"tokens", {{"access_token", "a1"}}}}.dump()},
        {200, "[1, 2]"},
        {204, ""},
    };
    launch();
    // A member who logged out earlier stays in memory (logout keeps the record): a reply with
    // tokens alone must not start a session for her.
    auto& session = AuthenticationContext::shared();
    session.setUser(std::make_shared<UserData>("Emma Hart", FamilyRelationship::Mother, "demo@cradleway.test"));
    auto login = topAs<LoginViewController>();
    typeInto("emailTextField", "ada@example.test");
    typeInto("passwordField", "ada-password");
    for (const auto& reply : replies) {
        SCOPED_TRACE(std::to_string(reply.status) + " " + reply.body);
        GSMessage::clearHistory();
        server.reply("POST", "/m/api/signin/", reply);
        ASSERT_TRUE(host->tapText("Sign In"));
        ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }));
        EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
        EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
        EXPECT_FALSE(showsActivityOverlay(login));
        EXPECT_FALSE(showsMainInterface());
        EXPECT_EQ(login->emailTextField->text(), "ada@example.test") << "the fields keep what was typed";
        EXPECT_EQ(login->passwordField->text(), "ada-password");
        EXPECT_FALSE(username());
        EXPECT_FALSE(storedPassword("ada@example.test"));
        EXPECT_FALSE(session.oAuthToken());
        EXPECT_EQ(session.user()->email(), "demo@cradleway.test");
        for (const char* key : {"userKey", "babyKey", "token", "refreshToken"})
            EXPECT_FALSE(UserDefaults::standard().objectForKey(key)) << key;
    }
}

} // namespace cw::test
