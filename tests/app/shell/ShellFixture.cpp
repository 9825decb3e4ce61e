#include "ShellFixture.h"

#include <set>

#include "App/TabBarController.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "uikit/controllers/UIAppearance.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/graphics/UIImage.h"

#include <iostream>
#include <set>

namespace cw::test {

nlohmann::json memberJSON(std::int64_t id, const std::string& fullName, const std::string& email,
                          std::optional<std::string> picture) {
    nlohmann::json member = {{"id", id},
                             {"full_name", fullName},
                             {"email", email},
                             {"relationship", "Mother"},
                             {"security_code", 1000 + id}};
    if (picture) member["file_name"] = *picture;
    return member;
}

nlohmann::json signInReply(const nlohmann::json& member, const std::string& accessToken) {
    return {{"user", member},
            {"babies", nlohmann::json::array()},
            {"tokens", {{"access_token", accessToken}, {"refresh_token", "refresh-" + accessToken}}}};
}

void ShellTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    begin();
}

void ShellTest::TearDown() {
    end();
    std::cout.rdbuf(savedCout_);
}

void ShellTest::restart() {
    end();
    server.clearRequests();
    begin();
}

void ShellTest::begin() {
    environment = std::make_unique<AppEnvironment>("cw-shell");
    prepareBundle(*environment, server.base(), "org.cradleway.shell-tests");
    // An empty feed: one that is no feed at all has the feed say so over the bar.
    server.reply("POST", "/m/api/content/", Reply{200, R"({"data":{"posts":[],"daily_update":[],"content":[]}})"});
    forgetSession();
    host = std::make_unique<cw::HeadlessHost>();
}

void ShellTest::end() {
    // Nothing of this run may still be on its way to the server.
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    forgetSession();
    environment.reset();
    UIAppearance::reset();
}

void ShellTest::servePicture(const std::string& path, std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(4, argb);
    const auto bytes = *UIImage::fromPixels(2, 2, 1, pixels.data())->pngData();
    server.reply("GET", path, Reply{200, std::string(bytes.begin(), bytes.end()), "image/png"});
}

void ShellTest::storeSession(bool member, bool token, std::int64_t id, const std::string& name,
                             std::optional<std::string> picture) {
    AuthenticationContext stored;
    if (token) stored.updateTokens(JSON(nlohmann::json{{"tokens", {{"access_token", "stored-access"}, {"refresh_token", "stored-refresh"}}}}));
    if (member) {
        auto user = UserData::initWithResponseObject(JSON(memberJSON(id, name, "maya@example.test", picture)));
        stored.save(user);
    }
}

std::shared_ptr<AppDelegate> ShellTest::launch() {
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    return app;
}

std::shared_ptr<MainNavigationController> ShellTest::mainNavigation() const {
    return std::dynamic_pointer_cast<MainNavigationController>(host->window()->rootViewController());
}

std::shared_ptr<MainViewController> ShellTest::drawer() const {
    return app ? app->mainViewController() : nullptr;
}

std::shared_ptr<SideNavigationViewController> ShellTest::menu() const {
    auto d = drawer();
    return d ? std::dynamic_pointer_cast<SideNavigationViewController>(d->leftDrawerViewController()) : nullptr;
}

void ShellTest::signInThroughTheScreen(const nlohmann::json& reply) {
    server.reply("POST", "/m/api/signin/", Reply{200, reply.dump()});
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    ASSERT_TRUE(host->type(reply["user"]["email"].get<std::string>()));
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    ASSERT_TRUE(host->type("secret-words"));
    const std::size_t before = requestsAt("/m/api/signin/").size();
    ASSERT_TRUE(host->tapText("Sign In"));
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return requestsAt("/m/api/signin/").size() > before && mainNavigation() != nullptr; }, 10))
        << "the main interface did not come";
    host->settle();
}

bool ShellTest::isScreensOwnTraffic(const RecordedRequest& request) {
    // The screens load themselves: the feed its cards, its questions, discharge check and
    // recommended-content check; the screens a notification opens a post and its comment count, an
    // article's page, bookmark and comment count, and the page marked as seen.
    static const std::set<std::string> screenPaths = {"/m/api/content/", "/m/api/question/check",
                                                      "/m/api/question/response", "/m/api/baby/discharged",
                                                      "/m/api/notification/recommended/check", "/m/api/post/",
                                                      "/m/api/comments/", "/m/api/content/education/bookmark/check",
                                                      "/m/api/notification/seen"};
    if (screenPaths.contains(request.path) || request.path.starts_with("/content/education/")) return true;
    if (request.path != "/m/api/analytics/") return false;
    const auto body = request.json();
    if (!body.is_object()) return false;
    const auto screen = body.value("screen_name", "");
    return screen == "FeedViewScreen" || screen == "PostDetailsViewScreen" ||
           screen == "DailyUpdateDetailsViewScreen" || screen == "FeedDetailsWebViewScreen" ||
           (screen == "LoginScreen" && body.value("screen_action", "") == "Loaded");
}

std::vector<RecordedRequest> ShellTest::shellRequests() const {
    std::vector<RecordedRequest> own;
    for (auto& r : server.requests())
        if (!isScreensOwnTraffic(r)) own.push_back(std::move(r));
    return own;
}

void ShellTest::waitForRequests(std::size_t count) {
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return shellRequests().size() >= count; }, 10))
        << "only " << shellRequests().size() << " of " << count << " arrived";
    host->settle();
}

void ShellTest::expectNothingElseSent() {
    const std::size_t before = shellRequests().size();
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !server.requestsAt("/m/api/sentinel/").empty(); }, 10));
    // Replies of requests answered just before the sentinel's are delivered by now.
    RunLoop::main().runFor(0.05);
    auto all = shellRequests();
    std::string sent;
    for (const auto& r : all) sent += " " + r.path + (r.body.size() < 200 ? " " + r.body : std::string());
    ASSERT_EQ(all.size(), before + 1) << "more came than waited for:" << sent;
    EXPECT_EQ(all.back().path, "/m/api/sentinel/");
    server.clearRequests();
}

std::vector<RecordedRequest> ShellTest::requestsAt(const std::string& path) const {
    return server.requestsAt(path);
}

std::vector<Event> ShellTest::events() const {
    std::vector<Event> result;
    for (const auto& r : server.requestsAt("/m/api/analytics/")) {
        if (isScreensOwnTraffic(r)) continue;
        const auto body = r.json();
        result.push_back({body.value("screen_name", ""), body.value("screen_action", ""),
                          body.value("event_details", nlohmann::json::object())});
    }
    return result;
}

std::vector<Event> ShellTest::eventsOf(const std::string& screen) const {
    std::vector<Event> result;
    for (auto& e : events())
        if (e.screen == screen) result.push_back(e);
    return result;
}

} // namespace cw::test
