#include "PostsFixture.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Extensions/UIBarButtonItem+Badge.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/view/CALayer.h"

#include <cstdlib>
#include <iostream>

namespace cw::test {

namespace {

// The feed the last test loaded goes with its member.
void resetSession() {
    forgetSession();
    FeedDataStore::shared().setCachedFeed({});
}

} // namespace

std::string badgeText(const UIBarButtonItem& item) {
    auto badge = badgeLayer(item);
    if (!badge || badge->sublayers().empty()) return "";
    auto text = std::dynamic_pointer_cast<CATextLayer>(badge->sublayers()[0]);
    return text ? text->string : "";
}

void PostsScreenTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    environment = std::make_unique<AppEnvironment>("cw-posts");
    demo = std::make_unique<DemoServer>(environment->directory() / "server");
    // The feed's own questions would come up over these screens.
    demo->answerFeedQuestions();
    prepareBundle(*environment, demo->baseUrl(), "org.cradleway.posts-tests");
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

std::shared_ptr<CommentTableViewController> PostsScreenTest::openComments(const FeedResponse::Card& post,
                                                                           const std::string& shown) {
    if (!post || !open<PostDetailsViewController>("PostDetailsViewController", post)) return nullptr;
    if (!host->tapIdentifier("commentButton")) return nullptr;
    auto list = std::dynamic_pointer_cast<CommentTableViewController>(top());
    if (list && !shown.empty() && !showsSoon(shown)) return nullptr;
    return list;
}

std::shared_ptr<PostViewController> PostsScreenTest::openComposer() {
    auto composer = std::make_shared<PostViewController>();
    navigation()->present(std::make_shared<UINavigationController>(composer), true);
    host->settle();
    return composer;
}

::testing::AssertionResult PostsScreenTest::pickFromLibrary(const std::filesystem::path& file) {
    if (!host->tapIdentifier("cameraButton")) return ::testing::AssertionFailure() << "no camera button";
    if (!host->pickAlertAction("Photo Library")) return ::testing::AssertionFailure() << "no Photo Library";
    if (!host->pickImage(file)) return ::testing::AssertionFailure() << "no picker took " << file;
    return ::testing::AssertionSuccess();
}

void PostsScreenTest::signInAndLaunch(const std::string& email) {
    ASSERT_NO_FATAL_FAILURE(signInBeforeLaunch(email, "cradleway-demo"));
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    ASSERT_TRUE(waitFor([] { return !FeedDataStore::shared().cachedFeed().empty(); }, 20)) << "the feed did not load";
}

bool PostsScreenTest::waitFor(const std::function<bool()>& condition, double seconds) {
    return waitThenSettle(*host, condition, seconds);
}

::testing::AssertionResult PostsScreenTest::showsSoon(const std::string& text, double seconds) {
    return cw::test::showsSoon(*host, text, seconds);
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
    return queryInteger(*demo, sql);
}

bool PostsScreenTest::awaitCount(const std::string& sql, std::int64_t expected) {
    return RunLoop::main().runUntil([&] { return count(sql) == expected; }, 10);
}

std::vector<StoredEvent> PostsScreenTest::storedEvents(const std::string& screen) const {
    return cw::test::storedEvents(*demo, screen);
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
    const auto path = environment->directory() / name;
    EXPECT_TRUE(writeOneColourPicture(path, 0xFFE6804Du, width, height)) << path;
    return path;
}

} // namespace cw::test
