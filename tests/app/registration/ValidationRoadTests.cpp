#include "Controllers/SignIn/RegistrationEmailViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/SignUpViewController.h"
#include "Controllers/SignIn/ValidateInvitationViewController.h"
#include "ScreenFixture.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/app/signin/SignInFixture.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>

#include <map>

namespace cw::test {

namespace {

int countOf(const std::vector<StoredEvent>& events, const std::string& action, const std::string& key = "") {
    int n = 0;
    for (const auto& e : events)
        n += e.action == action && (key.empty() ? e.details.empty() : e.details.contains(key));
    return n;
}

} // namespace

// The sign-up choice and the invitation check, against the demo server: Sarah's invitation came
// from Emma Hart (demo@cradleway.test) with the code 424242.
class ValidationRoad : public SignInTest {
protected:
    std::shared_ptr<SignUpViewController> openChoice() {
        launch();
        auto choice = instantiateViewController<SignUpViewController>(*UIStoryboard::named("SignInSignUp"));
        flow()->pushViewController(choice, false);
        host->settle();
        return choice;
    }
    void replaceText(const std::string& identifier, const std::string& text) {
        ASSERT_TRUE(host->tapIdentifier(identifier));
        ASSERT_TRUE(host->deleteBackward(30));
        ASSERT_TRUE(host->type(text));
    }
    // She drags the form down onto the keys, which takes the keyboard away from over the button.
    void dragKeyboardAway() {
        const CGFloat top = Keyboard::shared().frame().minY();
        ASSERT_TRUE(host->drag({180, top - 60}, {180, top + 60}));
        ASSERT_FALSE(Keyboard::shared().isVisible());
    }
    void fillInvitation(const std::string& code) {
        replaceText("inviterNameTextField", "Emma Hart");
        replaceText("inviterEmailTextField", "demo@cradleway.test");
        replaceText("securityCodeTextField", code);
    }
};

TEST_F(ValidationRoad, TheRightDetailsOpenTheInvitedFormEachTimeAndAWrongCodeSaysWhy) {
    auto choice = openChoice();
    EXPECT_TRUE(host->isShowing("Welcome to CRADLEWAY."));
    ASSERT_TRUE(host->tapText("Yes, I have"));
    auto check = topAs<ValidateInvitationViewController>();
    ASSERT_TRUE(check);
    EXPECT_TRUE(waitForText("Invitation Information"));
    EXPECT_EQ(check->createAccountButton()->title(UIControlStateNormal), "Next");

    // A field left empty asks nothing.
    typeInto("inviterNameTextField", "Emma Hart");
    ASSERT_NO_FATAL_FAILURE(dragKeyboardAway());
    ASSERT_TRUE(host->tapText("Next"));
    RunLoop::main().runFor(0.1);
    EXPECT_EQ(top(), UIViewControllerPtr(check));

    fillInvitation("424242");
    ASSERT_NO_FATAL_FAILURE(dragKeyboardAway());
    ASSERT_TRUE(host->tapText("Next"));
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
    auto form = topAs<RegistrationWithInvitation>();
    EXPECT_EQ(form->nameTextField->text(), "Sarah Hart");
    EXPECT_EQ(form->relationshipTextField->text(), "Relative");
    EXPECT_EQ(form->emailTextField->text(), "sarah@cradleway.test");
    EXPECT_FALSE(form->emailTextField->isEnabled());
    ASSERT_TRUE(form->passwordTextField) << "the whole form, though made without its scene";
    EXPECT_TRUE(form->userImageView->image());

    // Back: the button now says so, and a second check opens a new form.
    ASSERT_TRUE(host->goBack());
    EXPECT_EQ(check->createAccountButton()->title(UIControlStateNormal), "Create Account");
    ASSERT_TRUE(host->tapText("Create Account"));
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
    EXPECT_NE(topAs<RegistrationWithInvitation>(), form);
    ASSERT_TRUE(host->goBack());

    // Having left the screen and come back, the keyboard still makes room under the form.
    ASSERT_TRUE(host->tapIdentifier("inviterEmailTextField"));
    ASSERT_TRUE(waitFor([&] { return check->scrollView()->contentInset().bottom > 0; }));
    EXPECT_EQ(check->scrollView()->contentInset().bottom, Keyboard::shared().frame().height());
    EXPECT_EQ(check->scrollView()->scrollIndicatorInsets.bottom, Keyboard::shared().frame().height());

    // A wrong code: the server's words, and the failure recorded with what was typed.
    fillInvitation("111111");
    ASSERT_NO_FATAL_FAILURE(dragKeyboardAway());
    ASSERT_TRUE(host->tapText("Create Account"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*check) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*check)->text(), "These details do not match any open invitation.");
    EXPECT_EQ(GSMessage::shown(*check)->type(), GSMessageType::error);
    EXPECT_EQ(top(), UIViewControllerPtr(check));
    EXPECT_FALSE(showsOverlay(*host->window()));
    ASSERT_TRUE(waitForEvent("SignUpWithInvitationScreen", "Tap", "userInviteFailure"));
    EXPECT_EQ(detailsWith("SignUpWithInvitationScreen", "userInviteFailure"),
              (nlohmann::json{{"userInviteFailure", "User invitation code failed validation"},
                              {"errorMessage", "These details do not match any open invitation."},
                              {"inviterData", "demo@cradleway.test-Emma Hart-demo@cradleway.test"}}));

    // The keyboard gone, the insets go with it.
    check->view()->endEditing(true);
    host->settle();
    EXPECT_EQ(check->scrollView()->contentInset().bottom, 0);

    // Back to the choice: it is loaded again and a new check screen is made.
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->tapText("Yes, I have"));
    EXPECT_NE(topAs<ValidateInvitationViewController>(), check);
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->tapText("No, I don't"));
    EXPECT_TRUE(topAs<RegistrationEmailViewController>());

    // Sent from a background queue: they arrive in any order.
    EXPECT_TRUE(waitFor([&] { return eventsOf("SignUpScreen").size() >= 6; }));
    const auto choices = eventsOf("SignUpScreen");
    EXPECT_EQ(countOf(choices, "Loaded"), 3) << "each appearance";
    EXPECT_EQ(countOf(choices, "Tap", "userNewAccountWithInvitation"), 2);
    EXPECT_EQ(detailsWith("SignUpScreen", "userNewAccount"),
              (nlohmann::json{{"userNewAccount", "User trying to create new account"}}));
    EXPECT_TRUE(waitFor([&] {
        const auto checks = eventsOf("SignUpWithInvitationScreen");
        return countOf(checks, "Tap", "checkuserInvite") == 3 && countOf(checks, "Tap", "userInviteSuccess") == 2;
    }));
    EXPECT_EQ(detailsWith("SignUpWithInvitationScreen", "checkuserInvite"),
              (nlohmann::json{{"checkuserInvite", "Check invitation details of user"}}));
    EXPECT_EQ(detailsWith("SignUpWithInvitationScreen", "userInviteSuccess"),
              (nlohmann::json{{"userInviteSuccess", "User invitation successfully validated"}}));
}

// The check against replies the demo server never gives.
class ValidationReplies : public ScreenTest {
protected:
    std::shared_ptr<ValidateInvitationViewController> check;

    void SetUp() override {
        ScreenTest::SetUp();
        check = std::make_shared<ValidateInvitationViewController>();
        show(check);
        check->formView()->inviterNameTextField()->setText(std::string("Emma Hart"));
        check->formView()->inviterEmailTextField()->setText(std::string("demo@cradleway.test"));
        check->formView()->securityCodeTextField()->setText(std::string(" "));
    }
    // Taps "Next" with `reply` queued and answers the banner's text ("" for none).
    std::string bannerAfter(const Reply& reply) {
        server.reply("POST", "/m/api/invite/check", reply);
        GSMessage::clearHistory();
        const auto before = server.requestsAt("/m/api/invite/check").size();
        EXPECT_TRUE(host->tapText(check->createAccountButton()->title(UIControlStateNormal).value_or("")));
        EXPECT_TRUE(waitFor([&] { return server.requestsAt("/m/api/invite/check").size() > before; }));
        // The server has the request; its reply still has to come back on a busy machine.
        EXPECT_TRUE(waitForOverlayToGo());
        return GSMessage::history().empty() ? "" : GSMessage::history().back().text;
    }
};

TEST_F(ValidationReplies, EveryFailureSaysSomethingAndOnlyACompleteReplyOpensTheForm) {
    const std::string unexpected = "Unexpected error. Please try again.";
    EXPECT_EQ(bannerAfter(Reply{500, ""}), unexpected) << "no body";
    EXPECT_EQ(bannerAfter(Reply{500, "<html>down</html>", "text/html"}), unexpected) << "not JSON";
    EXPECT_EQ(bannerAfter(Reply{400, "[1, 2]"}), "Server error");
    EXPECT_EQ(bannerAfter(Reply{404, R"({"message": 7})"}), unexpected) << "no text message";
    EXPECT_EQ(bannerAfter(Reply{404, R"({"message": ""})"}), unexpected) << "an empty message";
    EXPECT_EQ(check->createAccountButton()->title(UIControlStateNormal), "Next") << "failures keep the title";
    auto body = server.requestsAt("/m/api/invite/check").front().json();
    EXPECT_EQ(body, (nlohmann::json{{"invite_full_name", "Emma Hart"},
                                    {"email", "demo@cradleway.test"},
                                    {"invitation_code", " "}}));

    // A success without the address opens nothing, yet counts as a success; a success in any
    // letter case of a relationship opens the form with it.
    EXPECT_EQ(bannerAfter(Reply{200, R"({"full_name": "Ann", "relationship": "Mother"})"}), "");
    EXPECT_EQ(navigation->topViewController(), UIViewControllerPtr(check));
    EXPECT_EQ(check->createAccountButton()->title(UIControlStateNormal), "Create Account");
    bannerAfter(Reply{200, R"({"full_name": "Ann", "relationship": "GRAND parent", "email": "ann@x.test"})"});
    auto form = std::dynamic_pointer_cast<RegistrationWithInvitation>(navigation->topViewController());
    ASSERT_TRUE(form);
    EXPECT_EQ(form->userData->relationship(), FamilyRelationship::GrandParent);
    navigation->popViewController(false);
    host->settle();
    bannerAfter(Reply{200, R"({"full_name": "Ann", "relationship": "aunt", "email": "ann@x.test"})"});
    form = std::dynamic_pointer_cast<RegistrationWithInvitation>(navigation->topViewController());
    ASSERT_TRUE(form);
    EXPECT_EQ(form->userData->relationship(), FamilyRelationship::Others);

    // Events go out from a background queue: counted, not ordered.
    auto taps = [&] {
        std::map<std::string, int> counts;
        for (const auto& e : events())
            if (e[1] == "Tap")
                for (const auto& [key, value] : e[2].items())
                    if (key != "errorMessage" && key != "inviterData") ++counts[key];
        return counts;
    };
    const std::map<std::string, int> expected{{"checkuserInvite", 8}, {"userInviteFailure", 2}, {"userInviteSuccess", 3}};
    waitFor([&] { return taps() == expected; });
    EXPECT_EQ(taps(), expected)
        << "a failure is recorded only for a JSON object, a success for any object";
}

} // namespace cw::test
