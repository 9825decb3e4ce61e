#pragma once

// The application delegate in the headless host, against a recording server: a fresh data
// directory and bundle (version 1.4, build 27) for each test, the session of the process emptied,
// and helpers to store a session before launch, read the usage events the server received and
// prove that nothing more was sent.

#include "App/AppDelegate.h"
#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "App/SideNavigationViewController.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace cw::test {

// One usage event as the server received it.
struct Event {
    std::string screen;
    std::string action;
    nlohmann::json details;
};

// A member record as the server sends it.
nlohmann::json memberJSON(std::int64_t id, const std::string& fullName, const std::string& email,
                          std::optional<std::string> picture = std::nullopt);
// A sign-in reply for that member.
nlohmann::json signInReply(const nlohmann::json& member, const std::string& accessToken);

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores a member and/or tokens in the user defaults, as an earlier run would have.
    void storeSession(bool member, bool token, std::int64_t id = 41, const std::string& name = "Maya Lind",
                      std::optional<std::string> picture = std::nullopt);
    // Serves a picture of one colour (opaque ARGB) at the path.
    void servePicture(const std::string& path, std::uint32_t argb);
    // Makes the application delegate and launches it.
    std::shared_ptr<AppDelegate> launch();
    // Ends this run (host, delegate, session of the process, stored defaults) and starts a fresh
    // one, as another launch of the program on a new device would.
    void restart();

    // The main interface's pieces (after launch with a session, or a sign-in).
    std::shared_ptr<MainNavigationController> mainNavigation() const;
    std::shared_ptr<MainViewController> drawer() const;
    std::shared_ptr<SideNavigationViewController> menu() const;

    // Signs in through the sign-in screen; the recording server answers with `reply`.
    void signInThroughTheScreen(const nlohmann::json& reply);

    // The feed in the drawer's centre loads itself, and it and the sign-in screen report their own
    // usage events as they load: the shell's tests count only what the shell sends.
    static bool isScreensOwnTraffic(const RecordedRequest& request);
    std::vector<RecordedRequest> shellRequests() const;

    // Turns the main run loop until the server has received `count` of the shell's requests in all.
    void waitForRequests(std::size_t count);
    // Sends a request of its own and waits for it: whatever the shell sent before has arrived by then.
    void expectNothingElseSent();
    std::vector<RecordedRequest> requestsAt(const std::string& path) const;
    std::vector<Event> events() const;
    std::vector<Event> eventsOf(const std::string& screen) const;

    RecordingServer server;
    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    // What the application printed on the console during the test.
    std::ostringstream console;

private:
    void begin();
    void end();
    std::streambuf* savedCout_ = nullptr;
};

} // namespace cw::test
