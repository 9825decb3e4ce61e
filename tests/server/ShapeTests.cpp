// Every request the client sends, answered in the shape its records read.

#include "ServerFixture.h"

namespace cw::server::testing {
namespace {

enum class T { Str, Int, Num, Bool, Arr, Obj };

bool is(const json& v, T t) {
    switch (t) {
    case T::Str:
        return v.is_string();
    case T::Int:
        return v.is_number_integer();
    case T::Num:
        return v.is_number();
    case T::Bool:
        return v.is_boolean();
    case T::Arr:
        return v.is_array();
    case T::Obj:
        return v.is_object();
    }
    return false;
}

void expectKeys(const json& object, std::initializer_list<std::pair<const char*, T>> keys,
                const char* where) {
    ASSERT_TRUE(object.is_object()) << where << ": " << object.dump();
    for (const auto& [key, type] : keys) {
        ASSERT_TRUE(object.contains(key))
            << where << " lacks \"" << key << "\": " << object.dump().substr(0, 300);
        EXPECT_TRUE(is(object[key], type))
            << where << ": \"" << key << "\" has the wrong type: " << object[key];
    }
}

class ShapeTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        s = demoMother();
        uid = std::to_string(s.userId);
    }
    Reply ok(const std::string& path, const json& body) {
        Reply r = post(path, body, s.access);
        EXPECT_EQ(r.status, 200) << path << ": " << r.raw;
        return r;
    }
    Reply okGet(const std::string& path, const httplib::Params& params) {
        Reply r = get(path, params, s.access);
        EXPECT_EQ(r.status, 200) << path << ": " << r.raw;
        return r;
    }
    Session s;
    std::string uid;
};

TEST_F(ShapeTest, SignInAndMember) {
    expectKeys(s.reply, {{"user", T::Obj}, {"babies", T::Arr}, {"tokens", T::Obj}}, "signin");
    expectKeys(s.reply["user"],
               {{"id", T::Int},
                {"email", T::Str},
                {"full_name", T::Str},
                {"relationship", T::Str},
                {"security_code", T::Int},
                {"spouse_id", T::Int},
                {"file_name", T::Str}},
               "user");
    expectKeys(s.reply["tokens"], {{"access_token", T::Str}, {"refresh_token", T::Str}}, "tokens");
    for (const auto& baby : s.reply["babies"])
        expectKeys(baby,
                   {{"id", T::Int},
                    {"full_name", T::Str},
                    {"birthday", T::Str},
                    {"expected_birthday", T::Str},
                    {"gender", T::Str},
                    {"mrn", T::Str},
                    {"file_name", T::Str}},
                   "baby");

    Reply settings = okGet("member/notification/settings", {{"user_id", uid}});
    expectKeys(settings.body,
               {{"recommended_notifications", T::Bool},
                {"post_notifications", T::Bool},
                {"comment_notifications", T::Bool},
                {"daily_update_notifications", T::Bool},
                {"scheduled", T::Bool},
                {"scheduled_from", T::Str},
                {"scheduled_to", T::Str}},
               "settings");
    json change = settings.body;
    change["scheduled"] = true;
    change["scheduled_from"] = "21:30:00";
    Reply saved = ok("member/notification/settings", change);
    EXPECT_EQ(saved.body["scheduled_from"], "21:30:00");
    EXPECT_EQ(saved.body["scheduled"], true);

    Reply family = okGet("invite/data", {{"user_id", uid}, {"email", "demo@cradleway.test"}});
    ASSERT_TRUE(family.body["members"].is_array());
    ASSERT_GE(family.body["members"].size(), 3u);
    expectKeys(family.body["members"][0],
               {{"id", T::Int},
                {"name", T::Str},
                {"email", T::Str},
                {"relationship", T::Str},
                {"connected", T::Bool}},
               "partner");
    ok("member/push_notif_token",
       {{"user_id", uid}, {"security_code", std::to_string(s.code)}, {"push_token", "ab"}});
    Reply removed = ok("member/delete", {{"user_id", s.userId},
                                         {"security_code", s.code},
                                         {"family_member_id", family.body["members"][1]["id"]}});
    expectKeys(removed.body, {{"message", T::Str}}, "member delete");
    EXPECT_EQ(post("member/delete",
                   {{"user_id", s.userId}, {"security_code", s.code + 1}, {"family_member_id", 2}}, s.access)
                  .status,
              403);
}

TEST_F(ShapeTest, FeedCardsAndBookmarks) {
    Reply feed = ok("content/", {{"baby_ids", {1, 2}}, {"user_id", s.userId}});
    json data = feed.body["data"];
    expectKeys(data, {{"content", T::Arr}, {"posts", T::Arr}, {"daily_update", T::Arr}, {"users", T::Obj}},
               "feed");
    for (const auto& card : data["content"])
        expectKeys(card,
                   {{"id", T::Int},
                    {"card_title", T::Str},
                    {"card_description", T::Str},
                    {"card_media_type", T::Str},
                    {"card_time", T::Str},
                    {"card_read", T::Bool},
                    {"card_media", T::Arr},
                    {"content_url", T::Str},
                    {"latest_comments", T::Arr},
                    {"comments_count", T::Int},
                    {"bookmarked", T::Bool},
                    {"source", T::Str}},
                   "content card");
    bool table = false;
    for (const auto& card : data["content"])
        if (card.value("description_media_type", "") == "table_mp4") {
            table = true;
            expectKeys(card["description_media"][0],
                       {{"title", T::Str}, {"media", T::Str}, {"type", T::Str}, {"video_identifier", T::Str}},
                       "class row");
        }
    EXPECT_TRUE(table);
    for (const auto& card : data["posts"]) {
        expectKeys(card,
                   {{"id", T::Int},
                    {"post_text", T::Str},
                    {"post_medias", T::Arr},
                    {"user_id", T::Int},
                    {"created_at", T::Str},
                    {"comments_count", T::Int},
                    {"bookmarked", T::Bool}},
                   "post card");
        EXPECT_TRUE(data["users"].contains(std::to_string(card["user_id"].get<int64_t>())));
        for (const auto& comment : card["latest_comments"])
            expectKeys(comment["user"], {{"full_name", T::Str}}, "comment user");
    }
    for (const auto& card : data["daily_update"])
        expectKeys(card,
                   {{"id", T::Int},
                    {"title", T::Str},
                    {"post_text", T::Str},
                    {"created_at", T::Str},
                    {"image", T::Str}},
                   "daily update card");
    std::string time = data["content"][0]["card_time"];
    EXPECT_EQ(time.size(), 28u) << time; // yyyy-MM-dd'T'HH:mm:ss.SSS+0000

    Reply marked = ok("content/bookmark_card", {{"feed_id", 3}, {"user_id", s.userId}});
    expectKeys(marked.body["data"],
               {{"id", T::Int}, {"feed_id", T::Int}, {"user_id", T::Int}, {"card_attribute", T::Str}},
               "bookmark");
    Reply unmarked = ok("content/unbookmark_card", {{"post_id", 30}, {"user_id", s.userId}});
    EXPECT_EQ(unmarked.body["data"]["post_id"], 30);
    EXPECT_EQ(post("content/bookmark_card", {{"feed_id", 999}, {"user_id", s.userId}}, s.access).status, 404);
    EXPECT_EQ(
        ok("content/education/bookmark/check", {{"user_id", s.userId}, {"code", s.code}, {"feed_id", 3}})
            .body["bookmarked"],
        true);
}

TEST_F(ShapeTest, BabyRequests) {
    json baby = {{"baby_id", 1}, {"user_id", s.userId}};
    Reply daily = ok("baby/daily_update", baby);
    expectKeys(daily.body,
               {{"days_of_life_description", T::Str},
                {"gestational_age_description", T::Str},
                {"adjusted_gestational_age_description", T::Str},
                {"daily_update", T::Arr}},
               "daily update");
    ASSERT_EQ(daily.body["daily_update"].size(), 14u);
    json entry = daily.body["daily_update"][0];
    EXPECT_EQ(entry["updated_at"].get<std::string>().size(), 24u); // yyyy-MM-dd'T'HH:mm:ss+0000
    expectKeys(entry["items"][1],
               {{"name", T::Str},
                {"title", T::Str},
                {"value", T::Str},
                {"subitems", T::Arr},
                {"was_changed", T::Bool}},
               "daily update item");

    Reply team = ok("baby/care_givers", baby);
    ASSERT_GE(team.body["care_givers"].size(), 2u);
    EXPECT_EQ(team.body["care_givers"][0]["text"], "CARE TEAM");
    expectKeys(team.body["care_givers"][1], {{"text", T::Str}, {"desc", T::Str}}, "care giver");

    for (const char* kind : {"weight", "height", "head_circumference"}) {
        Reply series = ok(std::string("baby/") + kind, baby);
        ASSERT_FALSE(series.body[kind].empty()) << kind;
        expectKeys(series.body[kind][0], {{"updated_at", T::Str}, {"value", T::Num}, {"units", T::Str}},
                   kind);
        EXPECT_EQ(series.body[kind][0]["updated_at"].get<std::string>().size(), 19u);
    }
    Reply discharged = ok("baby/discharged", {{"user_id", s.userId}, {"babies", {1, 2}}});
    EXPECT_EQ(discharged.body, json({{"1", false}, {"2", false}}));

    Reply journey = ok("baby/nicu_journey_data", baby);
    expectKeys(journey.body,
               {{"nicu_journey_data", T::Obj}, {"baby", T::Obj}, {"days_of_life_description", T::Str}},
               "journey");
    ASSERT_TRUE(journey.body["nicu_journey_data"].contains("Week 1"));
    json item = journey.body["nicu_journey_data"]["Week 1"][0];
    expectKeys(
        item, {{"id", T::Int}, {"label", T::Str}, {"date", T::Str}, {"image", T::Str}, {"editable", T::Bool}},
        "journey item");
    Reply kinds = ok("baby/nicu_journey_list", baby);
    expectKeys(kinds.body["nicu_journey_list"][0],
               {{"dropdown_text", T::Str}, {"type", T::Str}, {"image", T::Str}, {"input", T::Bool}},
               "milestone kind");

    // Edit and delete only the family's own milestones.
    int64_t careTeamItem = 0, familyItem = 0;
    for (const auto& [week, items] : journey.body["nicu_journey_data"].items())
        for (const auto& i : items)
            (i["editable"] ? familyItem : careTeamItem) = i["id"];
    Reply edited = multipart("baby/nicu_journey_edit",
                             {{"baby_id", "1", "", ""},
                              {"user_id", uid, "", ""},
                              {"id", std::to_string(familyItem), "", ""},
                              {"date", "2026-12-02", "", ""}},
                             s.access);
    ASSERT_EQ(edited.status, 200) << edited.raw;
    EXPECT_EQ(edited.body["nicu_journey_edit"]["date"], "Dec 2, 2026");
    EXPECT_EQ(post("baby/nicu_journey_delete", {{"baby_id", 1}, {"user_id", s.userId}, {"id", careTeamItem}},
                   s.access)
                  .status,
              403);
    ok("baby/nicu_journey_delete", {{"baby_id", 1}, {"user_id", s.userId}, {"id", familyItem}});

    Reply header = ok("member/nicu_journey", {{"user_id", s.userId}});
    json first = header.body["babies"][0];
    expectKeys(first,
               {{"id", T::Int},
                {"full_name", T::Str},
                {"birthday", T::Str},
                {"expected_birthday", T::Str},
                {"Gender", T::Str},
                {"file_name", T::Str},
                {"responses", T::Arr},
                {"gestational_age_description", T::Str}},
               "journey header");
    expectKeys(first["responses"][0],
               {{"q_id", T::Int},
                {"not_id", T::Int},
                {"title", T::Str},
                {"question", T::Str},
                {"answer", T::Str},
                {"is_question_asked", T::Bool},
                {"color_hex", T::Str}},
               "stage");
    Reply answered = ok(
        "question/response",
        {{"user_id", s.userId}, {"questions", {{"1", {{{"answer", "Yes"}, {"not_id", 102}, {"q_id", 2}}}}}}});
    expectKeys(answered.body, {{"status", T::Str}}, "answers");

    EXPECT_EQ(
        post("baby/delete", {{"user_id", s.userId}, {"security_code", s.code}, {"baby_id", 2}}, s.access)
            .status,
        200);
    EXPECT_EQ(post("baby/weight", {{"baby_id", 2}, {"user_id", s.userId}}, s.access).status, 403);
}

TEST_F(ShapeTest, EducationLibraryAndSearch) {
    Reply recommended = ok("content/education/recommended", {{"user_id", s.userId}, {"code", s.code}});
    json data = recommended.body["data"];
    expectKeys(data, {{"content", T::Obj}, {"section", T::Arr}}, "recommended");
    ASSERT_FALSE(data["section"].empty());
    for (const auto& name : data["section"])
        EXPECT_TRUE(data["content"][name.get<std::string>()].is_array());
    Reply bookmarked = ok("content/education/bookmarked", {{"user_id", s.userId}, {"code", s.code}});
    ASSERT_FALSE(bookmarked.body["data"]["section"].empty());
    EXPECT_EQ(
        post("content/education/recommended", {{"user_id", s.userId}, {"code", s.code + 1}}, s.access).status,
        403);

    Reply categories =
        okGet("content/education/categories.json", {{"user_id", uid}, {"code", std::to_string(s.code)}});
    json category = categories.body["new_data"][1];
    expectKeys(category, {{"id", T::Int}, {"name", T::Str}, {"pictures", T::Obj}}, "category");
    expectKeys(category["pictures"], {{"1x", T::Str}, {"2x", T::Str}, {"3x", T::Str}}, "pictures");
    auto picture = client_->Get(category["pictures"]["2x"].get<std::string>().c_str());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->status, 200);
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");

    std::string feeding = std::to_string(category["id"].get<int64_t>());
    Reply sub = okGet("content/education/subcontent", {{"user_id", uid}, {"id", feeding}});
    expectKeys(sub.body, {{"newSubItems", T::Arr}}, "subcontent");
    ASSERT_FALSE(sub.body["newSubItems"].empty());
    std::string subId = std::to_string(sub.body["newSubItems"][0]["id"].get<int64_t>());
    Reply leaf = okGet("content/education/subcontent", {{"user_id", uid}, {"subItemId", subId}});
    expectKeys(leaf.body, {{"newSubItems", T::Arr}, {"actual_content", T::Arr}}, "subcontent");
    ASSERT_GE(leaf.body["actual_content"].size(), 2u);
    for (const auto& item : leaf.body["actual_content"])
        expectKeys(item, {{"id", T::Int}, {"name", T::Str}, {"pictures", T::Obj}}, "item");
    Reply none = okGet("content/education/subcontent", {{"user_id", uid}, {"id", ""}});
    EXPECT_TRUE(none.body["newSubItems"].empty());
    EXPECT_FALSE(none.body.contains("actual_content"));

    Reply found = okGet("search/", {{"query", "kangaroo"}, {"user_id", uid}});
    ASSERT_FALSE(found.body["data"].empty());
    expectKeys(found.body["data"][0],
               {{"id", T::Int},
                {"card_title", T::Str},
                {"summary_1", T::Str},
                {"summary_2", T::Str},
                {"content_url", T::Str},
                {"bookmarked", T::Bool},
                {"card_media", T::Arr}},
               "search hit");
    // The article page that the hit names, opened as the web view opens it.
    std::string page = found.body["data"][0]["content_url"].get<std::string>() + "?user_id=" + uid +
                       "&access_token=" + s.access;
    auto article = client_->Get(page.c_str());
    ASSERT_TRUE(article);
    EXPECT_EQ(article->status, 200);
    EXPECT_NE(article->body.find("<li>"), std::string::npos);
    auto terms = client_->Get("/m/api/tandc");
    ASSERT_TRUE(terms);
    EXPECT_NE(terms->body.find("Terms of Use"), std::string::npos);
    // Signed out, the search still answers (without bookmarks).
    EXPECT_EQ(get("search", {{"query", "feeding"}}).status, 200);
}

TEST_F(ShapeTest, CommentsPostsNotificationsQuestionsAndEvents) {
    Reply comments = okGet("comments/", {{"post_id", "29"}, {"user_id", uid}});
    ASSERT_FALSE(comments.body["data"]["comments"].empty());
    expectKeys(comments.body["data"]["comments"][0],
               {{"created_at", T::Str}, {"comment_text", T::Str}, {"user", T::Obj}}, "comment");
    Reply onArticle = okGet("comments", {{"feed_id", "5"}, {"user_id", uid}});
    size_t before = onArticle.body["data"]["comments"].size();
    ok("comments/new", {{"comment_text", "Thank you"}, {"feed_id", "5"}, {"user_id", uid}});
    EXPECT_EQ(okGet("comments", {{"feed_id", "5"}, {"user_id", uid}}).body["data"]["comments"].size(),
              before + 1);
    EXPECT_EQ(
        post("comments/new", {{"comment_text", " "}, {"feed_id", "5"}, {"user_id", uid}}, s.access).status,
        400);

    Reply onePost = okGet("post", {{"user_id", uid}, {"post_id", "29"}});
    expectKeys(onePost.body["data"], {{"posts", T::Arr}, {"users", T::Obj}}, "post");

    Reply red = ok("notification/recommended/check", {{"user_id", s.userId}});
    EXPECT_EQ(red.body["hide_red_dot"], false);
    ok("notification/recommended/seen", {{"user_id", s.userId}});
    EXPECT_EQ(ok("notification/recommended/check", {{"user_id", s.userId}}).body["hide_red_dot"], true);
    ok("notification/seen", {{"user_id", s.userId}, {"not_id", 1}});
    ok("notification/received",
       {{"user_id", uid}, {"security_code", std::to_string(s.code)}, {"not_id", "2"}});
    ok("notification/reset", {{"user_id", s.userId}});

    Reply questions = ok("question/check", {{"user_id", s.userId}});
    ASSERT_TRUE(questions.body["questions"].is_object());
    json group = questions.body["questions"]["care"];
    expectKeys(group[0], {{"q_id", T::Int}, {"not_id", T::Int}, {"header", T::Str}, {"body", T::Str}},
               "question");
    for (auto& q : group)
        q["answer"] = "Yes";
    Reply answered = ok("question/response", {{"user_id", s.userId}, {"questions", {{"care", group}}}});
    EXPECT_TRUE(answered.body["status"].is_string());
    EXPECT_FALSE(ok("question/check", {{"user_id", s.userId}}).body["questions"].contains("care"));

    json event = {{"user_id", s.userId},
                  {"screen_name", "MainScreen"},
                  {"screen_action", "ServerRequest"},
                  {"event_details", {{"aliveEvent", "App is alive"}}},
                  {"client", "Linux"},
                  {"clientOS", "6.1"},
                  {"clientModel", "PC"}};
    ok("analytics", event);
}

} // namespace
} // namespace cw::server::testing
