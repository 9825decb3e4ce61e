#pragma once

// The baby pages as a member uses them: the application delegate in the headless host, signed in as
// a demo member, with a demo server, a data directory and a bundle of each test's own: a baby one
// test adds is never another's, whatever order they run in. Helpers read what the server stored (usage events, the daily updates of a baby) and find
// the screens on top.

#include "App/AppDelegate.h"
#include "Models/BabyData.h"
#include "Models/DailyUpdateData.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/app/AppTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::test {

class BabyScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Signs the demo member in through the service (as the sign-in screen would) and launches the
    // application, which opens on the main interface.
    void signInAndLaunch(const std::string& email = "demo@cradleway.test");
    // Launches with a session of a member who has no stored babies.
    void launchWithoutBabies();
    // Turns the main run loop (real time: the server answers) until `condition` holds.
    bool waitFor(const std::function<bool()>& condition, double seconds = 10);
    // Waits until `text` is on screen.
    ::testing::AssertionResult showsSoon(const std::string& text, double seconds = 10);

    // The usage events of a screen the server stored for the demo member, oldest first, once at
    // least `count` have arrived.
    std::vector<StoredEvent> storedEvents(const std::string& screen, std::size_t count);
    // The baby's daily updates as the server answers them to the signed-in member.
    DailyUpdateResponse serverDailyUpdates(std::int64_t babyId);

    // The stored babies of the session.
    std::vector<std::shared_ptr<BabyData>> babies() const;

    std::unique_ptr<TempDirectory> serverDirectory_;
    std::unique_ptr<DemoServer> server_;

    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
};

} // namespace cw::test
