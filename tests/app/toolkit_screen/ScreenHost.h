#pragma once

// A phone screen for the toolkit's tests: the headless host (manual clock, touches, screenshots)
// running a window whose root controller shows a plain white screen for the test to fill. The
// bundle's pictures are the ones this build drew.

#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/WhiteScreenApp.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/graphics/UIImage.h"

#include <memory>

namespace cw::test {

class ScreenHost {
public:
    explicit ScreenHost(CGSize screen = {375, 667}) : host_(screen) {
        UIImage::setResourceDirectory(generatedResourcesDirectory());
        auto delegate = std::make_shared<Delegate>();
        host_.launch(delegate);
        root_ = delegate->root;
    }

    HeadlessHost& host() { return host_; }
    std::shared_ptr<UIWindow> window() const { return host_.window(); }
    // The white screen's view.
    std::shared_ptr<UIView> screen() const { return root_->view(); }
    const UIViewControllerPtr& controller() const { return root_; }

    // One finger's phases at a point of the window, without letting the clock run.
    void down(CGPoint p) { sendTouch(window(), p, UITouchPhase::began); }
    void up(CGPoint p) { sendTouch(window(), p, UITouchPhase::ended); }
    // Down and up at once, then the run loop settles (animations run out). Quick taps at one spot
    // count up, as on the phone.
    void tap(CGPoint p) {
        down(p);
        up(p);
        host_.settle();
    }

private:
    using Delegate = cw::test::WhiteScreenApp;

    HeadlessHost host_;
    UIViewControllerPtr root_;
};

} // namespace cw::test
