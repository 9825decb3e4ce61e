#pragma once

// A small application for driving the hosts: a navigation controller whose list (a table of days)
// pushes a detail screen, whose "Share" button presents an alert; "Send" marks the day as sent.

#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIWindow.h"

#include <memory>
#include <string>
#include <vector>

class SampleAppDelegate : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication& app, const LaunchOptions& options) override;
    std::shared_ptr<UIWindow> window() const override { return window_; }

    // What the application did, for the tests to read.
    std::vector<std::string> events;

private:
    std::shared_ptr<UIWindow> window_;
};
