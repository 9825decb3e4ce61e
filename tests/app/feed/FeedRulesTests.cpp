// The feed's rules against a server of the test's own: how questions are ordered, skipped, answered
// and sent (also when a send fails or is slow), which replies show the red dot or lead to the review
// request, what a search of cards finds, and what sharing a card offers and reports.

#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/Feed/CardSharing.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Locale.h"
#include "App/Notifications/NotificationNames.h"
#include "host/HeadlessHost.h"
#include "kits/banners/GSMessage.h"
#include "tests/app/feed/FeedPictures.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ShortTimeOut.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UINavigationController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace cw::test {
namespace {

using ::testing::ElementsAre;
using nlohmann::json;

constexpr const char* kCheck = "/m/api/question/check";
constexpr const char* kResponse = "/m/api/question/response";
constexpr const char* kDischarged = "/m/api/baby/discharged";
constexpr const char* kRecommended = "/m/api/notification/recommended/check";

json question(json id, const std::string& body, bool withHeader = true) {
    json q = {{"q_id", id}, {"not_id", 500}, {"body", body}, {"extra", "kept"}};
    if (withHeader) q["header"] = "Header";
    return q;
}

json baby(int id, const std::string& name) {
    return {{"id", id}, {"full_name", name}, {"birthday", "2026-01-02"}, {"expected_birthday", "2026-02-01"},
            {"gender", "Female"}};
}

class FeedRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        prepareBundle(environment, server.base(), "test.feed.rules");
        auto& session = AuthenticationContext::shared();
        session.setDelegate({});
        session.login(JSON(json{{"tokens", {{"access_token", "A"}, {"refresh_token", "R"}}},
                                {"user", {{"id", 7}, {"email", "ada@example.test"}, {"full_name", "Ada Quill"},
                                          {"relationship", "Mother"}}},
                                {"babies", {baby(1, "Ivy Quill"), baby(2, "Ned Quill")}}}));
        server.reply("POST", "/m/api/content/", Reply{200, R"({"data": {"posts": [], "daily_update": [], "content": []}})"});
        host = std::make_unique<cw::HeadlessHost>();
        app = std::make_shared<cw::WhiteScreenApplication>();
        host->launch(app);
    }
    void TearDown() override {
        release();
        RunLoop::main().runFor(0.05);
        host.reset();
        server.stop();
        forgetSession();
        FeedDataStore::shared().setCachedFeed({});
    }

    // A feed screen in a navigation controller at the root of the window, loaded.
    std::shared_ptr<FeedViewController> openFeed() {
        auto feed = std::make_shared<FeedViewController>();
        navigation = std::make_shared<UINavigationController>(feed);
        host->window()->setRootViewController(navigation);
        host->settle();
        return feed;
    }
    ::testing::AssertionResult asks(const std::string& body) {
        if (RunLoop::main().runUntil([&] { return host->isShowing(body); }, 10)) {
            // Shown in full before anything is tapped.
            host->settle();
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "\"" << body << "\" was not asked; showing "
                                             << ::testing::PrintToString(host->visibleTexts());
    }
    bool waitFor(const std::function<bool()>& condition) { return RunLoop::main().runUntil(condition, 10); }
    std::vector<json> analytics() const {
        std::vector<json> out;
        for (const auto& r : server.requestsAt("/m/api/analytics/")) out.push_back(r.json());
        return out;
    }
    std::size_t eventsWith(const std::string& key) const {
        std::size_t n = 0;
        for (const auto& e : analytics())
            if (e["event_details"].contains(key)) ++n;
        return n;
    }

    void picture(const std::string& name) { writeFeedPicture(*host, environment.directory() / "pictures", name); }

    // Holds the replies of the answers' sends until release().
    void holdSends() {
        server.setHandler([this](const RecordedRequest& request, httplib::Response&) {
            if (request.path != kResponse) return;
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return !holding_; });
        });
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            holding_ = false;
        }
        released_.notify_all();
    }

    AppEnvironment environment{"cw-feed-rules"};
    RecordingServer server;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<cw::WhiteScreenApplication> app;
    std::shared_ptr<UINavigationController> navigation;

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool holding_ = true;
};

TEST_F(FeedRulesTest, QuestionsGoByGroupKeyThenHighestIdAndTheAnswersGoBackWithEverythingElseTheyHeld) {
    server.reply("POST", kCheck,
                 Reply{200, json{{"questions",
                                  {{"9", {question(1, "Nine, first")}},
                                   {"10", {question(2, "Ten, second"), question("7", "Ten, by a text id"),
                                           question(1, "Ten, first")}},
                                   {"11", {question(4, "No header", false)}},
                                   {"12", json::array()}}}}
                                .dump()});
    server.reply("POST", kResponse, Reply{500, R"({"message": "down"})"});
    auto feed = openFeed();

    ASSERT_TRUE(asks("Ten, second"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(asks("Ten, first"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(asks("Ten, by a text id"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(asks("Nine, first"));
    // "Yes" to the first question opens My Baby at once; the send that follows fails.
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitFor([&] { return !server.requestsAt(kResponse).empty(); }));
    EXPECT_TRUE(std::dynamic_pointer_cast<MyBabyViewController>(navigation->topViewController()));
    ASSERT_TRUE(asks("Unexpected error. We'll ask again soon."));
    EXPECT_FALSE(host->isShowing("No header"));
    EXPECT_TRUE(feed->questionsResponse.empty());
    EXPECT_TRUE(feed->questions.empty());
    EXPECT_EQ(feed->reviewRequests, 0u);

    const auto sent = server.requestsAt(kResponse);
    ASSERT_EQ(sent.size(), 1u);
    const json body = sent.front().json();
    EXPECT_EQ(body["user_id"], 7);
    auto answers = [&](const std::string& group) {
        std::vector<std::string> out;
        for (const auto& q : body["questions"][group]) {
            EXPECT_EQ(q["extra"], "kept");
            EXPECT_EQ(q["not_id"], 500);
            out.push_back(q["q_id"].dump() + " " + q["answer"].get<std::string>());
        }
        return out;
    };
    EXPECT_THAT(answers("10"), ElementsAre("2 No", "1 No", "\"7\" No"));
    EXPECT_THAT(answers("9"), ElementsAre("1 Yes"));
    EXPECT_EQ(body["questions"].size(), 2u) << "skipped questions are not sent";
}

TEST_F(FeedRulesTest, AnswersGivenWhileASendRunsGoWithTheNextSend) {
    server.reply("POST", kCheck,
                 std::vector<Reply>{
                     Reply{200, json{{"questions", {{"a", {question(6, "Recommend us?")}}}}}.dump()},
                     Reply{200, json{{"questions", {{"b", {question(1, "B one"), question(2, "B two")}}}}}.dump()}});
    server.reply("POST", kResponse, Reply{200, R"({"status": "Saved."})"});
    holdSends();
    auto feed = openFeed();
    ASSERT_TRUE(asks("Recommend us?"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitFor([&] { return server.requestsAt(kResponse).size() == 1; }));

    // The first send is on its way; new questions are asked and one answered meanwhile.
    NotificationCenter::defaultCenter().post(NotificationNames::newQuestionsAvailable);
    ASSERT_TRUE(asks("B two"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(asks("B one"));
    release();
    ASSERT_TRUE(waitFor([&] { return feed->reviewRequests == 1; })) << "the first send came back";
    EXPECT_EQ(feed->questionsResponse.size(), 1u) << "the answer given meanwhile is kept";
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(waitFor([&] { return server.requestsAt(kResponse).size() == 2; }));
    const json second = server.requestsAt(kResponse).back().json();
    ASSERT_EQ(second["questions"]["b"].size(), 2u);
    EXPECT_EQ(second["questions"]["b"][0]["q_id"], 2);
    EXPECT_EQ(second["questions"]["b"][1]["q_id"], 1);
    EXPECT_FALSE(second["questions"].contains("a"));
    ASSERT_TRUE(asks("Saved."));
    EXPECT_TRUE(host->isShowing("Thank You"));
}

TEST_F(FeedRulesTest, AnotherMemberIsNeitherAskedNorSentTheLastMembersQuestions) {
    server.reply("POST", kCheck, Reply{200, json{{"questions", {{"a", {question(1, "A one"), question(2, "A two")}}}}}.dump()});
    auto feed = openFeed();
    ASSERT_TRUE(asks("A two"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(asks("A one"));
    ASSERT_TRUE(waitFor([&] { return !feed->responseData.empty() || eventsWith("feedViewContentRefreshSuccess") > 0; }));

    // The next member signs in on the same device; the screen appears for them.
    server.reply("POST", kCheck, Reply{200, R"({"questions": {}})"});
    AuthenticationContext::shared().login(
        JSON(json{{"tokens", {{"access_token", "B"}, {"refresh_token", "S"}}},
                  {"user", {{"id", 8}, {"email", "bo@example.test"}, {"full_name", "Bo Quill"}, {"relationship", "Father"}}},
                  {"babies", {baby(1, "Ivy Quill")}}}));
    feed->viewWillAppear(false);
    EXPECT_TRUE(feed->questionsResponse.empty());
    EXPECT_TRUE(feed->questions.empty());
    ASSERT_TRUE(waitFor([&] { return server.requestsAt(kCheck).size() == 2; }));
    EXPECT_EQ(server.requestsAt(kCheck).back().json()["user_id"], 8);
    RunLoop::main().runFor(0.2);
    EXPECT_TRUE(server.requestsAt(kResponse).empty()) << "nothing was sent as the new member";
}

TEST_F(FeedRulesTest, OnlyJSONBooleansShowTheRedDotOrLeadToTheReview) {
    // A text "hide_red_dot" decides nothing; the dot, hidden as every check starts, stays so.
    server.reply("POST", kRecommended, Reply{200, R"({"hide_red_dot": "false"})"});
    server.reply("POST", kDischarged, Reply{200, R"({"1": true, "2": "yes"})"});
    auto feed = openFeed();
    ASSERT_TRUE(waitFor([&] { return server.requestsAt(kRecommended).size() >= 1 && eventsWith("feedViewCheckForRecommendedContent") >= 1; }));
    ASSERT_TRUE(waitFor([&] { return !server.requestsAt(kDischarged).empty(); }));
    RunLoop::main().runFor(0.3);
    host->settle();
    EXPECT_TRUE(feed->redDot()->isHidden());
    EXPECT_EQ(eventsWith("feedViewShowRedDot"), 0u);
    EXPECT_EQ(feed->reviewRequests, 0u);
    EXPECT_EQ(server.requestsAt(kDischarged).front().json(), (json{{"user_id", 7}, {"babies", {1, 2}}}));

    // A false shows it; a discharge beside one that is not yet leads to the review.
    server.reply("POST", kRecommended, Reply{200, R"({"hide_red_dot": false})"});
    server.reply("POST", kDischarged, Reply{200, R"({"1": true, "2": false})"});
    feed = openFeed();
    ASSERT_TRUE(waitFor([&] { return feed->reviewRequests == 1 && !feed->redDot()->isHidden(); }));
}

TEST_F(FeedRulesTest, ASearchFindsTheTextAsTypedAcrossTheCardsFieldsIgnoringCaseButNotAccents) {
    Locale::setCurrentForTesting(Locale("en_US"));
    auto card = [](std::optional<std::string> title, std::optional<std::string> description) {
        auto c = std::make_shared<FeedResponse>();
        c->cardType = CardType::educationContent;
        c->cardTitle = std::move(title);
        c->cardDescription = std::move(description);
        return c;
    };
    const auto monitor = card("Reading the monitor", "Heart rate and breathing");
    const auto skin = card("Skin", "care tips");
    const auto cafe = card(std::nullopt, "Café au lait spots");
    const auto empty = card(std::nullopt, std::nullopt);
    const std::vector<FeedResponse::Card> cards{monitor, skin, cafe, empty, nullptr};
    auto find = [&](const std::string& text) { return FeedViewController::cardsMatching(cards, text); };

    EXPECT_THAT(find("HEART"), ElementsAre(monitor));
    EXPECT_THAT(find("rate heart"), ElementsAre());
    EXPECT_THAT(find("skin care"), ElementsAre(skin));
    EXPECT_THAT(find("monitor Heart"), ElementsAre(monitor));
    EXPECT_THAT(find("CAFÉ"), ElementsAre(cafe));
    EXPECT_THAT(find("cafe"), ElementsAre());

    // Two characters as a reader counts them (a thumb with its skin tone, and a letter) search nothing.
    auto feed = openFeed();
    feed->responseData = cards;
    feed->filteredData = cards;
    feed->searchBar->setText(std::string("\U0001F44D\U0001F3FDa"));
    feed->textDidChange(feed->searchBar.get(), "\U0001F44D\U0001F3FDa");
    host->settle();
    EXPECT_FALSE(feed->searchedData);
    feed->searchBar->setText(std::string("\U0001F44D\U0001F3FDab"));
    feed->textDidChange(feed->searchBar.get(), "\U0001F44D\U0001F3FDab");
    host->settle();
    ASSERT_TRUE(feed->searchedData);
    EXPECT_TRUE(feed->searchedData->empty());
    Locale::setCurrentForTesting(std::nullopt);
}

TEST_F(FeedRulesTest, SharingACardOffersTheGreetingAndItsTextUnderASubjectByItsKind) {
    const std::string greeting = "Ada Quill wants to share content from Cradleway.";
    auto card = [](std::optional<CardType> type) {
        auto c = std::make_shared<FeedResponse>();
        c->cardType = type;
        return c;
    };

    auto article = card(CardType::educationContent);
    article->cardTitle = "Kangaroo care";
    article->contentURL = "/content/12.html";
    auto share = cardShare(*article);
    ASSERT_TRUE(share);
    EXPECT_THAT(share->items, ElementsAre(greeting, server.base() + "/content/12.html"));
    EXPECT_EQ(share->subject, "Kangaroo care");
    EXPECT_EQ(share->reportedText, "Kangaroo care---/content/12.html---");
    // Put after the server's address, a whole address of another server names no page of it.
    article->contentURL = "https://library.example.test/12.html";
    EXPECT_THAT(cardShare(*article)->items, ElementsAre(greeting));
    auto bare = card(CardType::educationContent);
    EXPECT_THAT(cardShare(*bare)->items, ElementsAre(greeting));
    EXPECT_EQ(cardShare(*bare)->subject, "Cradleway Educational Content");
    EXPECT_EQ(cardShare(*bare)->reportedText, "Cradleway Educational Content---");

    auto update = card(CardType::dailyUpdateChange);
    update->cardDescription = "A settled night.";
    EXPECT_THAT(cardShare(*update)->items, ElementsAre(greeting, "A settled night."));
    EXPECT_EQ(cardShare(*update)->subject, "Daily Update ");
    EXPECT_EQ(cardShare(*update)->reportedText, "Daily Update ---");
    auto post = card(CardType::userPost);
    EXPECT_THAT(cardShare(*post)->items, ElementsAre(greeting, ""));
    auto notice = card(CardType::notification);
    notice->cardDescription = "New in the library";
    EXPECT_THAT(cardShare(*notice)->items, ElementsAre(greeting));
    EXPECT_EQ(cardShare(*notice)->subject, "New in the library");

    // The sheet over the screen, with the subject for mail, and the events as the server got them.
    const auto feed = openFeed();
    for (const auto& shared : {update, notice, card(std::nullopt)}) {
        shareCard(*feed, shared);
        host->settle();
        auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(feed->presentedViewController());
        if (!shared->cardType) {
            EXPECT_FALSE(sheet) << "a card without a kind opens nothing";
            continue;
        }
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->stringValue("subject"), cardShare(*shared)->subject);
        EXPECT_EQ(sheet->activityItems().size(), cardShare(*shared)->items.size());
        if (shared == update) picture("feed-share-sheet");
        ASSERT_TRUE(host->chooseShareTarget(std::nullopt));
    }
    ASSERT_TRUE(waitFor([&] { return eventsWith("shareContentTapped") == 2; }));
    RunLoop::main().runFor(0.2);
    std::vector<json> events;
    for (const auto& e : analytics())
        if (e["event_details"].contains("shareContentTapped")) events.push_back(e);
    ASSERT_EQ(events.size(), 2u);
    std::sort(events.begin(), events.end(), [](const json& a, const json& b) { return a["screen_name"] < b["screen_name"]; });
    EXPECT_EQ(events[0]["screen_name"], "DailyUpdateDetailsViewScreen");
    EXPECT_EQ(events[0]["screen_action"], "Tap");
    EXPECT_EQ(events[0]["event_details"],
              (json{{"shareContentTapped", "User tried to share a card"}, {"dailyUpdate", true},
                    {"educationContent", false}, {"postContent", false}, {"shareContentText", "Daily Update ---"}}));
    EXPECT_EQ(events[1]["screen_name"], "PostDetailsViewScreen");
    EXPECT_EQ(events[1]["event_details"]["postContent"], true);
    EXPECT_EQ(events[1]["event_details"]["shareContentText"], "New in the library---");
}

// A feed that does not come says so, as the other screens that load do: a reply that is no JSON,
// one cut short, and one that never comes (a single time-out: the request is not sent into a second
// one). The spinner stops each time.
TEST_F(FeedRulesTest, AFeedThatDoesNotComeSaysSoAfterOneTry) {
    auto held = std::make_shared<Gate>();
    OpenOnExit openAtEnd{held};
    struct Case {
        const char* what;
        std::optional<Reply> reply; // none: the answer never comes
    };
    const Case cases[] = {
        {"a reply that is no JSON", Reply{200, "<html><body>Bad gateway</body></html>", "text/html"}},
        {"a reply cut short", Reply{200, R"({"data": {"posts": [{"id": 4, "post_te)"}},
        {"no reply at all", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.clearRequests();
        GSMessage::clearHistory();
        if (c.reply) {
            server.reply("POST", "/m/api/content/", *c.reply);
            server.setHandler(nullptr);
        } else {
            server.setHandler([held](const RecordedRequest& request, httplib::Response&) {
                if (request.path == "/m/api/content/") held->wait();
            });
        }
        std::shared_ptr<FeedViewController> feed;
        {
            ShortTimeOut slowWard(1.0);
            feed = openFeed();
        }
        ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*feed) != nullptr; })) << "no word of it";
        EXPECT_EQ(GSMessage::shown(*feed)->text(), "Unexpected error. Please try again.");
        EXPECT_EQ(GSMessage::shown(*feed)->type(), GSMessageType::error);
        EXPECT_FALSE(feed->feedActivityIndicator.lock()->isAnimating());
        EXPECT_EQ(server.requestsAt("/m/api/content/").size(), 1u);
        EXPECT_TRUE(server.requestsAt("/m/api/tokens/").empty());
    }
}

} // namespace
} // namespace cw::test
