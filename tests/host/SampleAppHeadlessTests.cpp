#include "hosts/sample-host/SampleApp.h"

#include "host/HeadlessHost.h"
#include "foundation/time/Clock.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UITextField.h"
#include "tests/support/TempDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

namespace {

// Screenshots are written into a directory of their own that goes when the tests end: nothing is
// left in the directory the tests run from.
std::filesystem::path artefact(const std::string& name) {
    static const cw::test::TempDirectory directory("cw-sample-screenshots");
    return directory / name;
}

void expectScreenshot(cw::HeadlessHost& host, const std::string& name) {
    std::string error;
    const auto path = artefact(name);
    ASSERT_TRUE(host.screenshot(path, &error)) << error;
    auto image = UIImage::fromFile(path);
    ASSERT_TRUE(image) << path;
    EXPECT_EQ(image->pixelWidth(), 750);
    EXPECT_EQ(image->pixelHeight(), 1334);
}

} // namespace

TEST(SampleAppHeadless, ListToDetailToAlertAndBackDrivenByVisibleTexts) {
    cw::HeadlessHost host;
    auto app = std::make_shared<SampleAppDelegate>();
    ASSERT_TRUE(host.launch(app));
    EXPECT_TRUE(host.isShowing("Journal"));
    EXPECT_TRUE(host.isShowing("Tuesday"));
    expectScreenshot(host, "1-list.png");

    ASSERT_TRUE(host.tapText("Tuesday"));
    EXPECT_THAT(app->events, ElementsAre("open Tuesday"));
    EXPECT_TRUE(host.isShowing("Notes for Tuesday"));
    EXPECT_TRUE(host.isShowing("\u2039 Journal")) << "the back button names the list";
    EXPECT_FALSE(host.isShowing("Monday")) << "the list left the screen";
    expectScreenshot(host, "2-detail.png");

    ASSERT_TRUE(host.tapText("Share"));
    ASSERT_TRUE(std::dynamic_pointer_cast<UIAlertController>(host.topViewController()));
    EXPECT_TRUE(host.isShowing("Send these notes to the family?"));
    expectScreenshot(host, "3-alert.png");

    ASSERT_TRUE(host.tapText("Send"));
    EXPECT_FALSE(std::dynamic_pointer_cast<UIAlertController>(host.topViewController()));
    EXPECT_THAT(app->events, ElementsAre("open Tuesday", "share Tuesday", "sent Tuesday"));
    EXPECT_TRUE(host.isShowing("Sent to the family"));
    expectScreenshot(host, "4-sent.png");

    ASSERT_TRUE(host.goBack());
    EXPECT_TRUE(host.isShowing("Monday"));
    EXPECT_FALSE(host.isShowing("Sent to the family"));
    expectScreenshot(host, "5-back.png");
}

TEST(SampleAppHeadless, CancellingTheAlertSendsNothingAndTheLifeCycleReachesTheApp) {
    cw::HeadlessHost host;
    auto app = std::make_shared<SampleAppDelegate>();
    host.launch(app);
    EXPECT_EQ(UIApplication::shared().applicationState(), UIApplicationState::active);
    ASSERT_TRUE(host.tapText("Monday"));
    ASSERT_THAT(app->events, ElementsAre("open Monday"));
    ASSERT_TRUE(host.tapIdentifier("shareButton"));
    ASSERT_TRUE(host.pickAlertAction("Cancel"));
    EXPECT_THAT(app->events, Not(Contains("sent Monday")));
    EXPECT_TRUE(host.isShowing("Notes for Monday"));
    EXPECT_FALSE(host.pickAlertAction("Send")) << "no alert is shown any more";

    int backgrounds = 0;
    auto token =
        NotificationCenter::defaultCenter().addObserver(UIApplicationDidEnterBackgroundNotification, nullptr,
                                                        nullptr, [&](const Notification&) { ++backgrounds; });
    host.enterBackground();
    EXPECT_EQ(UIApplication::shared().applicationState(), UIApplicationState::background);
    host.enterForeground();
    EXPECT_EQ(UIApplication::shared().applicationState(), UIApplicationState::active);
    EXPECT_EQ(backgrounds, 1);
    NotificationCenter::defaultCenter().removeObserver(token);
}

TEST(SampleAppHeadless, ScrollingMovesTheListAndTapsMissNothingHidden) {
    cw::HeadlessHost host({375, 180});
    auto app = std::make_shared<SampleAppDelegate>();
    host.launch(app);
    EXPECT_TRUE(host.isShowing("Monday"));
    EXPECT_FALSE(host.isShowing("Thursday")) << "below the short screen";
    EXPECT_FALSE(host.tapText("Thursday"));
    ASSERT_TRUE(host.scroll(host.findByText("Monday"), {0, -150}));
    EXPECT_TRUE(host.isShowing("Thursday"));
    EXPECT_TRUE(host.tapText("Thursday"));
    EXPECT_THAT(app->events, ElementsAre("open Thursday"));
}

namespace {

class FormController : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        field = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        field->setPlaceholder("Your name");
        view()->addSubview(field);
    }
    std::shared_ptr<UITextField> field;
};

class FormApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window = std::make_shared<UIWindow>();
        form = std::make_shared<FormController>();
        window->setRootViewController(form);
        window->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<FormController> form;
};

} // namespace

TEST(HeadlessDriver, TypesIntoTheFieldThatWasTapped) {
    cw::HeadlessHost host;
    auto app = std::make_shared<FormApp>();
    host.launch(app);
    EXPECT_FALSE(host.type("nobody listens")) << "no field has the keyboard yet";
    ASSERT_TRUE(host.tapText("Your name"));
    EXPECT_TRUE(app->form->field->isFirstResponder());
    EXPECT_TRUE(host.type("Ada"));
    EXPECT_TRUE(host.deleteBackward());
    EXPECT_TRUE(host.type("a\n"));
    EXPECT_EQ(app->form->field->text().value_or(""), "Ada");
    EXPECT_TRUE(host.isShowing("Ada"));
}

namespace {

// A pad that writes down what happens while a finger is on it: when it went down and came up on
// the application's clock, and whether the display drew it in between.
class PressPad : public UIView {
public:
    void touchesBegan(const TouchSet&, const UIEvent*) override {
        down = Clock::uptime();
        drawsWhileDown = 0;
        pressed = true;
        setNeedsDisplay(); // drawn highlighted
    }
    void touchesEnded(const TouchSet&, const UIEvent*) override {
        up = Clock::uptime();
        pressed = false;
    }
    void draw(const CGRect&) override {
        if (pressed) ++drawsWhileDown;
    }
    double down = -1, up = -1;
    int drawsWhileDown = 0;
    bool pressed = false;
};

} // namespace

TEST(HeadlessDriver, ATapHoldsTheFingerDownAcrossADrawnFrameAsAClickDoes) {
    cw::HeadlessHost host;
    auto app = std::make_shared<cw::WhiteScreenApplication>();
    host.launch(app);
    auto pad = std::make_shared<PressPad>();
    pad->setFrame({40, 200, 120, 60});
    app->root->view()->addSubview(pad);
    host.settle();
    ASSERT_TRUE(host.tap(pad));
    EXPECT_NEAR(pad->up - pad->down, 0.09, 1e-6) << "about as long as a click holds the button";
    EXPECT_EQ(pad->drawsWhileDown, 1) << "a frame drawn while the finger is down";
    ASSERT_TRUE(host.tapPoint(host.tapPointOf(*pad)));
    EXPECT_EQ(pad->drawsWhileDown, 1);
}

#include "host/UIApplicationMain.h"

TEST(ApplicationMain, HeadlessRunWritesTheScreenshotAndRefusesBadOptions) {
    const auto path = artefact("main-headless.png");
    std::filesystem::remove(path);
    std::string arg0 = "sample", headless = "--headless", shot = "--screenshot", file = path.string(),
                size = "--size", wh = "320x568";
    char* argv[] = {arg0.data(), headless.data(), shot.data(), file.data(), size.data(), wh.data()};
    EXPECT_EQ(UIApplicationMain(6, argv, [] { return std::make_shared<SampleAppDelegate>(); }), 0);
    auto image = UIImage::fromFile(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 640);
    EXPECT_EQ(image->pixelHeight(), 1136);

    std::string bad = "10x";
    char* badSize[] = {arg0.data(), headless.data(), size.data(), bad.data()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(UIApplicationMain(4, badSize, [] { return std::make_shared<SampleAppDelegate>(); }), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--size wants WIDTHxHEIGHT"), std::string::npos);
}

namespace {

// Reads the application's clock as it launches.
class DateReadingApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        launchedAt = Date::now().timeIntervalSince1970();
        window = std::make_shared<UIWindow>();
        window->setRootViewController(std::make_shared<UIViewController>());
        window->makeKeyAndVisible();
        return true;
    }
    static inline double launchedAt = 0;
    std::shared_ptr<UIWindow> window;
};

} // namespace

TEST(ApplicationMain, AHeadlessRunLivesInTodaysTimeAsItsServerDoes) {
    // Its dates (a milestone's "today", a date picker's latest day) must agree with a server that
    // dates everything from the real today.
    std::string arg0 = "sample", headless = "--headless";
    char* argv[] = {arg0.data(), headless.data()};
    const double before = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_EQ(UIApplicationMain(2, argv, [] { return std::make_shared<DateReadingApp>(); }), 0);
    EXPECT_NEAR(DateReadingApp::launchedAt, before, 60);
}

TEST(ApplicationMain, TouchIDIsThereFromTheStartWhenAsked) {
    // A screen that looks for a sensor as it loads, after a relaunch, must find one.
    std::string arg0 = "sample", headless = "--headless", touch = "--touch-id", nomatch = "nomatch", odd = "maybe";
    char* argv[] = {arg0.data(), headless.data(), touch.data(), nomatch.data()};
    cw::setBiometricAnswers({});
    EXPECT_EQ(UIApplicationMain(4, argv, [] { return std::make_shared<DateReadingApp>(); }), 0);
    EXPECT_EQ(cw::biometricAnswers().biometryType, LABiometryType::touchID);
    EXPECT_EQ(cw::biometricAnswers().evaluationError, std::optional(LAError::authenticationFailed));
    char* bad[] = {arg0.data(), headless.data(), touch.data(), odd.data()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(UIApplicationMain(4, bad, [] { return std::make_shared<DateReadingApp>(); }), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--touch-id wants match or nomatch"), std::string::npos);
    cw::setBiometricAnswers({});
}

#include "uikit/controllers/UIPageViewController.h"

namespace {

class PagerApp : public UIApplicationDelegate,
                 public UIPageViewControllerDataSource,
                 public std::enable_shared_from_this<PagerApp> {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        for (const char* text : {"Page one", "Page two"}) {
            auto page = std::make_shared<UIViewController>();
            auto label = std::make_shared<UILabel>(CGRect{20, 200, 300, 40});
            label->setText(std::string(text));
            page->view()->addSubview(label);
            pages.push_back(page);
        }
        pager = std::make_shared<UIPageViewController>();
        pager->setDataSource(shared_from_this());
        pager->setViewControllers({pages[0]}, UIPageViewControllerNavigationDirection::forward, false);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(pager);
        window->makeKeyAndVisible();
        return true;
    }
    UIViewControllerPtr viewControllerBefore(UIPageViewController&, const UIViewControllerPtr& c) override {
        return c == pages[1] ? pages[0] : nullptr;
    }
    UIViewControllerPtr viewControllerAfter(UIPageViewController&, const UIViewControllerPtr& c) override {
        return c == pages[0] ? pages[1] : nullptr;
    }
    std::vector<UIViewControllerPtr> pages;
    std::shared_ptr<UIPageViewController> pager;
    std::shared_ptr<UIWindow> window;
};

} // namespace

TEST(HeadlessDriver, DragsTurnPages) {
    cw::HeadlessHost host;
    auto app = std::make_shared<PagerApp>();
    host.launch(app);
    EXPECT_TRUE(host.isShowing("Page one"));
    EXPECT_FALSE(host.isShowing("Page two"));
    ASSERT_TRUE(host.drag({330, 300}, {30, 300}));
    EXPECT_TRUE(host.isShowing("Page two"));
    EXPECT_FALSE(host.isShowing("Page one"));
    EXPECT_EQ(app->pager->viewControllers().at(0), app->pages[1]);
    std::string error;
    EXPECT_TRUE(host.screenshot(artefact("pager.png"), &error)) << error;
}
