#pragma once

// The application in the headless host against the embedded demo server, as a person uses the
// signed-out screens: a fresh data directory, bundle and demo database for each test, the console
// lines the server printed (temporary passwords), the usage events it stored, and a relaunch that
// keeps the device's data (defaults, keychain) as a new start of the program would.

#include "App/AppDelegate.h"
#include "App/MainNavigationController.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace cw::test {

class SignInTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The screen the host is made with (before launch); 375 × 667 unless a test says otherwise.
    CGSize screenSize{375, 667};

    std::shared_ptr<AppDelegate> launch();
    // Ends this run of the program (host, delegate, the process's session) and starts it again on
    // the same device: what the data directory holds is read afresh.
    void relaunch();

    std::shared_ptr<AuthenticationFlowController> flow() const;
    UIViewControllerPtr top() const;
    template <class T> std::shared_ptr<T> topAs() const { return std::dynamic_pointer_cast<T>(top()); }
    // Whether the window shows the main interface.
    bool showsMainInterface() const;

    // Turns the run loop (the server answers in real time) until `done`, then settles.
    bool waitFor(const std::function<bool()>& done, double seconds = 10);
    bool waitForText(const std::string& text, double seconds = 10);
    // Taps the field and types (a "\n" presses Return: on a form's last field it puts the keyboard
    // away from over the form's button).
    void typeInto(const std::string& identifier, const std::string& text);
    void signIn(const std::string& email, const std::string& password);

    // The events the server stored, oldest first; waits until one of `screen` with `action` (and a
    // details key `key`, when given) is there.
    std::vector<StoredEvent> events() const;
    std::vector<StoredEvent> eventsOf(const std::string& screen) const;
    // How many of the screen's events have `action`: events leave from a background queue, so the
    // server may store them in any order, and tests count rather than read the first.
    std::size_t countEvents(const std::string& screen, const std::string& action) const;
    bool waitForEvent(const std::string& screen, const std::string& action, const std::string& key = "");
    // The details of the first stored event of `screen` whose details hold `key` (null when none).
    nlohmann::json detailsWith(const std::string& screen, const std::string& key) const;

    std::vector<std::string> consoleLines() const;
    // The temporary password the server printed for `email`, if it did.
    std::optional<std::string> temporaryPassword(const std::string& email) const;

    // How far the server's clock stands ahead of the real one, in seconds: a test lets an hour pass
    // on the server while a person lingers on a screen.
    std::atomic<int64_t> serverClockAhead{0};

    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<DemoServer> demo;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    // What the application printed.
    std::ostringstream console;

private:
    void end();
    std::streambuf* savedCout_ = nullptr;
    ServerConsole serverConsole_;
};

} // namespace cw::test
