#pragma once

// An application whose window shows one plain white screen, for tests that put views or
// controllers of their own on it (present over `root`, push, or add subviews).

#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controllers/UIWindow.h"

#include <memory>

namespace cw::test {

class WhiteScreenApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
        root = std::make_shared<UIViewController>();
        root->view()->setBackgroundColor(UIColor::whiteColor());
        window_->setRootViewController(root);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    UIViewControllerPtr root;

private:
    std::shared_ptr<UIWindow> window_;
};

} // namespace cw::test
