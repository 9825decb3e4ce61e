#pragma once

// The application in the headless host against the embedded demo server, signed in as the demo
// mother (Emma Hart), as a person uses the journey: the timeline of a twin, the forms and the
// milestone's details, the stage journey. The application's clock reads the real date, as the demo
// server's does (its babies are born some days before today). Events are read as the server
// stored them, and what the database holds is asked directly.

#include "App/AppDelegate.h"
#include "App/MainNavigationController.h"
#include "Controllers/Journey/JourneyContainerViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class RoundedSectionHeaderViewTwo;

namespace cw::journeytest {

// The header the timeline shows over `section`, if it is one of its week headers.
std::shared_ptr<RoundedSectionHeaderViewTwo> header(const JourneyViewController& timeline, long section);

using test::showsActivityOverlay;
using test::StoredEvent;

// The real date and time, whatever clock the application reads.
Date systemNow();

class JourneyDemoTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the script's steps; its messages are part of a failure.
    void run(const std::string& steps);
    // Turns the run loop (the server answers in real time) until `done`, then settles.
    bool waitFor(const std::function<bool()>& done, double seconds = 10);
    bool waitForText(const std::string& text, double seconds = 10);

    // The stored baby with this full name.
    std::shared_ptr<BabyData> baby(const std::string& fullName) const;
    // The timeline of a baby, as the "Journey" pager makes it, pushed on the main navigation once its
    // weeks have arrived.
    std::shared_ptr<JourneyViewController> openTimeline(const std::string& fullName);
    // The stage journey, as the feed opens it: from the storyboard that holds it, pushed, once its
    // pages are built.
    std::shared_ptr<JourneyContainerViewController> openStages();
    std::shared_ptr<MainNavigationController> mainNavigation() const;
    // The controller on top: the topmost presented one's visible controller, or the main
    // navigation's.
    UIViewControllerPtr top() const;
    template <class T> std::shared_ptr<T> topAs() const { return std::dynamic_pointer_cast<T>(top()); }

    // The rows the timeline's table shows in a section now.
    static long rowsShown(const JourneyViewController& timeline, long section);
    // The cell of the row showing `label` in the timeline (none when no shown row has it).
    static std::shared_ptr<UITableViewCell> rowShowing(const JourneyViewController& timeline, const std::string& label);
    // Scrolls the timeline, as a finger does, until the row showing `label` stands clear of its
    // week's header and of the add button; false when it never does.
    bool revealRow(const JourneyViewController& timeline, const std::string& label);
    // A picture of the window, named `name`.png, in the directory CW_SCREENSHOT_DIR names
    // (scripts/screenshots gives docs/screens), else in the test's own directory.
    void picture(const std::string& name);

    std::vector<StoredEvent> events() const;
    std::vector<StoredEvent> eventsOf(const std::string& screen) const;
    // Waits until the server has stored `count` events of the screen whose details have `key`.
    bool waitForEvents(const std::string& screen, const std::string& key, std::size_t count = 1);
    std::vector<StoredEvent> eventsWith(const std::string& screen, const std::string& key) const;
    // One number the demo database answers.
    std::int64_t count(const std::string& sql) const;
    // One text the demo database answers ("" when none).
    std::string text(const std::string& sql) const;

    // A picture of one colour written to the test's directory, for the photo picker.
    std::filesystem::path pictureFile(const std::string& name, std::uint32_t argb, int width = 120,
                                      int height = 90) const;

    // The phone's screen, in points (a fixture may set another before SetUp).
    CGSize screenSize{375, 667};
    std::unique_ptr<test::AppEnvironment> environment;
    std::unique_ptr<test::DemoServer> demo;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    std::ostringstream console;

private:
    std::streambuf* savedCout_ = nullptr;
};

} // namespace cw::journeytest
