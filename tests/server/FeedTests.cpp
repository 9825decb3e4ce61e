#include "ServerFixture.h"

namespace cw::server::testing {
namespace {

using FeedTest = ServerTest;

TEST_F(FeedTest, AFeedTakesTheSameStatementsWhateverItsSizeAndCompilesNoneOnceWarm) {
    Session s = demoMother();
    const json body = {{"baby_ids", {1, 2}}, {"user_id", s.userId}};
    auto& counters = server_->state().pool->counters();
    struct Cost {
        uint64_t started, prepared;
        size_t cards;
    };
    auto feed = [&] {
        uint64_t started = counters.started, prepared = counters.prepared;
        Reply reply = post("content/", body, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        const json& data = reply.body["data"];
        return Cost{counters.started - started, counters.prepared - prepared,
                    data["content"].size() + data["posts"].size() + data["daily_update"].size()};
    };
    feed(); // every worker's connection compiles what it needs once
    for (int i = 0; i < 8; ++i)
        feed();
    Cost small = feed();
    EXPECT_EQ(small.prepared, 0u);

    // More posts, each with comments, pictures and a bookmark, and comments on the library's cards.
    for (int i = 0; i < 12; ++i) {
        Reply shared = multipart("post/",
                                 {{"user_id", std::to_string(s.userId), "", ""},
                                  {"post_text", "Day " + std::to_string(i), "", ""},
                                  {"post_picture_1", jpegBytes(400 + i), "photo_1.jpg", "image/jpeg"}},
                                 s.access);
        ASSERT_EQ(shared.status, 200) << shared.raw;
        std::string postId = std::to_string(shared.body["data"]["posts"][0]["id"].get<int64_t>());
        for (int c = 0; c < 4; ++c)
            post("comments/new", {{"comment_text", "Lovely"}, {"post_id", postId}, {"user_id", s.userId}},
                 s.access);
        post("comments/new", {{"comment_text", "Useful"}, {"feed_id", i % 10 + 1}, {"user_id", s.userId}},
             s.access);
        post("content/bookmark_card", {{"post_id", postId}, {"user_id", s.userId}}, s.access);
    }
    Cost large = feed();
    EXPECT_GT(large.cards, small.cards + 10);
    EXPECT_EQ(large.started, small.started);
    EXPECT_EQ(large.prepared, 0u);
}

} // namespace
} // namespace cw::server::testing
