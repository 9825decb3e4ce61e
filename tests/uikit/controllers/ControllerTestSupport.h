#pragma once

// A window on a manual clock, and controllers that write down every call they get.

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using CallLog = std::vector<std::string>;

class RecordingController : public UIViewController {
public:
    RecordingController(std::string name, std::shared_ptr<CallLog> log)
        : name(std::move(name)), log(std::move(log)) {}
    void viewDidLoad() override { note("viewDidLoad"); }
    void viewWillAppear(bool) override { note("viewWillAppear"); }
    void viewDidAppear(bool) override { note("viewDidAppear"); }
    void viewWillDisappear(bool) override { note("viewWillDisappear"); }
    void viewDidDisappear(bool) override { note("viewDidDisappear"); }
    void willMoveToParentViewController(const UIViewControllerPtr& p) override {
        UIViewController::willMoveToParentViewController(p);
        note(p ? "willMoveToParent" : "willMoveToNil");
    }
    void didMoveToParentViewController(const UIViewControllerPtr& p) override {
        UIViewController::didMoveToParentViewController(p);
        note(p ? "didMoveToParent" : "didMoveToNil");
    }
    void note(const std::string& what) { log->push_back(name + "." + what); }

    std::string name;
    std::shared_ptr<CallLog> log;
};

class RecordingNavigationDelegate : public UINavigationControllerDelegate {
public:
    explicit RecordingNavigationDelegate(std::shared_ptr<CallLog> log) : log(std::move(log)) {}
    void willShow(UINavigationController&, const UIViewControllerPtr& c, bool) override {
        log->push_back("nav.willShow " + name(c));
    }
    void didShow(UINavigationController&, const UIViewControllerPtr& c, bool) override {
        log->push_back("nav.didShow " + name(c));
    }
    static std::string name(const UIViewControllerPtr& c) {
        auto r = std::dynamic_pointer_cast<RecordingController>(c);
        return r ? r->name : c->className();
    }
    std::shared_ptr<CallLog> log;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().reset();
        cw::resetTransitions();
        UIApplication::shared().reset();
        window = std::make_shared<UIWindow>();
    }
    void TearDown() override {
        settle();
        window.reset();
        RunLoop::main().reset();
        UIApplication::shared().reset();
    }
    // Lets every queued task and running transition finish.
    void settle() {
        for (int i = 0; i < 100; ++i) {
            RunLoop::main().runUntilIdle();
            if (cw::transitionsInFlight() == 0) break;
            clock.advance(cw::kTransitionDuration);
        }
        RunLoop::main().runUntilIdle();
    }
    std::shared_ptr<RecordingController> make(const std::string& name) {
        return std::make_shared<RecordingController>(name, log);
    }
    void clearLog() { log->clear(); }

    ManualClock clock;
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::shared_ptr<UIWindow> window;
};
