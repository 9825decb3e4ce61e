#include "ServiceTestSupport.h"

#include "Services/EducationContentService.h"
#include "Services/SearchService.h"

#include <gtest/gtest.h>

namespace cw::servicetest {
namespace {

using Sections = std::vector<RecommendedSection>;
using Hits = std::vector<std::shared_ptr<SearchResult>>;

class EducationSearchTest : public ServiceTest {
protected:
    std::variant<Sections, RequestError> fetchContent(bool bookmarked) {
        std::optional<std::variant<Sections, RequestError>> outcome;
        EducationContentService().fetchContent(
            bookmarked, [&](const Sections& sections) { outcome = sections; },
            [&](const RequestError& e) { outcome = e; });
        EXPECT_TRUE(runUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(RequestError::nilData());
    }
    std::variant<Hits, RequestError> search(const std::string& query) {
        std::optional<std::variant<Hits, RequestError>> outcome;
        SearchService().search(
            query, [&](const Hits& hits) { outcome = hits; }, [&](const RequestError& e) { outcome = e; });
        EXPECT_TRUE(runUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(RequestError::nilData());
    }
    static RequestError::Kind kindOf(const auto& outcome) {
        return std::holds_alternative<RequestError>(outcome) ? std::get<RequestError>(outcome).kind()
                                                             : RequestError::Kind::nilData;
    }
};

TEST_F(EducationSearchTest, ContentSectionsInTheServersOrder) {
    signIn(7, 4321);
    server.reply("POST", "/m/api/content/education/recommended", Reply{200, R"({"data": {
        "content": {"Breathing": [{"id": 1, "card_title": "Oxygen"}], "Feeding": [{"id": 2}, {"id": 3}]},
        "section": ["Feeding", "Breathing"]}})"});
    auto recommended = fetchContent(false);
    ASSERT_TRUE(std::holds_alternative<Sections>(recommended));
    const auto& sections = std::get<Sections>(recommended);
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].title, "Feeding");
    EXPECT_EQ(sections[0].feedItems.size(), 2u);
    EXPECT_EQ(sections[1].title, "Breathing");
    EXPECT_EQ(sections[1].feedItems.size(), 1u);

    fetchContent(true);
    auto arrivals = server.requests();
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].path, "/m/api/content/education/recommended");
    EXPECT_EQ(arrivals[1].path, "/m/api/content/education/bookmarked");
    for (const auto& arrival : arrivals) {
        EXPECT_EQ(arrival.method, "POST");
        EXPECT_EQ(arrival.json(), nlohmann::json({{"user_id", 7}, {"code", 4321}}));
    }
}

TEST_F(EducationSearchTest, ContentRepliesOfTheWrongShape) {
    signIn(7, 4321);
    for (const char* body :
         {R"({"data": {"content": {"A": [], "section": ["A"]}}})", // "section" inside "content"
          R"({"data": {"content": {"A": []}, "section": [1]}})",   // section names that are numbers
          R"({"data": [], "section": ["A"]})", R"([{"data": {}}])", ""}) {
        server.reply("POST", "/m/api/content/education/bookmarked", Reply{200, body});
        EXPECT_EQ(kindOf(fetchContent(true)), RequestError::Kind::parseError) << body;
    }
    server.reply("POST", "/m/api/content/education/bookmarked", Reply{500, "{}"});
    EXPECT_EQ(kindOf(fetchContent(true)), RequestError::Kind::networkError);
}

TEST_F(EducationSearchTest, MemberWithoutCodeGetsTheGetRequestsOnly) {
    signIn(7);
    bool called = false;
    EducationContentService().fetchContent(
        false, [&](const Sections&) { called = true; }, [&](const RequestError&) { called = true; });
    EducationContentService().checkBookmark(
        5, [&](const JSON&) { called = true; }, [&](const RequestError&) { called = true; });
    EXPECT_TRUE(arrivalsBeforeMarker().empty());
    EXPECT_FALSE(called);

    int replies = 0;
    auto count = [&](const JSON&) { ++replies; };
    auto fail = [&](const RequestError&) { ADD_FAILURE(); };
    EducationContentService().fetchCategories(count, fail);
    EducationContentService().fetchSubcontentWithId(std::nullopt, count, fail);
    EducationContentService().fetchSubcontentWithSubItemId(9, count, fail);
    ASSERT_TRUE(runUntil([&] { return replies == 3; }));
    std::map<std::string, std::string> queries;
    for (const auto& arrival : server.requests()) {
        EXPECT_EQ(arrival.method, "GET");
        queries[arrival.path + "?" + arrival.query] += "|";
    }
    // The id that is not given goes as a bare key, the null of the query.
    EXPECT_EQ(queries, (std::map<std::string, std::string>{
                           {"/m/api/content/education/categories.json?user_id=7", "|"},
                           {"/m/api/content/education/subcontent?id&user_id=7", "|"},
                           {"/m/api/content/education/subcontent?subItemId=9&user_id=7", "|"}}));
}

TEST_F(EducationSearchTest, GetRequestsWithAndWithoutMember) {
    std::optional<JSON> categories;
    EducationContentService().fetchCategories([&](const JSON& reply) { categories = reply; }, nullptr);
    ASSERT_TRUE(runUntil([&] { return categories.has_value(); }));
    EXPECT_EQ(server.requests()[0].query, "");

    signIn(7, 4321);
    server.reset();
    server.reply("GET", "/m/api/content/education/subcontent", Reply{200, R"({"newSubItems": []})"});
    std::optional<JSON> sub;
    EducationContentService().fetchSubcontentWithId(
        12, [&](const JSON& reply) { sub = reply; }, nullptr);
    ASSERT_TRUE(runUntil([&] { return sub.has_value(); }));
    EXPECT_TRUE((*sub)["newSubItems"].array());
    EXPECT_EQ(server.requests()[0].query, "code=4321&id=12&user_id=7");

    server.reply("GET", "/m/api/content/education/categories.json", {Reply{200, "[]"}, Reply{403, "{}"}});
    std::vector<RequestError::Kind> errors;
    for (int i = 0; i < 2; ++i)
        EducationContentService().fetchCategories([](const JSON&) { ADD_FAILURE(); },
                                                  [&](const RequestError& e) { errors.push_back(e.kind()); });
    ASSERT_TRUE(runUntil([&] { return errors.size() == 2; }));
    std::sort(errors.begin(), errors.end());
    EXPECT_EQ(errors, (std::vector{RequestError::Kind::networkError, RequestError::Kind::parseError}));
}

TEST_F(EducationSearchTest, BookmarkCheck) {
    signIn(7, 4321);
    server.reply("POST", "/m/api/content/education/bookmark/check", Reply{200, R"({"bookmarked": true})"});
    std::optional<JSON> reply;
    EducationContentService().checkBookmark(55, [&](const JSON& object) { reply = object; });
    ASSERT_TRUE(runUntil([&] { return reply.has_value(); }));
    EXPECT_TRUE((*reply)["bookmarked"].boolValue());
    EXPECT_EQ(server.requests()[0].json(), nlohmann::json({{"user_id", 7}, {"code", 4321}, {"feed_id", 55}}));

    // An array calls nothing without a failure callback.
    server.reply("POST", "/m/api/content/education/bookmark/check", Reply{200, "[]"});
    EducationContentService().checkBookmark(55, [&](const JSON&) { ADD_FAILURE(); });
    waitForArrivals(2);
    RunLoop::main().runUntilIdle();
    std::optional<RequestError> error;
    EducationContentService().checkBookmark(
        55, [&](const JSON&) { ADD_FAILURE(); }, [&](const RequestError& e) { error = e; });
    ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->kind(), RequestError::Kind::parseError);
}

TEST_F(EducationSearchTest, SearchHits) {
    server.reply("GET", "/m/api/search/", Reply{200, R"({"data": [
        {"id": 4, "card_title": "Kangaroo care", "summary_1": "Skin", "summary_2": "to skin",
         "content_url": "https://example.com/k", "bookmarked": true, "card_media": ["m1.jpg", "m2.jpg"],
         "extra": 1},
        {"id": "4", "bookmarked": 1, "card_media": ["a", 2], "card_title": 5},
        {}]})"});
    auto outcome = search("skin & care");
    ASSERT_TRUE(std::holds_alternative<Hits>(outcome));
    const auto& hits = std::get<Hits>(outcome);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0]->cardID, 4);
    EXPECT_EQ(hits[0]->cardTitle, "Kangaroo care");
    EXPECT_EQ(hits[0]->summaryOne, "Skin");
    EXPECT_EQ(hits[0]->summaryTwo, "to skin");
    EXPECT_EQ(hits[0]->contentURL, "https://example.com/k");
    EXPECT_TRUE(hits[0]->bookmarked);
    EXPECT_EQ(hits[0]->cardMediaURLs, (std::vector<std::string>{"m1.jpg", "m2.jpg"}));
    for (const auto& hit : {hits[1], hits[2]}) {
        EXPECT_EQ(hit->cardID, -1);
        EXPECT_EQ(hit->cardTitle, "");
        EXPECT_FALSE(hit->bookmarked);
        EXPECT_TRUE(hit->cardMediaURLs.empty());
    }
    // Without a member the query goes alone.
    auto arrival = server.requests()[0];
    EXPECT_EQ(arrival.method, "GET");
    EXPECT_EQ(arrival.params, (std::multimap<std::string, std::string>{{"query", "skin & care"}}));

    signIn(7);
    server.reply("GET", "/m/api/search/", Reply{200, R"({"data": []})"});
    auto empty = search("x");
    ASSERT_TRUE(std::holds_alternative<Hits>(empty));
    EXPECT_TRUE(std::get<Hits>(empty).empty());
    EXPECT_EQ(server.requests()[1].query, "query=x&user_id=7");

    for (const char* body : {R"({"data": {}})", R"({"data": [1]})", "[]", "{}", ""}) {
        server.reply("GET", "/m/api/search/", Reply{200, body});
        EXPECT_EQ(kindOf(search("x")), RequestError::Kind::parseError) << body;
    }
    server.reply("GET", "/m/api/search/", Reply{502, ""});
    EXPECT_EQ(kindOf(search("x")), RequestError::Kind::networkError);
}

} // namespace
} // namespace cw::servicetest
