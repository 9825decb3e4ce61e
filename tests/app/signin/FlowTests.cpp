#include "SignInFixture.h"

#include "Controllers/Baby/AddMoreBabiesConfirmationViewController.h"
#include "Controllers/SignIn/NewBabyViewController.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/RecordingServer.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace cw::test {

namespace {

nlohmann::json babyReply(int id, const std::string& name, const std::string& mrn) {
    return {{"id", id}, {"full_name", name}, {"birthday", "2024-03-01"}, {"expected_birthday", "2024-04-20"},
            {"gender", "Female"}, {"mrn", mrn}};
}

} // namespace

// The registration road against a server that answers as told, to see exactly what the flow sends.
class FlowTest : public SignInTest {
protected:
    void SetUp() override {
        SignInTest::SetUp();
        environment->writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
        server.reply("GET", "/m/api/tandc", Reply{200, "<html><body><p>Terms.</p></body></html>", "text/html"});
        launch();
    }

    // The flow's screens in turn, each taken as the flow pushes it.
    void submitForm(const std::string& email, const std::string& password) {
        auto form = instantiateViewController<RegistrationWithInvitation>(*UIStoryboard::named("SignInSignUp"));
        form->userData = std::make_shared<UserData>("Ada Park", FamilyRelationship::Mother, email);
        flow()->pushViewController(form, false);
        host->settle();
        typeInto("passwordTextField", password + "\n");
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(host->tapText("I Accept"));
        ASSERT_TRUE(topAs<MRNLookupViewController>());
    }
    void findBaby(const nlohmann::json& reply) {
        server.reply("POST", "/m/api/baby/verify_mrn", Reply{200, reply.dump()});
        typeInto("mrnTextField", reply.value("mrn", "X"));
        ASSERT_TRUE(host->tapText("Search"));
        ASSERT_TRUE(waitFor([&] { return topAs<NewBabyViewController>() != nullptr; }));
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(topAs<AddMoreBabiesConfirmationViewController>());
    }
    // Taps "No" and waits for the sign-up's answer; the sign-up request.
    RecordedRequest finish(Reply reply) {
        server.reply("POST", "/m/api/signup/", reply);
        const auto before = server.requestsAt("/m/api/signup/").size();
        const auto said = GSMessage::history().size();
        EXPECT_TRUE(host->tapText("No"));
        EXPECT_TRUE(waitFor([&] { return server.requestsAt("/m/api/signup/").size() > before; }));
        // The server has the request; its reply still has to come back on a busy machine.
        EXPECT_TRUE(waitFor([&] { return GSMessage::history().size() > said || showsMainInterface(); }));
        return server.requestsAt("/m/api/signup/").back();
    }

    RecordingServer server;
};

TEST_F(FlowTest, TheSignUpCarriesTheMemberAndEachBabyOnceInTheOrderEntered) {
    submitForm("ada@example.test", "ada-password");
    findBaby(babyReply(7, "Ivy Park", "M7"));
    ASSERT_TRUE(host->tapText("Yes"));
    findBaby(babyReply(3, "Rose Park", "M3"));
    // Back to Rose's details and on again, then Rose found once more by a new lookup: still once.
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(host->tapText("Yes"));
    findBaby(babyReply(3, "Rose Park", "M3"));

    const auto refused = finish(Reply{409, R"({"message": "m"})"});
    EXPECT_EQ(refused.fields("full_name"), std::vector<std::string>{"Ada Park"});
    EXPECT_EQ(refused.fields("email"), std::vector<std::string>{"ada@example.test"});
    EXPECT_EQ(refused.fields("password"), std::vector<std::string>{"ada-password"});
    EXPECT_EQ(refused.fields("relationship"), std::vector<std::string>{"Mother"});
    EXPECT_THAT(refused.fields("babies[][full_name]"), ElementsAre("Ivy Park", "Rose Park"));
    EXPECT_THAT(refused.fields("babies[][id]"), ElementsAre("7", "3"));
    // A refusal without a text "status" says so in general terms, and logs no message.
    auto question = topAs<AddMoreBabiesConfirmationViewController>();
    ASSERT_TRUE(GSMessage::shown(*question));
    EXPECT_EQ(GSMessage::shown(*question)->text(), "An error occurred");
    auto failureEvent = [&]() -> nlohmann::json {
        for (const auto& r : server.requestsAt("/m/api/analytics/"))
            if (r.json().value("screen_name", "") == "MyBabyScreen" && r.json()["event_details"].contains("error"))
                return r.json()["event_details"];
        return nullptr;
    };
    ASSERT_TRUE(waitFor([&] { return !failureEvent().is_null(); }));
    EXPECT_EQ(failureEvent(), (nlohmann::json{{"errorMessage", ""},
                                              {"error", "User encountered error while creating account with baby"}}));

    // The form submitted again starts afresh: only the baby found after it goes.
    flow()->popToViewController(flow()->viewControllers().at(1), false);
    host->settle();
    ASSERT_TRUE(topAs<RegistrationWithInvitation>());
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_TRUE(host->tapText("I Accept"));
    findBaby(babyReply(9, "Lily Park", "M9"));
    const auto accepted = finish(Reply{200, nlohmann::json{{"user", {{"id", 90}, {"full_name", "Ada Park"}, {"email", "ada@example.test"}, {"relationship", "Mother"}}},
                                                           {"babies", nlohmann::json::array({babyReply(9, "Lily Park", "M9")})},
                                                           {"tokens", {{"access_token", "a"}, {"refresh_token", "r"}}}}
                                                           .dump()});
    EXPECT_THAT(accepted.fields("babies[][full_name]"), ElementsAre("Lily Park"));
    EXPECT_TRUE(showsMainInterface());
    EXPECT_TRUE(flow()->babies.empty()) << "a successful sign-up forgets the road";
    EXPECT_FALSE(flow()->registrationInfo);
}

TEST_F(FlowTest, TheQuestionReportsOnlyToADelegateThatIsStillThere) {
    auto question = instantiateViewController<AddMoreBabiesConfirmationViewController>(*UIStoryboard::named("SignInSignUp"));
    question->loadViewIfNeeded();
    EXPECT_EQ(question->navigationItem()->title, "New Baby");
    ASSERT_TRUE(question->noButton);
    EXPECT_EQ(question->noButton->backgroundColor(), UIColor::whiteColor());
    struct Recorder : AddMoreBabiesConfirmationViewControllerDelegate {
        std::vector<std::string> calls;
        void addMoreBabiesConfirmationViewControllerDidTapMore(AddMoreBabiesConfirmationViewController&) override {
            calls.push_back("more");
        }
        void addMoreBabiesConfirmationViewControllerDidTapDone(AddMoreBabiesConfirmationViewController&) override {
            calls.push_back("done");
        }
    };
    auto recorder = std::make_shared<Recorder>();
    question->delegate = recorder;
    question->didTapYes();
    question->didTapNo();
    EXPECT_THAT(recorder->calls, ElementsAre("more", "done"));
    recorder.reset();
    question->didTapYes(); // nobody to tell: nothing happens

    // Without a no button the screen still has its title and answers.
    question = std::make_shared<AddMoreBabiesConfirmationViewController>();
    question->loadViewIfNeeded();
    question->noButton = nullptr;
    question->viewDidLoad();
    EXPECT_EQ(question->navigationItem()->title, "New Baby");
}

TEST_F(FlowTest, ALookupReplyThatIsNoBabySaysSomethingWentWrong) {
    auto lookup = instantiateViewController<MRNLookupViewController>(*UIStoryboard::named("SignInSignUp"));
    flow()->pushViewController(lookup, false);
    host->settle();
    EXPECT_EQ(lookup->delegate.lock(), std::static_pointer_cast<MRNLookupViewControllerDelegate>(flow()));
    EXPECT_TRUE(host->isShowing(
        "Please type your baby's MRN (Medical Record Number). We will search your baby's information."));
    server.reply("POST", "/m/api/baby/verify_mrn", Reply{200, R"({"status": "ok"})"});
    typeInto("mrnTextField", "M1");
    lookup->onSubmit();
    EXPECT_FALSE(lookup->submitButton->isEnabled()) << "disabled while the lookup runs";
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*lookup) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*lookup)->text(), "Something went wrong");
    EXPECT_TRUE(lookup->submitButton->isEnabled());
    EXPECT_EQ(top(), UIViewControllerPtr(lookup));

    // A failure without the server's message.
    server.reply("POST", "/m/api/baby/verify_mrn", Reply{500, "[]"});
    ASSERT_TRUE(host->tapText("Search"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*lookup)->text() != "Something went wrong"; }));
    EXPECT_EQ(GSMessage::shown(*lookup)->text(), "Unexpected error. Please try again.");

    // An empty field is sent as it is, and the server's answer is what the member reads.
    host->tapIdentifier("mrnTextField");
    host->deleteBackward(2);
    server.reply("POST", "/m/api/baby/verify_mrn", Reply{400, R"({"message": "Enter a medical record number."})"});
    ASSERT_TRUE(host->tapText("Search"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*lookup)->text() == "Enter a medical record number."; }));
    EXPECT_EQ(server.requestsAt("/m/api/baby/verify_mrn").back().json().value("mrn", "absent"), "");
    EXPECT_EQ(top(), UIViewControllerPtr(lookup));
}

} // namespace cw::test
