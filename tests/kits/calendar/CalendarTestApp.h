#pragma once

// A white screen to put calendars on, with a small view at its top right to anchor popovers to;
// popovers presented from its root stay popovers on the phone.

#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIPopoverPresentationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"

#include <memory>

namespace calendar_tests {

class Screen : public UIViewController, public UIPopoverPresentationControllerDelegate {
public:
    std::optional<UIModalPresentationStyle> adaptivePresentationStyle(UIPresentationController&) override {
        return UIModalPresentationStyle::none;
    }
};

class App : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
        root->view()->setBackgroundColor(UIColor::whiteColor());
        anchor->setFrame({330, 30, 30, 30});
        root->view()->addSubview(anchor);
        window_->setRootViewController(root);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }

    std::shared_ptr<Screen> root = std::make_shared<Screen>();
    std::shared_ptr<UIView> anchor = std::make_shared<UIView>();

private:
    std::shared_ptr<UIWindow> window_;
};

} // namespace calendar_tests
