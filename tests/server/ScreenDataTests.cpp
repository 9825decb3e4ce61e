// What the application's screens read of the demo server: feed comments, the comment list after a
// post, the daily update, the library's levels, article pages and the pushes a host delivers.

#include "ServerFixture.h"

#include "server/Http.h"

#include <set>

namespace cw::server::testing {
namespace {

using ScreenDataTest = ServerTest;

TEST_F(ScreenDataTest, TheFeedShowsThreeOfTheFourCommentsOnTheHatsPost) {
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    Reply feed = post("content", {{"baby_ids", {1, 2}}, {"user_id", father.userId}}, father.access);
    ASSERT_EQ(feed.status, 200) << feed.raw;
    std::map<std::string, json> posts;
    for (const auto& card : feed.body["data"]["posts"])
        posts[card["post_text"]] = card;
    const json& hats = posts["Knitted two tiny hats for the twins. Blue and pink, of course."];
    EXPECT_EQ(hats["comments_count"], 4);
    EXPECT_EQ(commentTexts(hats["latest_comments"]),
              (std::vector<std::string>{"Noah is wearing the blue one already. It fits!",
                                        "Socks to match are on the needles.",
                                        "The nurses have asked for the pattern."}));
    const json& held = posts["Held Noah for the first time today. He is so light!"];
    EXPECT_EQ(held["comments_count"], 2);
    EXPECT_EQ(held["latest_comments"].size(), 2u);
    for (const auto& card : feed.body["data"]["content"]) {
        if (card["card_title"] == "Kangaroo care: skin to skin") {
            EXPECT_EQ(card["comments_count"], 1);
        }
    }
}

TEST_F(ScreenDataTest, ANewCommentAnswersTheCardsCommentsOldestFirstWithTheNewOneLast) {
    Session s = demoMother();
    const std::string held = "29"; // "Held Noah for the first time today."
    Reply posted =
        post("comments/new", {{"comment_text", "So proud of him"}, {"post_id", held}, {"user_id", s.userId}},
             s.access);
    ASSERT_EQ(posted.status, 200) << posted.raw;
    const json& data = posted.body["data"];
    EXPECT_EQ(
        commentTexts(data["comments"]),
        (std::vector<std::string>{"Best picture ever.", "Look at those tiny fingers!", "So proud of him"}));
    EXPECT_EQ(data["comment"], data["comments"].back());
    // The same list as the comment list's own request gives.
    EXPECT_EQ(get("comments", {{"post_id", held}, {"user_id", std::to_string(s.userId)}}, s.access)
                  .body["data"]["comments"],
              data["comments"]);

    now_ += 60;
    Reply onArticle = post("comments/new",
                           {{"comment_text", "Thank you"}, {"feed_id", 5}, {"user_id", s.userId}}, s.access);
    ASSERT_EQ(onArticle.status, 200) << onArticle.raw;
    EXPECT_EQ(commentTexts(onArticle.body["data"]["comments"]),
              (std::vector<std::string>{"We did our first session yesterday. Worth it.", "Thank you"}));
}

// An article's address that names no article (a push's id the library does not have, a negative
// one, no number at all) is still asked for by a web view: it gets a page saying so, not the
// service's JSON error.
TEST_F(ScreenDataTest, AnArticleThatIsNotThereIsAPageThatSaysSo) {
    for (const char* path : {"/content/education/999999", "/content/education/-5", "/content/education/five",
                             "/content/education/", "/content/education/5/more"}) {
        SCOPED_TRACE(path);
        auto page = client_->Get(path);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 404);
        EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
        EXPECT_NE(page->body.find("This article is no longer available."), std::string::npos) << page->body;
    }
    // The service's own paths keep their JSON errors.
    Reply service = get("content/education/no-such-thing", {});
    EXPECT_EQ(service.status, 404);
    EXPECT_TRUE(service.body.contains("message")) << service.raw;
}

TEST_F(ScreenDataTest, TheKangarooCareArticleShowsAPictureTheServerServes) {
    auto page = client_->Get("/content/education/5");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    const std::string marker = "<img src=\"";
    size_t at = page->body.find(marker);
    ASSERT_NE(at, std::string::npos) << page->body;
    at += marker.size();
    std::string source = page->body.substr(at, page->body.find('"', at) - at);
    ASSERT_TRUE(source.starts_with("/static-files/images/")) << source;
    auto picture = client_->Get(source.c_str());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->status, 200);
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
}

TEST_F(ScreenDataTest, DailyUpdatesListTheLatestSixtyOldestFirst) {
    Session s = demoMother();
    auto updates = [&](int64_t baby) {
        Reply reply = post("baby/daily_update", {{"baby_id", baby}, {"user_id", s.userId}}, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        std::vector<std::string> times;
        for (const auto& entry : reply.body["daily_update"])
            times.push_back(entry["updated_at"]);
        return times;
    };
    // The times are written so that their text order is their order in time.
    std::vector<std::string> twoWeeks = updates(1);
    ASSERT_EQ(twoWeeks.size(), 14u);
    EXPECT_TRUE(std::is_sorted(twoWeeks.begin(), twoWeeks.end()));
    EXPECT_EQ(std::set<std::string>(twoWeeks.begin(), twoWeeks.end()).size(), 14u);

    // Seventy older entries for Noah: the list holds the sixty latest of all, the latest last.
    std::vector<std::string> demo = updates(2);
    const int64_t oldest = now_ - 200 * 86400;
    {
        auto lease = server_->state().pool->acquire();
        for (int i = 0; i < 70; ++i)
            lease
                ->prepare("INSERT INTO posts (kind, baby_id, title, items, source, created_at) "
                          "VALUES ('daily_update', 2, 'Older', '[]', 'cradleway', ?)")
                .with(oldest + i * 3600)
                .run();
    }
    std::vector<std::string> latest = updates(2);
    ASSERT_EQ(latest.size(), 60u);
    EXPECT_TRUE(std::is_sorted(latest.begin(), latest.end()));
    EXPECT_EQ(latest.back(), demo.back());
    EXPECT_EQ(latest.front(), dailyUpdateTime(oldest + (70 - (60 - 14)) * 3600));
}

TEST_F(ScreenDataTest, AgesReadAsWeeksAndDaysThatTheBabyHeaderCutsAtAnd) {
    Session s = demoMother();
    Reply reply = post("baby/daily_update", {{"baby_id", 1}, {"user_id", s.userId}}, s.access);
    ASSERT_EQ(reply.status, 200) << reply.raw;
    // Weeks and days, nothing before the number: the header cuts each at its first "a".
    auto days = [](const json& text) {
        int weeks = -1, rest = -1;
        char unitW[8] = {}, unitD[8] = {};
        const std::string t = text.get<std::string>();
        EXPECT_EQ(std::sscanf(t.c_str(), "%d %7s and %d %7s", &weeks, unitW, &rest, unitD), 4) << t;
        EXPECT_EQ(t.find('a'), t.find(" and ") + 1) << t;
        EXPECT_TRUE(rest >= 0 && rest < 7) << t;
        return weeks * 7 + rest;
    };
    const int atBirth = days(reply.body["gestational_age_description"]);
    const int lived = days(reply.body["days_of_life_description"]);
    EXPECT_EQ(days(reply.body["adjusted_gestational_age_description"]), atBirth + lived);
    // The twins were born in week 29 and are in their fourth week in the unit.
    EXPECT_EQ(atBirth / 7, 29);
    EXPECT_EQ(lived / 7, 3);
}

TEST_F(ScreenDataTest, EveryArticleIsReachableThroughTheLibrarysLevels) {
    Session s = demoMother();
    const std::string uid = std::to_string(s.userId);
    auto subcontent = [&](const char* key, int64_t id) {
        Reply reply =
            get("content/education/subcontent", {{"user_id", uid}, {key, std::to_string(id)}}, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        EXPECT_TRUE(reply.body["newSubItems"].is_array()) << reply.raw;
        return reply.body;
    };
    Reply top = get("content/education/categories.json", {{"user_id", uid}}, s.access);
    ASSERT_FALSE(top.body["new_data"].empty());
    std::set<int64_t> reached;
    for (const auto& category : top.body["new_data"]) {
        json level = subcontent("id", category["id"]);
        // The category screen opens the subcategories; an article here would be out of reach.
        EXPECT_FALSE(level.contains("actual_content")) << category["name"];
        ASSERT_FALSE(level["newSubItems"].empty()) << category["name"];
        for (const auto& subcategory : level["newSubItems"]) {
            json items = subcontent("subItemId", subcategory["id"]);
            ASSERT_TRUE(items.contains("actual_content")) << subcategory["name"];
            const json& list = items["actual_content"];
            // Led by the subcategory itself, which the screen drops, then its articles.
            ASSERT_GE(list.size(), 2u);
            EXPECT_EQ(list[0], subcategory);
            for (size_t i = 1; i < list.size(); ++i)
                reached.insert(list[i]["id"].get<int64_t>());
        }
    }
    std::set<int64_t> every;
    {
        auto lease = server_->state().pool->acquire();
        auto st = lease->prepare("SELECT id FROM education_content");
        while (st.step())
            every.insert(st.integer(0));
    }
    EXPECT_EQ(reached, every);

    // A subcategory holding only a deeper level sends no articles, so that the deeper level opens;
    // one holding nothing sends neither.
    int64_t deeper = 0, deepest = 0;
    {
        auto lease = server_->state().pool->acquire();
        lease
            ->prepare("INSERT INTO education_categories (parent_id, name, position) VALUES (?, 'Deeper', 90)")
            .with(top.body["new_data"][0]["id"].get<int64_t>())
            .run();
        deeper = lease->lastInsertId();
        lease
            ->prepare(
                "INSERT INTO education_categories (parent_id, name, position) VALUES (?, 'Deepest', 91)")
            .with(deeper)
            .run();
        deepest = lease->lastInsertId();
    }
    json middle = subcontent("subItemId", deeper);
    EXPECT_FALSE(middle.contains("actual_content"));
    ASSERT_EQ(middle["newSubItems"].size(), 1u);
    EXPECT_EQ(middle["newSubItems"][0]["id"], deepest);
    json bottom = subcontent("subItemId", deepest);
    EXPECT_FALSE(bottom.contains("actual_content"));
    EXPECT_TRUE(bottom["newSubItems"].empty());
    EXPECT_EQ(get("content/education/subcontent", {{"user_id", uid}, {"subItemId", "999"}}, s.access).status,
              404);
}

TEST_F(ScreenDataTest, DemoPushPayloadsOpenTheMothersArticleAndPosts) {
    const std::vector<json> payloads = demoPushPayloads(*server_);
    ASSERT_GE(payloads.size(), 2u);
    // The first, which a host gives to its push keys, opens an article.
    EXPECT_EQ(payloads.front()["screen"], "feed");
    Session mother = demoMother();
    const std::string uid = std::to_string(mother.userId);
    std::set<std::string> screens, types;
    for (const auto& payload : payloads) {
        SCOPED_TRACE(payload.dump());
        ASSERT_TRUE(payload["not_id"].is_number_integer());
        ASSERT_TRUE(payload["screen"].is_string());
        ASSERT_TRUE(payload["notification_type"].is_string());
        screens.insert(payload["screen"]);
        types.insert(payload["notification_type"]);
        if (payload["screen"] == "feed") {
            EXPECT_EQ(payload["notification_type"], "education_content");
            auto page = client_->Get(("/content/education/" + payload["feed_id"].dump()).c_str());
            ASSERT_TRUE(page);
            EXPECT_EQ(page->status, 200);
        } else if (payload["screen"] == "post") {
            EXPECT_EQ(
                get("post", {{"user_id", uid}, {"post_id", payload["post_id"].dump()}}, mother.access).status,
                200);
        } else {
            EXPECT_FALSE(payload.contains("feed_id") || payload.contains("post_id"));
        }
        // Each is the mother's: the article page may report it seen.
        EXPECT_EQ(post("notification/seen", {{"user_id", mother.userId}, {"not_id", payload["not_id"]}},
                       mother.access)
                      .status,
                  200);
    }
    EXPECT_TRUE(screens.count("feed") && screens.count("post"));
    EXPECT_EQ(types, (std::set<std::string>{"comment", "education_content", "post"}));
    // As the server's README lists them for scripts.
    EXPECT_EQ(payloads.front(), json::parse(R"({"aps": {"alert": "New in your library: Kangaroo care"},
        "not_id": 1, "screen": "feed", "feed_id": 5, "notification_type": "education_content"})"));
    EXPECT_EQ(payloads.at(1), json::parse(R"({"aps": {"alert": "James shared a post"}, "not_id": 2,
        "screen": "post", "post_id": 29, "notification_type": "post"})"));
}

} // namespace
} // namespace cw::server::testing
