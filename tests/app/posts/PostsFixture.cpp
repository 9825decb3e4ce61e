#include "PostsFixture.h"

#include "Controllers/Feed/FeedDataStore.h"
#include "Services/AuthenticationContext.h"
#include "Services/SignInService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "server/Database.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/UIImage.h"

#include <cstdlib>
#include <iostream>

namespace cw::test {

namespace {

void resetSession() {
    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
    session.setSelectedBabyId(std::nullopt);
    session.setDelegate({});
    FeedDataStore::shared().setCachedFeed({});
}

} // namespace

void PostsScreenTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    environment = std::make_unique<AppEnvironment>("cw-posts");
    demo = std::make_unique<DemoServer>(environment->directory() / "server");
    // The feed's own questions would come up over these screens.
    demo->answerFeedQuestions();
    environment->writeInfo({{"SERVER_URL", demo->baseUrl()},
                            {"CFBundleIdentifier", "org.cradleway.posts-tests"},
                            {"CFBundleShortVersionString", "1.4"},
                            {"CFBundleVersion", "27"}});
    UIImage::setResourceDirectory(generatedResourcesDirectory());
    resetSession();
    GSMessage::clearHistory();
    host = std::make_unique<cw::HeadlessHost>();
}

void PostsScreenTest::TearDown() {
    RunLoop::main().runFor(0.1);
    app.reset();
    host.reset();
    demo.reset();
    resetSession();
    environment.reset();
    UIAppearance::reset();
    std::cout.rdbuf(savedCout_);
}

void PostsScreenTest::signInAndLaunch(const std::string& email) {
    std::optional<JSON> reply;
    bool failed = false;
    SignInService().signin(
        email, "cradleway-demo", [&](const BaseHTTPService::Task&, const std::optional<JSON>& object) { reply = object; },
        [&](const BaseHTTPService::Task&, const NSError&) { failed = true; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return reply || failed; }, 10)) << "no sign-in reply";
    ASSERT_TRUE(reply) << "the sign-in failed";
    AuthenticationContext::shared().login(reply);
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    ASSERT_TRUE(waitFor([] { return !FeedDataStore::shared().cachedFeed().empty(); }, 20)) << "the feed did not load";
}

bool PostsScreenTest::waitFor(const std::function<bool()>& condition, double seconds) {
    const bool met = RunLoop::main().runUntil(condition, seconds);
    host->settle();
    return met;
}

::testing::AssertionResult PostsScreenTest::showsSoon(const std::string& text, double seconds) {
    if (waitFor([&] { return host->isShowing(text); }, seconds)) return ::testing::AssertionSuccess();
    std::string shown;
    for (const auto& t : host->visibleTexts()) shown += "\"" + t + "\" ";
    return ::testing::AssertionFailure() << "\"" << text << "\" is not on screen; it shows " << shown;
}

std::shared_ptr<UINavigationController> PostsScreenTest::navigation() const {
    return std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
}

UIViewControllerPtr PostsScreenTest::top() const {
    auto nav = navigation();
    return nav ? nav->topViewController() : nullptr;
}

FeedResponse::Card PostsScreenTest::card(const std::string& text) const {
    for (const auto& c : FeedDataStore::shared().cachedFeed())
        if (c->cardDescription == text || c->cardTitle == text) return c;
    return nullptr;
}

std::int64_t PostsScreenTest::count(const std::string& sql) const {
    auto db = demo->server().state().pool->acquire();
    auto st = db->prepare(sql);
    return st.step() ? st.integer(0) : -1;
}

bool PostsScreenTest::awaitCount(const std::string& sql, std::int64_t expected) {
    return RunLoop::main().runUntil([&] { return count(sql) == expected; }, 10);
}

std::vector<StoredEvent> PostsScreenTest::storedEvents(const std::string& screen) const {
    std::vector<StoredEvent> events;
    auto db = demo->server().state().pool->acquire();
    auto st = db->prepare("SELECT screen_name, screen_action, event_details FROM analytics_events "
                          "WHERE screen_name = ? ORDER BY id");
    st.with(screen);
    while (st.step()) events.push_back({st.text(0), st.text(1), nlohmann::json::parse(st.text(2), nullptr, false)});
    return events;
}

void PostsScreenTest::picture(const std::string& name) {
    const char* chosen = std::getenv("CW_SCREENSHOT_DIR");
    const std::filesystem::path directory = chosen ? std::filesystem::path(chosen) : environment->directory() / "shots";
    std::filesystem::create_directories(directory);
    std::string error;
    host->settle();
    ASSERT_TRUE(host->screenshot(directory / (name + ".png"), &error)) << error;
}

std::filesystem::path PostsScreenTest::pictureFile(const std::string& name, int width, int height) {
    UIGraphicsBeginImageContextWithOptions(CGSize{double(width), double(height)}, true, 1);
    auto context = UIGraphicsGetCurrentContext();
    context->setFillColor(UIColor(0.9, 0.5, 0.3, 1));
    context->fill(CGRect(0, 0, width, height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const auto path = environment->directory() / name;
    image->writePNG(path);
    return path;
}

} // namespace cw::test
