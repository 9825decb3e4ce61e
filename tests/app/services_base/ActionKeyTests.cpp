// Every request that creates or changes something carries the key of the action it is given
// (Idempotency-Key): the same key each time the action is sent, before or after an answer, and a new
// one for a new action or for another request under the same action. Requests that create nothing
// carry none.

#include "ServiceFixture.h"

#include "Services/BabyService.h"
#include "Services/CommentService.h"
#include "Services/InviteService.h"
#include "Services/MemberService.h"
#include "Services/PostService.h"
#include "Services/SignUpService.h"
#include "Services/ContentService.h"
#include "tests/support/session/SessionReset.h"

#include <atomic>
#include <functional>
#include <set>

namespace cw::servicetest {
namespace {

struct Road;

class ActionKeyTest : public ServiceTest {
protected:
    // Each road's request carries its action's key, the same however often and whatever the answer.
    void checkKeys(const std::vector<Road>& roads);
};

std::shared_ptr<UIImage> picture(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(8 * 6, argb);
    return UIImage::fromPixels(8, 6, 1, pixels.data());
}

// One road that creates something: the path its request arrives at, and how the member sends it,
// with `words` in it, as `action`. `done` runs when it is answered either way.
struct Road {
    std::string path;
    std::function<void(const std::string& words, const ActionKey& action, std::function<void()> done)> send;
};

std::vector<Road> everyCreatingRoad() {
    auto both = [](std::function<void()> done) {
        return std::pair{[done](const JSON&) { done(); }, [done](const RequestError&) { done(); }};
    };
    return {
        {"/m/api/post/",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             PostService().createPost(words, {picture(0xFF2040D0)}, ok, failed, action);
         }},
        {"/m/api/comments/new",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             CommentService().postComment(words, 5, std::nullopt, ok, failed, action);
         }},
        {"/m/api/baby/nicu_journey_add",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             BabyService().addJourneyItem(9, "Jan 5, 2019", "other", words, picture(0xFFD02020), ok, failed,
                                          action);
         }},
        {"/m/api/baby/nicu_journey_edit",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             BabyService().editJourneyItem(9, 31, words, picture(0xFF20D020), ok, failed, action);
         }},
        {"/m/api/invite/",
         [](const std::string& words, const ActionKey& action, std::function<void()> done) {
             InviteService().invite(
                 words, "Friend", "paul@example.org", 42,
                 [done](const BaseHTTPService::Task&, const std::optional<JSON>&) { done(); },
                 [done](const BaseHTTPService::Task&, const NSError&) { done(); }, action);
         }},
        {"/m/api/baby/update",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             auto baby = std::make_shared<BabyData>(words, "2019-01-05", "2019-02-01", Gender::Female);
             BabyService().updateBabies({baby}, ok, failed, action);
         }},
        {"/m/api/member/update/",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             MemberService("member/update").updateMember(words, picture(0xFF808080), ok, failed, action);
         }},
        {"/m/api/member/update_pass/",
         [both](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto [ok, failed] = both(done);
             MemberService("member/update_pass")
                 .updatePassword({{"new_password", words}}, ok, failed, action);
         }},
    };
}

// A sign-up, made by nobody signed in. It begins a session generation of its own, which ends what the
// member had on its way, so it is tried apart from the member's roads.
std::vector<Road> signUpRoad() {
    return {
        {"/m/api/signup/",
         [](const std::string& words, const ActionKey& action, std::function<void()> done) {
             auto member = AuthenticationContext::shared().user();
             AuthenticationContext::shared().setUser(nullptr);
             SignUpService().signUp(
                 UserData(words, FamilyRelationship::Father, "ada@example.org"), std::nullopt, "secret",
                 cw::test::screenThatStays(), [done](const BaseHTTPService::Task&, const std::optional<JSON>&) { done(); },
                 [done](const RequestError&) { done(); }, action);
             AuthenticationContext::shared().setUser(member);
         }},
    };
}

TEST_F(ActionKeyTest, EveryCreatingRoadSendsItsActionsKeyBeforeAndAfterAnAnswerAndANewOneForANewAction) {
    signIn("access", "refresh", 42, 424242);
    for (const auto& roads : {everyCreatingRoad(), signUpRoad()}) {
        SCOPED_TRACE(roads.front().path);
        checkKeys(roads);
    }

    // A request that creates nothing carries no key.
    bool fetched = false;
    ContentService().fetchFeed(
        {1}, 42, [&](const BaseHTTPService::Task&, const std::optional<JSON>&) { fetched = true; },
        [&](const BaseHTTPService::Task&, const NSError&) { fetched = true; });
    runUntil([&] { return fetched; });
    for (const auto& arrival : arrivals())
        if (arrival.path.find("content") != std::string::npos) {
            EXPECT_FALSE(arrival.header("Idempotency-Key"));
        }
}

void ActionKeyTest::checkKeys(const std::vector<Road>& roads) {
    // Shared with the server's handler, which later requests of the test still reach.
    auto answering = std::make_shared<std::atomic<bool>>(false);
    setReply([answering](const Arrival&, httplib::Response& response) {
        if (*answering) return;
        // The server did it; its answer breaks off on the way back.
        response.body.clear();
        response.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink&) { return false; });
    });
    std::vector<ActionKey> actions(roads.size());
    auto sendAll = [&](const std::string& words, const std::vector<ActionKey>& as) {
        int done = 0;
        for (std::size_t i = 0; i < roads.size(); ++i)
            roads[i].send(words, as[i], [&done] { ++done; });
        runUntil([&] { return done == static_cast<int>(roads.size()); });
    };
    auto lastKeys = [&] {
        std::vector<std::string> keys;
        for (const auto& road : roads) {
            const auto sent = arrivalsAt(road.path);
            keys.push_back(sent.empty() ? "" : sent.back().header("Idempotency-Key").value_or(""));
        }
        return keys;
    };

    // Unanswered, answered, answered again: one action, one key, a key of its own for each road.
    sendAll("Kangaroo care", actions);
    const auto first = lastKeys();
    EXPECT_EQ(std::set<std::string>(first.begin(), first.end()).size(), roads.size())
        << "two actions shared a key";
    *answering = true;
    for (int again = 0; again < 2; ++again) {
        sendAll("Kangaroo care", actions);
        EXPECT_EQ(lastKeys(), first);
    }
    for (std::size_t i = 0; i < roads.size(); ++i) {
        SCOPED_TRACE(roads[i].path);
        EXPECT_EQ(arrivalsAt(roads[i].path).size(), 3u);
        EXPECT_EQ(first[i].size(), 32u);
        EXPECT_EQ(first[i], actions[i].value());
    }
    // The same words as a new action, and other words under the first action, each take a new key.
    sendAll("Kangaroo care", std::vector<ActionKey>(roads.size()));
    const auto renewed = lastKeys();
    sendAll("First bath", actions);
    const auto changed = lastKeys();
    for (std::size_t i = 0; i < roads.size(); ++i) {
        SCOPED_TRACE(roads[i].path);
        EXPECT_NE(renewed[i], first[i]);
        EXPECT_NE(changed[i], first[i]);
        EXPECT_NE(changed[i], renewed[i]);
    }
}

TEST_F(ActionKeyTest, ARequestSentAgainForItsRenewedTokensCarriesTheSameKey) {
    signIn("access", "refresh", 42);
    setReply([](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/tokens/")
            response.set_content(R"({"access_token":"a2","refresh_token":"r2"})", "application/json");
        else if (arrival.header("X-Access-Token") != "a2")
            response.status = 401;
    });
    bool done = false;
    CommentService().postComment(
        "So proud", 5, std::nullopt, [&](const JSON&) { done = true; }, [&](const RequestError&) { done = true; });
    runUntil([&] { return done; });
    const auto sent = arrivalsAt("/m/api/comments/new");
    ASSERT_EQ(sent.size(), 2u);
    ASSERT_TRUE(sent[0].header("Idempotency-Key"));
    EXPECT_EQ(sent[1].header("Idempotency-Key"), sent[0].header("Idempotency-Key"));
}

} // namespace
} // namespace cw::servicetest
