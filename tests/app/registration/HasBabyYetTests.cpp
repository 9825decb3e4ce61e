#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/SignIn/HasBabyYetViewController.h"
#include "ScreenFixture.h"
#include "Services/AuthenticationContext.h"
#include "Services/KeychainPasswordItem.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/app/signin/SignInFixture.h"

#include <algorithm>

namespace cw::test {

namespace {

const char* kNoor = "noor.haddad@cradleway.test";

std::shared_ptr<UserData> noor() {
    return std::make_shared<UserData>("Noor Haddad", FamilyRelationship::Mother, kNoor);
}

} // namespace

// The question pushed on the signed-out flow (nothing in the application opens it), against the
// demo server.
class HasBabyYet : public SignInTest {
protected:
    std::shared_ptr<HasBabyYetViewController> ask(std::optional<std::string> password, std::shared_ptr<UserData> member) {
        if (!app) launch();
        auto question = std::make_shared<HasBabyYetViewController>(std::move(password), std::move(member));
        flow()->pushViewController(question, false);
        host->settle();
        return question;
    }
    std::vector<std::string> tapKeys() const {
        std::vector<std::string> keys;
        for (const auto& e : eventsOf("BabyBornScreen"))
            if (e.action == "Tap")
                for (const auto& [key, value] : e.details.items())
                    keys.push_back(key);
        std::sort(keys.begin(), keys.end());
        return keys;
    }
};

TEST_F(HasBabyYet, NoMakesTheAccountWithoutBabiesAndRemembersTheMemberBeforeTheMainInterface) {
    ask(std::string("noor-password"), noor());
    EXPECT_TRUE(host->isShowing("Has your baby been born yet?"));
    EXPECT_TRUE(host->isShowing("My Baby"));
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); }));

    auto& session = AuthenticationContext::shared();
    ASSERT_TRUE(session.user());
    EXPECT_EQ(session.user()->email(), kNoor);
    EXPECT_TRUE(session.babies().empty());
    EXPECT_EQ(UserDefaults::standard().stringForKey("usernameKey"), kNoor);
    EXPECT_EQ(KeychainPasswordItem("CradlewayService", kNoor).readPassword(), "noor-password");
    auto db = demo->server().state().pool->acquire();
    auto member = db->prepare("SELECT m.relationship, (SELECT COUNT(*) FROM member_babies WHERE member_id = m.id) "
                              "FROM members m WHERE m.email = ?");
    member.with(std::string(kNoor));
    ASSERT_TRUE(member.step());
    EXPECT_EQ(member.text(0), "Mother");
    EXPECT_EQ(member.integer(1), 0);

    ASSERT_TRUE(waitFor([&] { return tapKeys().size() == 2; }));
    EXPECT_EQ(tapKeys(), (std::vector<std::string>{"babyBornNo", "userNewAccount"}));
    EXPECT_EQ(detailsWith("BabyBornScreen", "userNewAccount"),
              (nlohmann::json{{"userNewAccount", "User had no baby to enter"}}));
    EXPECT_EQ(countEvents("BabyBornScreen", "Loaded"), 1u);
}

TEST_F(HasBabyYet, YesOpensMyBabyToCreateTheAccountAndRefusalsSaySomething) {
    auto question = ask(std::string("noor-password"), noor());
    ASSERT_TRUE(host->tapText("Yes"));
    auto myBaby = topAs<MyBabyViewController>();
    ASSERT_TRUE(myBaby);
    EXPECT_EQ(myBaby->password, "noor-password");
    ASSERT_TRUE(myBaby->user);
    EXPECT_EQ(myBaby->user->email(), kNoor);
    ASSERT_TRUE(waitFor([&] { return tapKeys().size() == 2; }));
    EXPECT_EQ(tapKeys(), (std::vector<std::string>{"babyBornDetails", "babyBornYes"}));
    EXPECT_EQ(detailsWith("BabyBornScreen", "babyBornDetails"),
              (nlohmann::json{{"babyBornDetails", "User going to enter baby details"}}));
    ASSERT_TRUE(host->goBack());

    // An address that has an account: the server's "status" in a banner, and the question stays.
    question->userInfo = std::make_shared<UserData>("Emma", FamilyRelationship::Mother, "demo@cradleway.test");
    ASSERT_TRUE(host->tapText("No"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*question) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*question)->text(), "An account already exists for this e-mail address.");
    EXPECT_FALSE(showsActivityOverlay(question));
    EXPECT_EQ(top(), UIViewControllerPtr(question));

    // Without a password the answers are only recorded.
    auto empty = ask(std::nullopt, noor());
    ASSERT_TRUE(host->tapText("Yes"));
    ASSERT_TRUE(host->tapText("No"));
    EXPECT_EQ(top(), UIViewControllerPtr(empty));
    EXPECT_FALSE(showsMainInterface());
}

// Refusals the demo server never gives.
class HasBabyYetReplies : public ScreenTest {};

TEST_F(HasBabyYetReplies, ARefusalWithoutAStatusOrWithoutAReplySaysSo) {
    auto question = std::make_shared<HasBabyYetViewController>(std::string("12345678"), noor());
    show(question);
    auto bannerAfter = [&](const Reply& reply) {
        server.reply("POST", "/m/api/signup/", reply);
        GSMessage::clearHistory();
        const auto before = server.requestsAt("/m/api/signup/").size();
        EXPECT_TRUE(host->tapText("No"));
        EXPECT_TRUE(waitFor([&] { return server.requestsAt("/m/api/signup/").size() > before; }));
        // The server has the request; its reply still has to come back on a busy machine.
        EXPECT_TRUE(waitForOverlayToGo());
        return GSMessage::history().empty() ? std::string() : GSMessage::history().back().text;
    };
    EXPECT_EQ(bannerAfter(Reply{409, R"({"status": "Taken."})"}), "Taken.");
    EXPECT_EQ(bannerAfter(Reply{409, R"({"message": "Taken."})"}), "Unexpected error. Please try again.");
    EXPECT_EQ(bannerAfter(Reply{409, "[]"}), "Error Occured") << "no usable reply";
    EXPECT_EQ(bannerAfter(Reply{200, "[]"}), "") << "a success that is no session changes nothing";
    EXPECT_FALSE(AuthenticationContext::shared().user());
    const auto sent = server.requestsAt("/m/api/signup/").front();
    EXPECT_EQ(sent.fields("email"), std::vector<std::string>{kNoor});
    EXPECT_TRUE(sent.fields("babies").empty()) << "no babies, no key";
}

} // namespace cw::test
