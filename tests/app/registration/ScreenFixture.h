#pragma once

// One registration screen at a time in the headless host, inside a navigation controller of its own
// (as the signed-out flow shows them), talking to a recording server that answers what a test
// queues: for the screens' rules, their layout, and replies the demo server never gives.

#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UINavigationController.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::test {

// Whether an activity overlay shows anywhere in `view`.
bool showsOverlay(const UIView& view);
// A colour as "#RRGGBB", or "none".
std::string hexOf(const std::optional<UIColor>& color);

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the host (with `screenSize`) the first time, and shows `screen` as the root of a new
    // navigation controller whose bar is opaque.
    void show(const UIViewControllerPtr& screen);
    // Turns the run loop (the server answers in real time) until `done`, then settles.
    bool waitFor(const std::function<bool()>& done, double seconds = 10);
    // The events posted to "analytics", as screen, action and details.
    std::vector<nlohmann::json> events();
    // Waits for the activity overlay to be gone: the reply of what showed it came back and was
    // handled (its banner shown, if it has one). False after ten seconds.
    bool waitForOverlayToGo();
    // A view's frame in the window.
    static CGRect frameOnScreen(const UIView& view);

    CGSize screenSize{375, 667};
    std::unique_ptr<AppEnvironment> environment;
    RecordingServer server;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<UINavigationController> navigation;
};

} // namespace cw::test
