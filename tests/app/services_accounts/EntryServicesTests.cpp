#include "AccountsFixture.h"
#include "tests/support/session/SessionReset.h"

#include "Services/AuthenticationContext.h"
#include "Services/InviteService.h"
#include "Services/KeychainConfiguration.h"
#include "Services/SignInService.h"
#include "Services/SignUpParameters.h"
#include "Services/SignUpService.h"

namespace cw::accountstest {
namespace {

using Kind = RequestError::Kind;

class AccountsEntryTest : public AccountServiceTest {};

TEST_F(AccountsEntryTest, SignInPostsTextsWithTheTokensTheServiceWasMadeWith) {
    signIn();
    SignInService service; // made while "access" / "refresh" are held
    AuthenticationContext::shared().setOAuthToken("newer-access");
    AuthenticationContext::shared().setOAuthRefreshToken("newer-refresh");
    setReply("/m/api/signin/", {200, R"({"tokens":{"access_token":"a"},"n":[1]})"});

    Outcome outcome;
    service.signin(" Mother@Example.org", "pa ss", cw::test::screenThatStays(), outcome.taskSuccess(), outcome.taskFailure());
    wait(outcome);

    auto arrival = onlyArrival();
    EXPECT_EQ(arrival.method, "POST");
    EXPECT_EQ(arrival.path, "/m/api/signin/");
    EXPECT_EQ(arrival.json(), (nlohmann::json{{"email", " Mother@Example.org"}, {"password", "pa ss"}}));
    EXPECT_EQ(arrival.header("X-Access-Token"), "access");
    EXPECT_EQ(arrival.header("X-Refresh-Token"), "refresh");
    ASSERT_TRUE(outcome.reply);
    EXPECT_EQ(outcome.reply->serialize(), R"({"n":[1],"tokens":{"access_token":"a"}})");
}

TEST_F(AccountsEntryTest, SignInRefusedWith401ReachesTheCallerWithoutATokenRefresh) {
    signIn();
    setReply("/m/api/signin/", {401, R"({"message":"Wrong password"})"});
    Outcome outcome;
    SignInService().signin("mother@example.org", "wrong", cw::test::screenThatStays(), outcome.taskSuccess(), outcome.taskFailure());
    wait(outcome);

    ASSERT_TRUE(outcome.errorObject);
    const Data* body = cw::failingResponseData(*outcome.errorObject);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(body->begin(), body->end()), R"({"message":"Wrong password"})");
    expectNothingElseSent(); // no request to "tokens"
    // A sign-in ends the session in force as it leaves, whatever its answer.
    EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
}

TEST_F(AccountsEntryTest, SignUpParametersHoldTheMemberTheRelationshipTextAndBabiesOnlyWhenThereAreSome) {
    UserData user("Ada Grey", FamilyRelationship::GrandParent, "ada@example.org");
    auto baby = std::make_shared<BabyData>("Noor", "2019-01-05", "2019-02-01", Gender::Female);
    baby->setBabyId(15);

    JSON without = SignUpParameters{user, std::nullopt, "secret"}.dictionaryRepresentation();
    EXPECT_EQ(
        without.serialize(),
        R"({"email":"ada@example.org","full_name":"Ada Grey","password":"secret","relationship":"Grand Parent"})");
    const SignUpParameters noBabies{user, std::vector<std::shared_ptr<BabyData>>{}, "s"};
    EXPECT_FALSE(noBabies.dictionaryRepresentation()["babies"].exists());
    JSON with = SignUpParameters{user, std::vector{baby}, "s"}.dictionaryRepresentation();
    EXPECT_EQ(
        with["babies"].serialize(),
        R"([{"birthday":"2019-01-05","expected_birthday":"2019-02-01","full_name":"Noor","gender":"Female","id":"15"}])");

    EXPECT_EQ(KeychainConfiguration::serviceName, "CradlewayService");
    EXPECT_FALSE(KeychainConfiguration::accessGroup);
}

TEST_F(AccountsEntryTest, SignUpSendsTextFieldsBabyPicturesAndTheMembersPicture) {
    UserData user("Ada Grey", FamilyRelationship::Father, "ada@example.org");
    user.setRequestImage(picture());
    auto withPicture = std::make_shared<BabyData>("Noor", "2019-01-05", "2019-02-01", Gender::Female);
    withPicture->setBabyId(15);
    withPicture->setRequestImage(picture());
    auto newBaby = std::make_shared<BabyData>("Sami", "2019-03-01", "2019-03-09", Gender::Male);
    newBaby->setRequestImage(picture()); // no id yet: no picture part

    Outcome outcome;
    SignUpService().signUp(user, std::vector{withPicture, newBaby}, "secret", cw::test::screenThatStays(),
                           outcome.taskSuccess(), outcome.failure());
    wait(outcome);

    auto arrival = onlyArrival();
    EXPECT_EQ(arrival.method, "POST");
    EXPECT_EQ(arrival.path, "/m/api/signup/");
    EXPECT_EQ(arrival.fields("full_name"), std::vector<std::string>{"Ada Grey"});
    EXPECT_EQ(arrival.fields("relationship"), std::vector<std::string>{"Father"});
    EXPECT_EQ(arrival.fields("password"), std::vector<std::string>{"secret"});
    EXPECT_EQ(arrival.fields("babies[][full_name]"), (std::vector<std::string>{"Noor", "Sami"}));
    EXPECT_EQ(arrival.fields("babies[][id]"), std::vector<std::string>{"15"});
    auto files = arrival.files();
    ASSERT_EQ(files.size(), 2u);
    std::map<std::string, Part> byName;
    for (auto& file : files)
        byName[file.name] = file;
    ASSERT_TRUE(byName.count("baby_picture_15"));
    EXPECT_EQ(byName["baby_picture_15"].filename, "photo_15.jpg");
    ASSERT_TRUE(byName.count("user_picture"));
    EXPECT_EQ(byName["user_picture"].filename, "photo");
    EXPECT_EQ(byName["user_picture"].content_type, "image/jpeg");
    EXPECT_EQ(byName["user_picture"].content.substr(0, 2), "\xFF\xD8");
    ASSERT_TRUE(outcome.reply);
}

TEST_F(AccountsEntryTest, SignUpWithoutBabiesOrWithAnUnencodablePictureSendsTheRest) {
    UserData user("Ada Grey", FamilyRelationship::Others, "ada@example.org");
    Outcome none;
    SignUpService().signUp(user, std::nullopt, "s", cw::test::screenThatStays(), none.taskSuccess(), none.failure());
    wait(none);
    user.setRequestImage(unencodablePicture());
    Outcome empty;
    SignUpService().signUp(user, std::vector<std::shared_ptr<BabyData>>{}, "s", cw::test::screenThatStays(), empty.taskSuccess(),
                           empty.failure());
    wait(empty);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 2u);
    for (const auto& arrival : all) {
        EXPECT_TRUE(arrival.fields("babies[][full_name]").empty());
        EXPECT_TRUE(arrival.files().empty());
        EXPECT_EQ(arrival.fields("relationship"), std::vector<std::string>{"Others"});
    }
}

TEST_F(AccountsEntryTest, SignUpFailuresBecomeRequestErrors) {
    UserData user("Ada Grey", FamilyRelationship::Mother, "ada@example.org");
    auto failureFor = [&](Reply reply) {
        setReply("/m/api/signup/", reply);
        Outcome outcome;
        SignUpService().signUp(user, std::nullopt, "s", cw::test::screenThatStays(), outcome.taskSuccess(), outcome.failure());
        wait(outcome);
        EXPECT_FALSE(outcome.reply);
        return outcome.error.value_or(RequestError::nilData());
    };

    auto object = failureFor({422, R"({"message":"E-mail taken","field":"email"})"});
    EXPECT_EQ(object.kind(), Kind::erroResponse);
    EXPECT_EQ(JSON(object.object()).serialize(), R"({"field":"email","message":"E-mail taken"})");

    auto page = failureFor({500, "<html><body>Bad gateway</body></html>", "text/html"});
    EXPECT_EQ(page.kind(), Kind::erroResponse);
    EXPECT_EQ(JSON(page.object()).serialize(), R"({"message":"Server error NSCocoaErrorDomain"})");

    EXPECT_EQ(failureFor({400, "[1,2]"}).kind(), Kind::parseError);

    // No reply at all: the caller still hears of it.
    setServerURL("http://127.0.0.1:1");
    Outcome unreachable;
    SignUpService().signUp(user, std::nullopt, "s", cw::test::screenThatStays(), unreachable.taskSuccess(), unreachable.failure());
    wait(unreachable);
    ASSERT_TRUE(unreachable.error);
    EXPECT_EQ(unreachable.error->kind(), Kind::networkError);
}

TEST_F(AccountsEntryTest, InvitationSendsTheMemberIdAsANumberWithFreshTokens) {
    InviteService service;
    signIn();
    Outcome outcome;
    service.invite("Ben Grey ", "Relative", "ben@example.org", 42, outcome.taskSuccess(),
                   outcome.taskFailure());
    wait(outcome);

    auto arrival = onlyArrival();
    EXPECT_EQ(arrival.path, "/m/api/invite/");
    EXPECT_EQ(arrival.json(), (nlohmann::json{{"full_name", "Ben Grey "},
                                              {"relationship", "Relative"},
                                              {"email", "ben@example.org"},
                                              {"user_id", 42}}));
    EXPECT_TRUE(arrival.json()["user_id"].is_number_integer());
    EXPECT_EQ(arrival.header("X-Access-Token"), "access");
}

TEST_F(AccountsEntryTest, InvitationCheckGivesTheInvitedMemberOrAnError) {
    auto check = [&](Reply reply) {
        setReply("/m/api/invite/check", reply);
        Outcome outcome;
        std::shared_ptr<UserData> invited;
        InviteService().check(
            "ben@example.org", "X1",
            [&](const std::shared_ptr<UserData>& user) {
                ++outcome.calls;
                invited = user;
            },
            outcome.taskFailure());
        wait(outcome);
        return std::make_pair(invited, outcome.errorObject);
    };

    auto [invited, noError] =
        check({200, R"({"full_name":"Ben Grey","email":"ben@example.org","relationship":"GRAND PARENT"})"});
    ASSERT_TRUE(invited);
    EXPECT_EQ(invited->fullName(), "Ben Grey");
    EXPECT_EQ(invited->relationship(), FamilyRelationship::GrandParent);
    EXPECT_EQ(invited->id(), -1);
    EXPECT_FALSE(invited->code());
    EXPECT_FALSE(noError);
    auto arrival = arrivals().back();
    EXPECT_EQ(arrival.json(), (nlohmann::json{{"email", "ben@example.org"}, {"invitation_code", "X1"}}));

    auto [none, empty] =
        check({200, R"({"full_name":"Ben Grey","email":"ben@example.org","relationship":"Cousin"})"});
    EXPECT_FALSE(none);
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, NSError());

    for (const char* body : {"[]", ""}) {
        auto [nobody, parse] = check({200, body});
        EXPECT_FALSE(nobody);
        ASSERT_TRUE(parse);
        EXPECT_EQ(RequestError::fromErrorObject(*parse), RequestError::parseError()) << body;
    }
}

} // namespace
} // namespace cw::accountstest
