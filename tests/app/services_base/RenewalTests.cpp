#include "ServiceFixture.h"

#include "Services/BaseHTTPService.h"
#include "Services/RetryService.h"
#include "foundation/dispatch/RunLoop.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

namespace cw::servicetest {
namespace {

using RenewalTest = ServiceTest;

// The tokens as the server keeps them: each renewal spends the refresh token it is given (any other
// is refused) and issues the pair "access-<n>"/"refresh-<n>"; a session answers only to its latest
// four access tokens, and the first, "access-0", has expired. The refusals of named requests are
// held until the test lets each go, as a slow network holds them.
class RotatingTokens {
public:
    void serve(const Arrival& arrival, httplib::Response& response) {
        std::unique_lock lock(mutex_);
        if (arrival.path == "/m/api/tokens/") {
            if (arrival.header("X-Refresh-Token") != "refresh-" + std::to_string(issued_)) {
                response.status = 401;
                return;
            }
            ++issued_;
            response.set_content(R"({"access_token":"access-)" + std::to_string(issued_) +
                                     R"(","refresh_token":"refresh-)" + std::to_string(issued_) + R"("})",
                                 "application/json");
            return;
        }
        const std::string token = arrival.header("X-Access-Token").value_or("");
        const int sent = token.starts_with("access-") ? std::stoi(token.substr(7)) : -1;
        if (auto held = held_.find(arrival.path); held != held_.end() && held->second.token == token) {
            // A bounded wait: a test that never lets it go fails on its own callbacks, not by hanging.
            released_.wait_for(lock, std::chrono::seconds(10), [&] { return held->second.released; });
        }
        if (sent < 1 || sent <= issued_ - 4) response.status = 401;
    }
    // The next answer to `path` sent with `token` waits for release(path).
    void hold(const std::string& path, const std::string& token) {
        std::lock_guard lock(mutex_);
        held_[path] = {token, false};
    }
    void release(const std::string& path) {
        {
            std::lock_guard lock(mutex_);
            held_[path].released = true;
        }
        released_.notify_all();
    }
    void releaseAll() {
        {
            std::lock_guard lock(mutex_);
            for (auto& [path, held] : held_)
                held.released = true;
        }
        released_.notify_all();
    }

private:
    struct Held {
        std::string token;
        bool released = false;
    };
    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, Held> held_;
    int issued_ = 0;
};

// Back after her token expired, on a slow network: the screen's requests all meet the expired token,
// and their refusals come back one by one, each after the renewal that the first started has ended.
// Each is sent again with the tokens that renewal gave; none renews again, which would spend the
// refresh token once more for each, until the server had let go of the access token the first
// request's replay carries while it is still on its way.
TEST_F(RenewalTest, RefusalsThatComeAfterTheRenewalAreSentAgainWithItsTokensWithoutRenewingAgain) {
    signIn("access-0", "refresh-0");
    auto tokens = std::make_shared<RotatingTokens>();
    setReply(
        [tokens](const Arrival& arrival, httplib::Response& response) { tokens->serve(arrival, response); });
    const std::vector<std::string> late = {"b", "c", "d", "e"};
    for (const auto& path : late)
        tokens->hold("/m/api/feed/" + path, "access-0");
    tokens->hold("/m/api/feed/a", "access-1");

    BaseHTTPService service("feed");
    std::map<std::string, int> successes, failures;
    // Every kind of request: asked for, sent with a body, uploading a picture, creating something.
    auto send = [&](const std::string& path, int kind) {
        auto success = [&, path](const Task&, const std::optional<JSON>&) { ++successes[path]; };
        auto failure = [&, path](const Task&, const NSError&) { ++failures[path]; };
        const JSON body(nlohmann::json{{"path", path}});
        if (kind == 0)
            service.get(path, JSON(), nullptr, success, failure);
        else if (kind == 1)
            service.post(path, body, success, failure);
        else if (kind == 2)
            service.post(
                path, body,
                [](AFMultipartFormData& form) {
                    form.appendPartWithFileData({1, 2, 3}, "image_file", "photo.jpg", "image/jpeg");
                },
                nullptr, success, failure);
        else
            service.create(path, body, success, failure);
    };
    send("a", 0);
    for (std::size_t i = 0; i < late.size(); ++i)
        send(late[i], static_cast<int>(i));
    // The first is refused at once, renews the tokens, and goes again with them (held on its way).
    runUntil([&] { return arrivalsAt("/m/api/feed/a").size() == 2; });
    for (const auto& path : late) {
        tokens->release("/m/api/feed/" + path);
        runUntil([&] { return arrivalsAt("/m/api/feed/" + path).size() == 2; });
    }
    tokens->release("/m/api/feed/a");
    runUntil([&] { return successes.size() + failures.size() == 1 + late.size(); });
    tokens->releaseAll();

    EXPECT_EQ(arrivalsAt("/m/api/tokens/").size(), 1u);
    EXPECT_TRUE(failures.empty()) << failures.begin()->first;
    for (const auto& path : late) {
        const auto sent = arrivalsAt("/m/api/feed/" + path);
        ASSERT_EQ(sent.size(), 2u) << path;
        EXPECT_EQ(sent[1].header("X-Access-Token"), "access-1") << path;
        EXPECT_EQ(sent[1].header("X-Refresh-Token"), "refresh-1") << path;
    }
    EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "access-1");
    EXPECT_EQ(AuthenticationContext::shared().oAuthRefreshToken(), "refresh-1");
}

// A member page opened with the token that a request's renewal has since replaced is refused for it:
// the page is asked for again with the session's token, without renewing the tokens a second time.
TEST_F(RenewalTest, AMemberPageRefusedForATokenRenewedSinceAsksAgainWithoutRenewing) {
    signIn("access-0", "refresh-0");
    auto tokens = std::make_shared<RotatingTokens>();
    setReply(
        [tokens](const Arrival& arrival, httplib::Response& response) { tokens->serve(arrival, response); });
    MemberPage page;
    const auto opened = page.open("/content/education/5");
    ASSERT_TRUE(opened);
    EXPECT_NE(opened->absoluteString().find("access_token=access-0"), std::string::npos);

    // Meanwhile a request of hers met the expired token and renewed it.
    BaseHTTPService service("feed");
    bool answered = false;
    service.get(
        "a", JSON(), nullptr, [&](const Task&, const std::optional<JSON>&) { answered = true; }, nullptr);
    runUntil([&] { return answered; });
    ASSERT_EQ(arrivalsAt("/m/api/tokens/").size(), 1u);

    int again = 0, failed = 0;
    ASSERT_TRUE(page.renew(
        BaseHTTPService::PageReply::tokenEnded, [&] { ++again; }, [&] { ++failed; }));
    runUntil([&] { return again + failed == 1; });
    EXPECT_EQ(again, 1);
    EXPECT_EQ(arrivalsAt("/m/api/tokens/").size(), 1u);
    const auto reopened = page.open("/content/education/5");
    ASSERT_TRUE(reopened);
    EXPECT_NE(reopened->absoluteString().find("access_token=access-1"), std::string::npos);
}

} // namespace
} // namespace cw::servicetest
