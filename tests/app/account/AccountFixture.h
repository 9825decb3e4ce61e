#pragma once

// The application in the headless host against the embedded demo server, as a member uses it: a
// fresh data directory, bundle and demo family for each test, a member signed in before launch (the
// stored session opens the main interface), and helpers to reach the account screens, to wait for
// what the screen shows, and to read what the server stored (usage events among it).

#include "App/AppDelegate.h"
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

namespace cw::test {

class AccountTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Signs the account in through the sign-in service and stores the session, as an earlier run
    // of the application would have.
    void signIn(const std::string& email, const std::string& password = "cradleway-demo");
    // Makes a new account of its own (no family, no babies) on the server and signs it in.
    void signUpAlone(const std::string& email, const std::string& relationship);
    void launch();
    // Signs the demo mother in and launches.
    void launchAsMother();

    // Opens the side menu and picks a row.
    void openFromMenu(const std::string& row);
    // Turns the main run loop until `done` holds (real seconds; the server answers in real time),
    // letting the host settle between turns (which moves the clock past short waits).
    bool waitUntil(const std::function<bool()>& done, double seconds = 10);
    bool waitForText(const std::string& text, double seconds = 10);
    // The screen on top: the topmost presented controller, or the top of the navigation controller
    // it is (or holds), as a T.
    template <class T> std::shared_ptr<T> shownScreen() const {
        return std::dynamic_pointer_cast<T>(topScreen());
    }
    UIViewControllerPtr topScreen() const;
    // Whether a loading overlay covers anything in the controller's view.
    static bool showsOverlay(UIViewController& controller);
    // What the screen shows, for failure messages.
    std::string screenTexts() const;

    // The usage events the server stored so far, oldest first; of one screen.
    std::vector<StoredEvent> storedEvents() const;
    std::vector<StoredEvent> storedEvents(const std::string& screen) const;
    // The screen's events as {"action", "details"} objects. Events leave from a background queue, so
    // the order in which they arrive is not the order they were sent: compare them unordered.
    std::vector<nlohmann::json> eventsOf(const std::string& screen) const;
    static nlohmann::json event(const std::string& action, const nlohmann::json& details = nlohmann::json::object()) {
        return {{"action", action}, {"details", details}};
    }
    // Waits until the server holds `count` events of the screen.
    bool waitForEvents(const std::string& screen, std::size_t count);
    // The first column of each row of a query of the demo database, as text (null as none).
    std::vector<std::optional<std::string>> queryColumn(const std::string& sql) const;
    std::optional<std::string> queryOne(const std::string& sql) const;

    // The requests the server answered so far with `method` at `path` (below "/m/api/", as
    // "member/notification/settings"), from its access log.
    std::size_t requestsAnswered(const std::string& method, const std::string& path) const;

    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<DemoServer> demo;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    // What the application printed on the console during the test.
    std::ostringstream console;

private:
    std::streambuf* savedCout_ = nullptr;
    ServerConsole serverConsole_;
};

} // namespace cw::test
