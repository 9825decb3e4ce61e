// A feed whose server sends words far longer than any screen shows (a post of one 60,000-character
// word, an author's name and a card's title of such words, as a hostile server can): the father's
// feed shows the card at once and answers his taps; the text is laid out no further than what
// its labels can show.

#include "tests/app/feed/FeedDemoFixture.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"
#include "uikit/graphics/PangoSupport.h"

namespace cw::test {
namespace {

const std::string kWord(60'000, 'w');
const std::string kName = "Ruth " + std::string(60'000, 'r');
const std::string kTitle(60'000, 't');

// Rewrites a reply that holds posts (the feed's, a post's details): the first post is the newest,
// one long word by an author with a long name, and an article's title is one long word.
void makeTheWordsLong(httplib::Response& response) {
    auto reply = nlohmann::json::parse(response.body, nullptr, false);
    if (!reply.is_object() || !reply.contains("data") || !reply["data"].is_object()) return;
    auto& data = reply["data"];
    if (!data.contains("posts") || !data["posts"].is_array() || data["posts"].empty()) return;
    std::string newest;
    for (const char* list : {"posts", "daily_update"})
        for (const auto& card : data[list])
            newest = std::max(newest, card.value("created_at", std::string()));
    auto& post = data["posts"][0];
    post["post_text"] = kWord;
    post["created_at"] = newest;
    data["users"][std::to_string(post.value("user_id", 0))]["full_name"] = kName;
    if (data.contains("content") && data["content"].is_array() && !data["content"].empty())
        data["content"][0]["card_title"] = kTitle;
    response.set_content(reply.dump(), "application/json");
}

class FeedLongText : public FeedScreenTest {
protected:
    void SetUp() override {
        FeedScreenTest::SetUp();
        front.setHandler([upstream = demo->baseUrl()](const RecordedRequest& request, httplib::Response& response) {
            forwardRequest(upstream, request, response);
            makeTheWordsLong(response);
        });
        prepareBundle(environment, front.base(), "test.feed.screen");
        end();
        resetSession();
        begin();
    }
    void TearDown() override {
        front.stop();
        FeedScreenTest::TearDown();
    }
    RecordingServer front;
};

TEST_F(FeedLongText, ACardOfOneLongWordShowsAndTheScreenAnswers) {
    const std::size_t before = detail::shapedUnitCount();
    signInAsTheFather();
    ASSERT_TRUE(host->isShowing(kWord)) << "the long post's card is on screen";
    EXPECT_TRUE(host->isShowing(kName));
    // Every label of the feed laid out and drawn, the long ones among them, shaped less than one of
    // the long words: each only what it shows.
    ASSERT_TRUE(host->drawFrame());
    EXPECT_LT(detail::shapedUnitCount() - before, kWord.size());

    // The post opens on a tap on its author's name, and back leads home.
    const std::size_t opening = detail::shapedUnitCount();
    ASSERT_TRUE(host->tapText(kName));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return std::dynamic_pointer_cast<PostDetailsViewController>(topScreen()) != nullptr; }, 10));
    host->settle();
    // The author's long name comes first; the post's word below it, a few flicks down.
    auto showsTheWord = [&] {
        const auto texts = host->visibleTexts();
        return std::any_of(texts.begin(), texts.end(), [](const std::string& t) { return t.starts_with(kWord); });
    };
    for (int flick = 0; flick < 10 && !showsTheWord(); ++flick) {
        ASSERT_TRUE(host->drag({187, 600}, {187, 150}));
        host->settle();
    }
    EXPECT_TRUE(showsTheWord());
    ASSERT_TRUE(host->drawFrame());
    EXPECT_LT(detail::shapedUnitCount() - opening, kWord.size());
    ASSERT_TRUE(host->goBack());
    host->settle();
    EXPECT_TRUE(host->isShowing(kWord));
}

} // namespace
} // namespace cw::test
