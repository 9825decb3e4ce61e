#include "ServerFixture.h"

#include <filesystem>

#include "server/Http.h"

#include <thread>

namespace cw::server::testing {
namespace {

using InputTest = ServerTest;

void expectJsonError(const Reply& reply, int status) {
    EXPECT_EQ(reply.status, status) << reply.raw;
    ASSERT_TRUE(reply.body.is_object()) << reply.raw;
    EXPECT_TRUE(reply.body["message"].is_string());
    EXPECT_TRUE(reply.body["status"].is_string());
}

TEST_F(InputTest, MalformedBodiesAndMissingOrMistypedKeysGive400) {
    Session s = demoMother();
    expectJsonError(postRaw("content/", "{\"baby_ids\": [1,", "application/json", s.access), 400);
    expectJsonError(postRaw("content/", "[1, 2]", "application/json", s.access), 400);
    expectJsonError(
        postRaw("analytics/", std::string(10000, '[') + std::string(10000, ']'), "application/json"), 400);
    expectJsonError(post("content/", {{"user_id", s.userId}}, s.access), 400);
    expectJsonError(post("content/", {{"baby_ids", "1,2"}, {"user_id", s.userId}}, s.access), 400);
    expectJsonError(post("content/", {{"baby_ids", {json::object()}}, {"user_id", s.userId}}, s.access), 400);
    expectJsonError(post("baby/weight", {{"baby_id", "one"}, {"user_id", s.userId}}, s.access), 400);
    expectJsonError(post("baby/weight", {{"baby_id", 1.5}, {"user_id", s.userId}}, s.access), 400);
    expectJsonError(post("signin/", {{"email", 7}, {"password", "x"}}), 400);
    expectJsonError(post("signup/", {{"email", "a@b.c"}}), 400);
    expectJsonError(
        post("member/notification/settings", {{"user_id", s.userId}, {"scheduled", "yes"}}, s.access), 400);
    expectJsonError(post("member/notification/settings",
                         {{"user_id", s.userId}, {"scheduled_from", "25:00:00"}}, s.access),
                    400);
    expectJsonError(
        post("question/response", {{"user_id", s.userId}, {"questions", {{"1", "Yes"}}}}, s.access), 400);
    expectJsonError(post("analytics/", {{"screen_name", "X"}, {"screen_action", "Tap"}}), 400);
    // Every text of a usage event is bounded, not only its details.
    expectJsonError(post("analytics/", {{"screen_name", "X"},
                                        {"screen_action", "Tap"},
                                        {"event_details", json::object()},
                                        {"clientModel", std::string(100000, 'x')}}),
                    413);
    // Ids in decimal text are read like numbers, since the client sends both forms.
    EXPECT_EQ(post("baby/weight", {{"baby_id", "1"}, {"user_id", std::to_string(s.userId)}}, s.access).status,
              200);
}

TEST_F(InputTest, AnotherMembersDataIsRefused) {
    Session mother = demoMother();
    Session stranger = signUpStranger("stranger@cradleway.test");
    int64_t strangersBaby = stranger.reply["babies"][0]["id"];

    expectJsonError(
        post("baby/daily_update", {{"baby_id", 1}, {"user_id", stranger.userId}}, stranger.access), 403);
    expectJsonError(post("baby/care_givers", {{"baby_id", 2}, {"user_id", stranger.userId}}, stranger.access),
                    403);
    expectJsonError(post("content/", {{"baby_ids", {1}}, {"user_id", stranger.userId}}, stranger.access),
                    403);
    // Speaking for someone else with one's own token.
    expectJsonError(post("baby/weight", {{"baby_id", 1}, {"user_id", stranger.userId}}, mother.access), 403);
    expectJsonError(
        post("baby/weight", {{"baby_id", strangersBaby}, {"user_id", mother.userId}}, mother.access), 403);
    expectJsonError(
        get("post", {{"user_id", std::to_string(stranger.userId)}, {"post_id", "30"}}, stranger.access), 403);
    // A baby update may not take over another family's baby.
    json takeover = {{"user_id", stranger.userId},
                     {"babies",
                      {{{"id", 1},
                        {"full_name", "Mine"},
                        {"birthday", "2026-01-01"},
                        {"expected_birthday", "2026-02-01"},
                        {"gender", "Female"}}}}};
    expectJsonError(post("baby/update", takeover, stranger.access), 403);
    // Nor may a sign-up claim a baby that already has a family.
    json claim = {{"full_name", "Claimer"},
                  {"email", "claim@cradleway.test"},
                  {"relationship", "Father"},
                  {"password", "claimer-pass"},
                  {"babies", {{{"id", 1}}}}};
    expectJsonError(post("signup/", claim), 403);
    EXPECT_EQ(post("signin/", {{"email", "claim@cradleway.test"}, {"password", "claimer-pass"}}).status, 403);
    // Unknown ids are 404.
    expectJsonError(post("baby/daily_update", {{"baby_id", 999}, {"user_id", mother.userId}}, mother.access),
                    404);
    // The whole family of the baby is still intact.
    Reply journey = post("member/nicu_journey", {{"user_id", mother.userId}}, mother.access);
    EXPECT_EQ(journey.body["babies"].size(), 2u);
}

TEST_F(InputTest, SqlLookingTextIsStoredAsText) {
    Session s = demoMother();
    const std::string text = "Robert'); DROP TABLE posts;-- \" OR 1=1 %_\\";
    Reply created = multipart(
        "post", {{"user_id", std::to_string(s.userId), "", ""}, {"post_text", text, "", ""}}, s.access);
    ASSERT_EQ(created.status, 200) << created.raw;
    int64_t postId = created.body["data"]["posts"][0]["id"];
    Reply fetched =
        get("post", {{"user_id", std::to_string(s.userId)}, {"post_id", std::to_string(postId)}}, s.access);
    ASSERT_EQ(fetched.status, 200);
    EXPECT_EQ(fetched.body["data"]["posts"][0]["post_text"], text);
    Reply comment = post(
        "comments/new",
        {{"comment_text", text}, {"post_id", std::to_string(postId)}, {"user_id", std::to_string(s.userId)}},
        s.access);
    ASSERT_EQ(comment.status, 200) << comment.raw;
    Reply search = get("search/", {{"query", "%_"}}, s.access);
    ASSERT_EQ(search.status, 200);
    EXPECT_TRUE(search.body["data"].empty());
    Reply feed = post("content/", {{"baby_ids", {1, 2}}, {"user_id", s.userId}}, s.access);
    EXPECT_GE(feed.body["data"]["posts"].size(), 4u);
}

TEST_F(InputTest, UnknownPathsAndMethodsAnswerInJson) {
    expectJsonError(get("no/such/thing", {}), 404);
    expectJsonError(get("signin", {}), 405);
    // A route is its exact path, with one closing slash or none: one address asked for the terms with
    // 190 extra slashes before them 28,677 times in ten seconds, each answered and written to the log.
    std::string noah = demoMother().reply["babies"][1]["file_name"];
    for (const std::string& path :
         {std::string(191, '/') + "m/api/tandc", std::string("//m/api/tandc"), std::string("/m/api/tandc//"),
          "//" + noah, std::string("/m/api//invite/data"), std::string("/m/api/invite/data//")}) {
        auto refused = client_->Get(path.c_str());
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 404) << path;
    }
    for (const char* path : {"/m/api/tandc", "/m/api/tandc/"})
        EXPECT_EQ(client_->Get(path)->status, 200) << path;
    auto picture = client_->Get("/images/upload/none.png");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->status, 404);
    auto escape = client_->Get("/images/upload/..%2Fcradleway.db");
    ASSERT_TRUE(escape);
    EXPECT_EQ(escape->status, 404);
    // The kept videos' directory, once a video has been asked for, is no picture.
    std::filesystem::create_directories(dir_ / "cradleway.db-files" / "static" / "videos");
    auto directory = client_->Get("/static-files/images/videos");
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->status, 404);
}

TEST(FormFields, BracketNamesFoldIntoNestedValues) {
    json params = json::object();
    for (auto [k, v] : std::vector<std::pair<std::string, std::string>>{{"babies[][full_name]", "A"},
                                                                        {"babies[][id]", "1"},
                                                                        {"babies[][full_name]", "B"},
                                                                        {"ids[]", "5"},
                                                                        {"ids[]", "6"},
                                                                        {"user[name]", "N"},
                                                                        {"broken[", "x"},
                                                                        {"kids[1][name]", "K1"},
                                                                        {"kids[0][name]", "K0"}})
        addFormField(params, k, v);
    ASSERT_EQ(params["babies"].size(), 2u);
    EXPECT_EQ(params["babies"][0], json({{"full_name", "A"}, {"id", "1"}}));
    EXPECT_EQ(params["babies"][1], json({{"full_name", "B"}}));
    EXPECT_EQ(params["ids"], json({"5", "6"}));
    EXPECT_EQ(params["user"]["name"], "N");
    EXPECT_EQ(params["broken["], "x");
    EXPECT_EQ(params["kids"], json({{{"name", "K0"}}, {{"name", "K1"}}}));
}

TEST(FormFields, AFarPositionIsRefusedInsteadOfPaddingTheList) {
    json params = json::object();
    EXPECT_THROW(addFormField(params, "a[9999][9999][9999]", "x"), HttpError);
    addFormField(params, "kids[3][name]", "K3");
    EXPECT_EQ(params["kids"].size(), 4u);
    EXPECT_THROW(addFormField(params, "kids[40]", "far"), HttpError);
    EXPECT_EQ(params["kids"].size(), 4u);
}

TEST_F(InputTest, AFormFieldWithAFarPositionGives400) {
    Session s = demoMother();
    expectJsonError(get("comments", {{"feed_id", "2"}, {"pad[9999][9999]", "x"}}, s.access), 400);
    httplib::MultipartFormDataItems items = {{"post_text", "hello", "", ""}, {"pad[5000]", "x", "", ""}};
    expectJsonError(multipart("post/", items, s.access), 400);
}

TEST(Dates, TheFormsDatePatternIsReadToo) {
    EXPECT_EQ(normaliseDate("2019-02-03"), "2019-02-03");
    EXPECT_EQ(normaliseDate("Feb, 03 2019"), "2019-02-03");
    EXPECT_FALSE(normaliseDate("Feb, 30 2019"));
    EXPECT_FALSE(normaliseDate("2019-13-01"));
    EXPECT_FALSE(normaliseDate("yesterday"));
    EXPECT_EQ(journeyDate("2019-01-05"), "Jan 5, 2019");
    EXPECT_EQ(cardTime(0), "1970-01-01T00:00:00.000+0000");
    EXPECT_EQ(dailyUpdateTime(86400), "1970-01-02T00:00:00+0000");
    EXPECT_EQ(measurementTime(61), "1970-01-01T00:01:01");
}

} // namespace
} // namespace cw::server::testing

namespace cw::server::testing {
namespace {

TEST_F(InputTest, ConcurrentWritersAndReadersAllSucceed) {
    Session s = demoMother();
    int port = server_->port();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            httplib::Client c("127.0.0.1", port);
            httplib::Headers h = {{"X-Access-Token", s.access}};
            for (int i = 0; i < 8; ++i) {
                json comment = {{"comment_text", "note " + std::to_string(t * 100 + i)},
                                {"feed_id", "2"},
                                {"user_id", std::to_string(s.userId)}};
                auto w = c.Post("/m/api/comments/new", h, comment.dump(), "application/json");
                json feed = {{"baby_ids", {1, 2}}, {"user_id", s.userId}};
                auto r = c.Post("/m/api/content/", h, feed.dump(), "application/json");
                if (!w || w->status != 200 || !r || r->status != 200) ++failures;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    Reply comments = get("comments", {{"feed_id", "2"}, {"user_id", std::to_string(s.userId)}}, s.access);
    EXPECT_EQ(comments.body["data"]["comments"].size(), 48u);
}

TEST_F(InputTest, BookmarksTappedTogetherOnManyWorkersAllSucceed) {
    Session s = demoMother();
    int port = server_->port();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            httplib::Client c("127.0.0.1", port);
            httplib::Headers h = {{"X-Access-Token", s.access}};
            json body = {{"feed_id", 4}, {"user_id", s.userId}};
            for (int i = 0; i < 10; ++i) {
                auto r = c.Post(i % 2 ? "/m/api/content/unbookmark_card" : "/m/api/content/bookmark_card", h,
                                body.dump(), "application/json");
                if (!r || r->status != 200) ++failures;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    Reply marked = post("content/bookmark_card", {{"feed_id", 4}, {"user_id", s.userId}}, s.access);
    EXPECT_EQ(marked.status, 200);
    Reply again = post("content/bookmark_card", {{"feed_id", 4}, {"user_id", s.userId}}, s.access);
    EXPECT_EQ(again.body["data"]["id"], marked.body["data"]["id"]);
}

} // namespace
} // namespace cw::server::testing
