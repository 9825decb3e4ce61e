// Every request that creates something carries its action's Idempotency-Key: the same request sent
// again after a failure that brought no answer carries the same key, and a new action (an answered
// one sent again, changed words) a new one. Requests that create nothing carry none.

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
    // Each road's request carries a key of its own, the same again while unanswered and a new one once
    // answered or changed.
    void checkKeys(const std::vector<Road>& roads);
};

std::shared_ptr<UIImage> picture(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(8 * 6, argb);
    return UIImage::fromPixels(8, 6, 1, pixels.data());
}

// One road that creates something: the path its request arrives at, and how the member sends it,
// with `words` in it (a changed text is another action). `done` runs when it is answered either way.
struct Road {
    std::string path;
    std::function<void(const std::string& words, std::function<void()> done)> send;
};

std::vector<Road> everyCreatingRoad() {
    auto both = [](std::function<void()> done) {
        return std::pair{[done](const JSON&) { done(); }, [done](const RequestError&) { done(); }};
    };
    return {
        {"/m/api/post/",
         [both](const std::string& words, std::function<void()> done) {
             auto [ok, failed] = both(done);
             PostService().createPost(words, {picture(0xFF2040D0)}, ok, failed);
         }},
        {"/m/api/comments/new",
         [both](const std::string& words, std::function<void()> done) {
             auto [ok, failed] = both(done);
             CommentService().postComment(words, 5, std::nullopt, ok, failed);
         }},
        {"/m/api/baby/nicu_journey_add",
         [both](const std::string& words, std::function<void()> done) {
             auto [ok, failed] = both(done);
             BabyService().addJourneyItem(9, "Jan 5, 2019", "other", words, picture(0xFFD02020), ok, failed);
         }},
        {"/m/api/baby/nicu_journey_edit",
         [both](const std::string& words, std::function<void()> done) {
             auto [ok, failed] = both(done);
             BabyService().editJourneyItem(9, 31, words, picture(0xFF20D020), ok, failed);
         }},
        {"/m/api/invite/",
         [](const std::string& words, std::function<void()> done) {
             InviteService().invite(
                 words, "Friend", "paul@example.org", 42,
                 [done](const BaseHTTPService::Task&, const std::optional<JSON>&) { done(); },
                 [done](const BaseHTTPService::Task&, const NSError&) { done(); });
         }},
        {"/m/api/baby/update",
         [both](const std::string& words, std::function<void()> done) {
             auto [ok, failed] = both(done);
             auto baby = std::make_shared<BabyData>(words, "2019-01-05", "2019-02-01", Gender::Female);
             BabyService().updateBabies({baby}, ok, failed);
         }},
        {"/m/api/member/update/",
         [both](const std::string& words, std::function<void()> done) {
             auto [ok, failed] = both(done);
             MemberService("member/update").updateMember(words, picture(0xFF808080), ok, failed);
         }},
    };
}

// A sign-up, made by nobody signed in. It begins a session generation of its own, which ends what the
// member had on its way, so it is tried apart from the member's roads.
std::vector<Road> signUpRoad() {
    return {
        {"/m/api/signup/",
         [](const std::string& words, std::function<void()> done) {
             auto member = AuthenticationContext::shared().user();
             AuthenticationContext::shared().setUser(nullptr);
             SignUpService().signUp(
                 UserData(words, FamilyRelationship::Father, "ada@example.org"), std::nullopt, "secret",
                 cw::test::screenThatStays(), [done](const BaseHTTPService::Task&, const std::optional<JSON>&) { done(); },
                 [done](const RequestError&) { done(); });
             AuthenticationContext::shared().setUser(member);
         }},
    };
}

TEST_F(ActionKeyTest, EveryCreatingRoadKeepsItsKeyWhileUnansweredAndTakesANewOneForANewAction) {
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
    std::atomic<bool> answering = false;
    setReply([&answering](const Arrival&, httplib::Response& response) {
        if (answering) return;
        // The server did it; its answer breaks off on the way back.
        response.body.clear();
        response.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink&) { return false; });
    });
    auto sendAll = [&](const std::string& words) {
        int done = 0;
        for (const auto& road : roads)
            road.send(words, [&done] { ++done; });
        runUntil([&] { return done == static_cast<int>(roads.size()); });
    };
    auto lastKeyAt = [&](const std::string& path) {
        const auto sent = arrivalsAt(path);
        return sent.empty() ? std::optional<std::string>() : sent.back().header("Idempotency-Key");
    };

    // Unanswered: the member's second try carries the first one's key.
    sendAll("Kangaroo care");
    std::set<std::string> firstKeys;
    for (const auto& road : roads) {
        SCOPED_TRACE(road.path);
        const auto sent = arrivalsAt(road.path);
        ASSERT_EQ(sent.size(), 1u);
        const auto key = sent[0].header("Idempotency-Key");
        ASSERT_TRUE(key);
        EXPECT_EQ(key->size(), 32u);
        firstKeys.insert(*key);
    }
    EXPECT_EQ(firstKeys.size(), roads.size()) << "two actions shared a key";
    answering = true;
    sendAll("Kangaroo care");
    for (const auto& road : roads) {
        SCOPED_TRACE(road.path);
        const auto sent = arrivalsAt(road.path);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[1].header("Idempotency-Key"), sent[0].header("Idempotency-Key"));
    }
    // Answered, the same words again are a new action; so are changed words.
    sendAll("Kangaroo care");
    std::set<std::string> later;
    for (const auto& road : roads) {
        SCOPED_TRACE(road.path);
        const auto key = lastKeyAt(road.path);
        ASSERT_TRUE(key);
        EXPECT_FALSE(firstKeys.count(*key));
        later.insert(*key);
    }
    answering = false;
    sendAll("First bath");
    for (const auto& road : roads) {
        SCOPED_TRACE(road.path);
        const auto key = lastKeyAt(road.path);
        ASSERT_TRUE(key);
        EXPECT_FALSE(firstKeys.count(*key) || later.count(*key));
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
