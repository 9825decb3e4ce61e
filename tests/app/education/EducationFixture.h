#pragma once

// The application in the headless host, signed in as the demo mother against a demo server of the
// test's own: a fresh data directory, bundle and server for each test. Helpers read what the server
// stored (usage events, bookmarks, reads) and count the requests it logged.

#include "App/AppDelegate.h"
#include "App/MainNavigationController.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

class UIImage;
class UITabBarController;
class UIView;

namespace cw::test {

class EducationTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Turns the main run loop (real time passes; the host's clock does not) until `done` holds.
    static bool waitFor(const std::function<bool()>& done, double seconds = 15);
    // The same for what only shows once the views are laid out again (each round settles the host,
    // which moves its clock).
    bool settleUntil(const std::function<bool()>& done, int rounds = 200);

    std::shared_ptr<MainNavigationController> mainNavigation() const;
    std::shared_ptr<UITabBarController> mainTabs() const;
    UIViewControllerPtr topScreen() const;
    // The demo mother's id and access token.
    std::int64_t memberId() const;
    std::string accessToken() const;

    // Events the server has stored so far, and those of one screen that hold a details key.
    std::vector<StoredEvent> events() const;
    std::vector<StoredEvent> eventsWith(const std::string& screen, const std::string& key) const;
    // Waits until `count` events of the screen with the key are stored; they are returned.
    std::vector<StoredEvent> waitForEvents(const std::string& screen, const std::string& key, std::size_t count = 1);
    // One value of the server's database (a single-integer query with one bound id).
    std::int64_t count(const std::string& sql, std::int64_t id) const;
    bool bookmarked(std::int64_t feedId) const;
    // Logged requests of a method and path ("GET /m/api/search", with or without a trailing slash).
    std::size_t logged(const std::string& methodAndPath) const;

    // The visible view showing exactly `text`, scrolled to when a table holds it below the fold.
    std::shared_ptr<UIView> find(const std::string& text) const;
    // Taps the text, failing the test when it is not shown within the time.
    void tapWhenShown(const std::string& text, double seconds = 15);
    void waitForText(const std::string& text, double seconds = 15);

    // Writes a picture of the screen as `<name>.png` into $CW_SCREENSHOT_DIR, else into "screens/"
    // beside the test program.
    void screenshot(const std::string& name);

    // Whether two pictures have the same pixels.
    static bool samePicture(const std::shared_ptr<UIImage>& a, const std::shared_ptr<UIImage>& b);

    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    std::ostringstream console;

private:
    ServerConsole log_;
    std::streambuf* savedCout_ = nullptr;
};

} // namespace cw::test
