#pragma once

// The post, comment, article and composer screens as the demo mother uses them: the application in
// the headless host, signed in against a demo server of the test's own (the tests write comments,
// bookmarks and posts), the feed loaded. Helpers open the screens on the main navigation, read what
// the server holds and wait on the real-time server without sleeping.

#include "App/AppDelegate.h"
#include "Models/FeedResponse.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UINavigationController.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class CommentTableViewController;
class PostViewController;

namespace cw::test {

// A post of the demo family with two comments.
inline constexpr const char* kHeldNoah = "Held Noah for the first time today. He is so light!";

// The number a bar button's badge shows; empty without a badge.
std::string badgeText(const UIBarButtonItem& item);

class PostsScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Signs the member in through the service, launches, and waits for the feed's cards.
    void signInAndLaunch(const std::string& email = "demo@cradleway.test");
    bool waitFor(const std::function<bool()>& condition, double seconds = 10);
    ::testing::AssertionResult showsSoon(const std::string& text, double seconds = 10);

    std::shared_ptr<UINavigationController> navigation() const;
    UIViewControllerPtr top() const;
    // The feed's cached card whose description (or title) is `text`.
    FeedResponse::Card card(const std::string& text) const;
    // Pushes a scene of the storyboard "Feed" made for `card`, and lets it settle.
    template <class T> std::shared_ptr<T> open(const std::string& scene, const FeedResponse::Card& card);
    // The post's details, then its comment list from the details' comment button: the list (none
    // when it did not open, or `shown` did not come to show on it).
    std::shared_ptr<CommentTableViewController> openComments(const FeedResponse::Card& post,
                                                              const std::string& shown = "");
    // The post composer, presented in a navigation controller of its own over the main navigation.
    std::shared_ptr<PostViewController> openComposer();
    // A picture the member adds to the composer from her photo library, as a finger does it.
    ::testing::AssertionResult pickFromLibrary(const std::filesystem::path& file);

    // One number, or one text, the demo database answers.
    std::int64_t count(const std::string& sql) const;
    std::vector<StoredEvent> storedEvents(const std::string& screen) const;
    bool awaitCount(const std::string& sql, std::int64_t expected);
    // The window as a picture "<name>.png": into CW_SCREENSHOT_DIR when set (scripts/screenshots
    // names docs/screens), else into the test's own directory.
    void picture(const std::string& name);
    // A picture file of one colour, w × h pixels, in the test's directory.
    std::filesystem::path pictureFile(const std::string& name, int width, int height);

    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<DemoServer> demo;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    std::ostringstream console;

private:
    std::streambuf* savedCout_ = nullptr;
};

} // namespace cw::test

#include "uikit/controllers/UIStoryboard.h"

template <class T>
std::shared_ptr<T> cw::test::PostsScreenTest::open(const std::string& scene, const FeedResponse::Card& card) {
    auto screen = std::dynamic_pointer_cast<T>(UIStoryboard::named("Feed")->instantiateViewController(scene));
    if (!screen) return nullptr;
    screen->detailsData = card;
    navigation()->pushViewController(screen, true);
    host->settle();
    return screen;
}
