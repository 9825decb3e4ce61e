#include "ServiceTestSupport.h"
#include "tests/support/session/SessionReset.h"

#include "Services/AuthenticationContext.h"
#include "Services/CommentService.h"
#include "Services/ContentService.h"
#include "Services/PostService.h"
#include "Services/SignInService.h"
#include "server/Server.h"
#include "tests/support/DemoServer.h"

#include <atomic>

#include <gtest/gtest.h>

namespace cw::servicetest {
namespace {

// A member's session against the demo server, through the services the screens use.
class MemberSessionTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        server::ServerOptions options;
        options.cheapPasswordHashing = true;
        options.clock = [this] { return now_.load(); };
        options.console = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        };
        demo_ = std::make_unique<cw::test::DemoServer>(environment.directory() / "server", options);
        environment.writeInfo(
            {{"SERVER_URL", demo_->baseUrl()}, {"CFBundleIdentifier", "test.member.session"}});
    }
    void TearDown() override {
        ServiceTest::TearDown();
        demo_.reset();
    }
    std::size_t logCount(const std::string& start) {
        std::lock_guard lock(logMutex_);
        return std::count_if(log_.begin(), log_.end(),
                             [&](const auto& line) { return line.starts_with(start); });
    }
    // Waits for a JSON-object reply, failing the test on a RequestError.
    template <class Start> JSON awaitObject(Start start) {
        std::optional<JSON> reply;
        bool failed = false;
        start([&](const JSON& object) { reply = object; },
              [&](const RequestError& error) {
                  ADD_FAILURE() << error.what();
                  failed = true;
              });
        EXPECT_TRUE(runUntil([&] { return reply || failed; }));
        return reply.value_or(JSON());
    }
    JSON fetchFeed() {
        std::vector<std::int64_t> babyIds;
        for (const auto& baby : AuthenticationContext::shared().babies())
            if (baby->babyId()) babyIds.push_back(*baby->babyId());
        std::optional<JSON> feed;
        ContentService().fetchFeed(
            babyIds, AuthenticationContext::shared().user()->id(),
            [&](const auto&, const std::optional<JSON>& reply) { feed = reply.value_or(JSON()); },
            [&](const auto&, const NSError& error) {
                ADD_FAILURE() << error.localizedDescription();
                feed = JSON();
            });
        EXPECT_TRUE(runUntil([&] { return feed.has_value(); }));
        return feed.value_or(JSON());
    }

    std::atomic<std::int64_t> now_{1'780'000'000};
    std::unique_ptr<cw::test::DemoServer> demo_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

std::shared_ptr<UIImage> solidPicture(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(16 * 12, argb);
    return UIImage::fromPixels(16, 12, 1, pixels.data());
}

TEST_F(MemberSessionTest, SignInFeedBookmarkCommentAndPostAcrossATokenRefresh) {
    auto& session = AuthenticationContext::shared();
    const auto account = server::demoAccounts()[0];
    bool signedIn = false;
    SignInService().signin(
        account.email, account.password, cw::test::screenThatStays(),
        [&](const auto&, const std::optional<JSON>& reply) {
            session.login(reply);
            signedIn = true;
        },
        [&](const auto&, const NSError& error) { FAIL() << error.localizedDescription(); });
    ASSERT_TRUE(runUntil([&] { return signedIn; }));
    ASSERT_TRUE(session.user());
    ASSERT_TRUE(session.oAuthToken());
    ASSERT_FALSE(session.babies().empty());

    JSON feed = fetchFeed();
    std::optional<std::int64_t> unmarked;
    for (const JSON& card : feed["data"]["content"].arrayValue())
        if (!unmarked && !card["bookmarked"].boolValue()) unmarked = card["id"].int_();
    ASSERT_TRUE(unmarked) << "no card to bookmark in the demo feed";
    const std::int64_t feedId = *unmarked;

    std::optional<bool> bookmarked;
    ContentService().bookmark(
        feedId, "feed_id", false, [&](const BookmarkResponse&) { bookmarked = true; },
        [&](const auto&, const NSError& error) {
            ADD_FAILURE() << error.localizedDescription();
            bookmarked = false;
        });
    ASSERT_TRUE(runUntil([&] { return bookmarked.has_value(); }));
    ASSERT_TRUE(*bookmarked);

    const std::string commentText = "So glad to read this tonight";
    JSON comment = awaitObject([&](auto success, auto failure) {
        CommentService().postComment(commentText, std::nullopt, feedId, success, failure);
    });
    EXPECT_TRUE(comment["status"].string());

    // Two hours later the access token has run out: the post is refused once, the tokens are
    // refreshed and the post (pictures and all) is sent again.
    const auto oldToken = session.oAuthToken();
    now_ += 2 * 3600;
    JSON created = awaitObject([&](auto success, auto failure) {
        PostService().createPost("Home soon", {solidPicture(0xFFCC3344), solidPicture(0xFF3344CC)}, success,
                                 failure);
    });
    // The server logs a request after its reply has gone out.
    EXPECT_TRUE(runUntil([&] { return logCount("POST /m/api/post/ 200") == 1; }));
    EXPECT_EQ(logCount("POST /m/api/post/ 401"), 1u);
    EXPECT_EQ(logCount("POST /m/api/tokens/ 200"), 1u);
    EXPECT_NE(session.oAuthToken(), oldToken);
    const JSON post = created["data"]["posts"][0];
    ASSERT_TRUE(post["id"].int_());
    EXPECT_EQ(post["post_medias"].count(), 2u);

    // Nothing was lost: the bookmark, the comment and the post with both pictures are on the server.
    JSON reloaded = awaitObject(
        [&](auto success, auto failure) { PostService().getPost(*post["id"].int_(), success, failure); });
    EXPECT_EQ(reloaded["data"]["posts"][0]["post_text"].stringValue(), "Home soon");
    EXPECT_EQ(reloaded["data"]["posts"][0]["post_medias"].count(), 2u);

    JSON comments = awaitObject([&](auto success, auto failure) {
        CommentService().getComments(std::nullopt, feedId, success, failure);
    });
    bool found = false;
    for (const JSON& each : comments["data"]["comments"].arrayValue())
        found = found || each["comment_text"].stringValue() == commentText;
    EXPECT_TRUE(found) << comments.serialize();

    JSON again = fetchFeed();
    bool cardMarked = false, postListed = false;
    for (const JSON& each : again["data"]["content"].arrayValue())
        if (each["id"].int_() == feedId) cardMarked = each["bookmarked"].boolValue();
    for (const JSON& each : again["data"]["posts"].arrayValue())
        postListed = postListed || each["id"].int_() == post["id"].int_();
    EXPECT_TRUE(cardMarked);
    EXPECT_TRUE(postListed);
    EXPECT_EQ(logCount("POST /m/api/tokens/"), 1u);
}

} // namespace
} // namespace cw::servicetest
