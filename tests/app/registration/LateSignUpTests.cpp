// Sarah's sign-up is slow to be answered: the server has made her account, but its answer is held
// on the ward's network. She goes back to the sign-in screen and the father signs in on the same
// phone. Whether her answer comes before he signs in or after, it belongs to a road she left: it
// signs nobody in, opens no tutorial, and his session stays his.

#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/SignIn/HasBabyYetViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/app/signin/SignInFixture.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"

#include <atomic>
#include <mutex>

namespace cw::test {

namespace {

const char* kSignUpPath = "/m/api/signup/";

} // namespace

class LateSignUp : public SignInTest {
protected:
    void SetUp() override {
        SignInTest::SetUp();
        // Every request passes through to the demo server; the answer to the sign-up waits at the
        // gate after the server has done the work.
        front.setHandler([this, upstream = demo->baseUrl(), gate = gate](const RecordedRequest& request,
                                                                         httplib::Response& response) {
            forwardRequest(upstream, request, response);
            if (request.path != kSignUpPath) return;
            gate->wait();
            const auto reply = nlohmann::json::parse(response.body, nullptr, false);
            std::lock_guard lock(mutex_);
            if (reply.is_object() && reply.contains("tokens"))
                sarahsToken_ = reply["tokens"].value("access_token", "");
            answered_ = true;
        });
        prepareBundle(*environment, front.base(), "org.cradleway.signin-tests");
    }
    void TearDown() override {
        gate->open();
        front.stop();
        SignInTest::TearDown();
    }

    // Sarah fills in her road to its end and taps "No": her sign-up leaves, and she goes back to
    // the sign-in screen while it is on its way.
    void sarahSignsUpAndGoesBack() {
        launch();
        ASSERT_TRUE(host->tapText("Create Account"));
        typeInto("inviterNameTextField", "sarah@cradleway.test");
        typeInto("securityCodeTextField", "424242");
        ASSERT_TRUE(host->tapText("Submit"));
        ASSERT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
        typeInto("passwordTextField", "sarah-2019\n");
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(waitForText("I Accept"));
        ASSERT_TRUE(host->tapText("I Accept"));
        typeInto("mrnTextField", "CW200001");
        ASSERT_TRUE(host->tapText("Search"));
        ASSERT_TRUE(waitFor([&] { return topAs<NewBabyViewController>() != nullptr; }));
        ASSERT_TRUE(waitForText("Mia Lopez"));
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(host->tapText("No"));
        ASSERT_TRUE(waitFor([&] { return front.requestCount(kSignUpPath) == 1; })) << "no sign-up left";
        for (int backs = 0; backs < 8 && !host->isShowing("Log In"); ++backs)
            ASSERT_TRUE(host->goBack());
        ASSERT_TRUE(host->isShowing("Log In"));
        host->settle();
    }

    // Her answer comes, and whatever it could set off has arrived once a request sent after it has.
    void herAnswerComes() {
        gate->open();
        ASSERT_TRUE(waitFor([&] {
            std::lock_guard lock(mutex_);
            return answered_;
        }));
        BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
        ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/sentinel/") == 1; }));
        RunLoop::main().runFor(0.2);
        host->settle();
        std::lock_guard lock(mutex_);
        ASSERT_FALSE(sarahsToken_.empty()) << "the server did not make her account";
    }

    void theFatherSignsIn() {
        signIn("partner@cradleway.test", "cradleway-demo");
        ASSERT_TRUE(waitFor([&] { return showsMainInterface() && host->isShowing("Daily update for Olivia"); }))
            << "his feed did not come";
    }

    // The phone is his: his member and token, his name in the menu, no tutorial of hers over his
    // screens, and nothing sent with her token.
    void expectHisSessionAlone() {
        auto& session = AuthenticationContext::shared();
        ASSERT_TRUE(session.user());
        EXPECT_EQ(session.user()->email(), "partner@cradleway.test");
        EXPECT_EQ(session.user()->fullName(), "James Hart");
        EXPECT_NE(session.oAuthToken(), sarahsToken());
        EXPECT_EQ(UserDefaults::standard().stringForKey("usernameKey"), "partner@cradleway.test");
        EXPECT_FALSE(std::dynamic_pointer_cast<OnboardingViewController>(host->topViewController()))
            << "her tutorial over his screens";
        ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
        EXPECT_TRUE(waitForText("James Hart"));
        EXPECT_FALSE(host->isShowing("Sarah Hart"));
        for (const auto& request : front.requests())
            EXPECT_NE(request.header("X-Access-Token"), sarahsToken()) << "sent with her token: " << request.path;
    }

    std::string sarahsToken() {
        std::lock_guard lock(mutex_);
        return sarahsToken_;
    }

    RecordingServer front;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

private:
    std::mutex mutex_;
    bool answered_ = false;
    std::string sarahsToken_;
};

TEST_F(LateSignUp, SarahsAnswerAfterTheFatherSignedInLeavesThePhoneHis) {
    ASSERT_NO_FATAL_FAILURE(sarahSignsUpAndGoesBack());
    ASSERT_NO_FATAL_FAILURE(theFatherSignsIn());
    ASSERT_NO_FATAL_FAILURE(herAnswerComes());
    ASSERT_TRUE(showsMainInterface());
    expectHisSessionAlone();
}

TEST_F(LateSignUp, SarahsAnswerOnTheSignInScreenSheLeftItForSignsNobodyIn) {
    ASSERT_NO_FATAL_FAILURE(sarahSignsUpAndGoesBack());
    ASSERT_NO_FATAL_FAILURE(herAnswerComes());
    EXPECT_FALSE(showsMainInterface()) << "signed in from a road she left";
    EXPECT_TRUE(host->isShowing("Log In"));
    EXPECT_FALSE(AuthenticationContext::shared().user());
    EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
    EXPECT_FALSE(UserDefaults::standard().stringForKey("token"));

    ASSERT_NO_FATAL_FAILURE(theFatherSignsIn());
    expectHisSessionAlone();
}

// The same on the road of a member who has no baby yet: her "No" on the question sends her sign-up,
// she goes back while it is held, and its answer signs nobody in.
TEST_F(LateSignUp, NoorsAnswerAfterSheLeftTheBabyQuestionSignsNobodyIn) {
    launch();
    // Nothing in the flow's first screens leads here without the e-mail road: the question is
    // shown as that road shows it.
    flow()->pushViewController(std::make_shared<HasBabyYetViewController>(
                                   std::string("noor-password"),
                                   std::make_shared<UserData>("Noor Haddad", FamilyRelationship::Mother,
                                                              "noor.haddad@cradleway.test")),
                               false);
    host->settle();
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return front.requestCount(kSignUpPath) == 1; })) << "no sign-up left";
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->isShowing("Log In"));
    ASSERT_NO_FATAL_FAILURE(herAnswerComes());
    EXPECT_FALSE(showsMainInterface()) << "signed in from a road she left";
    EXPECT_FALSE(AuthenticationContext::shared().user());
    EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
    EXPECT_FALSE(UserDefaults::standard().stringForKey("usernameKey"));
}

} // namespace cw::test
