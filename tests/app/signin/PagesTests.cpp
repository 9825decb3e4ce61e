#include "SignInFixture.h"

#include "Controllers/SignIn/BasicHTMLViewController.h"
#include "Controllers/SignIn/LaunchScreenController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Controllers/SignIn/Shared/MRNLookupViewController.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"
#include "Services/AnalyticsService.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/RecordingServer.h"

#include <gmock/gmock.h>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace cw::test {

namespace {

// Where the pictures of the screens the application never opens are written: the directory named
// by CW_SCREENSHOT_DIR (scripts/screenshots gives docs/screens), else the test's own directory.
std::filesystem::path pictureDirectory(const AppEnvironment& environment) {
    if (const char* dir = std::getenv("CW_SCREENSHOT_DIR"); dir && *dir) return dir;
    return environment.directory();
}

std::size_t labelsIn(const UIView& view) {
    std::size_t count = view.className() == "UILabel" ? 1 : 0;
    for (const auto& child : view.subviews())
        count += labelsIn(*child);
    return count;
}

} // namespace

TEST_F(SignInTest, TheWelcomeScreenLeadsToSignInAndRegistrationAfterOneEventEachAndNothingTurns) {
    launch();
    EXPECT_FALSE(flow()->shouldAutorotate());
    EXPECT_FALSE(app->appController()->shouldAutorotate());
    EXPECT_FALSE(std::make_shared<UINavigationController>()->shouldAutorotate()) << "every navigation controller";

    auto welcome = instantiateViewController<LaunchScreenController>(*UIStoryboard::named("SignInSignUp"));
    flow()->pushViewController(welcome, false);
    host->settle();
    EXPECT_TRUE(host->isShowing("Register"));
    ASSERT_TRUE(waitForEvent("LaunchScreen", "Loaded"));

    ASSERT_TRUE(host->tapText("Sign In"));
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(login) << "a sign-in screen of its own";
    EXPECT_NE(login, flow()->viewControllers().front());
    EXPECT_TRUE(login->emailTextField && login->passwordField) << "built complete";
    ASSERT_TRUE(waitForEvent("LaunchScreen", "Tap", "userLogin"));
    // A sign-in screen has no bar to go back with.
    flow()->popViewController(false);
    host->settle();
    ASSERT_EQ(top(), UIViewControllerPtr(welcome));

    ASSERT_TRUE(host->tapText("Register"));
    auto code = topAs<SecurityCodeSignUpViewController>();
    ASSERT_TRUE(code);
    EXPECT_TRUE(code->saveButton);
    ASSERT_TRUE(waitForEvent("LaunchScreen", "Tap", "userRegister"));

    std::vector<nlohmann::json> taps;
    for (const auto& e : eventsOf("LaunchScreen"))
        if (e.action == "Tap") taps.push_back(e.details);
    EXPECT_THAT(taps, ::testing::UnorderedElementsAre(nlohmann::json{{"userLogin", "User trying to login"}},
                                                      nlohmann::json{{"userRegister", "User trying to register"}}));
}

TEST_F(SignInTest, TheBasicPageShowsAServerPageEdgeToEdgeAndAnAddressThatIsNoneLoadsNothing) {
    launch();
    auto page = std::make_shared<BasicHTMLViewController>("tandc", "Terms of Use");
    flow()->pushViewController(page, false);
    host->settle();
    EXPECT_TRUE(host->isShowing("Terms of Use"));
    auto web = page->webView();
    EXPECT_EQ(web->frame(), page->view()->bounds()) << "edge to edge";
    ASSERT_TRUE(waitForText("Questions? Ask at the unit's front desk."));
    EXPECT_EQ(web->frame(), page->view()->bounds());
    EXPECT_EQ(web->request()->url->absoluteString(), demo->baseUrl() + "/m/api/tandc");

    // No usage event of its own: a sentinel sent now arrives after everything the screens sent.
    AnalyticsService().send("Sentinel", ScreenAction::View, {});
    ASSERT_TRUE(waitForEvent("Sentinel", "View"));
    for (const auto& e : events())
        EXPECT_THAT(e.screen, ::testing::AnyOf("LoginScreen", "Sentinel"));

    auto blank = std::make_shared<BasicHTMLViewController>("terms and conditions", "Terms of Use");
    flow()->pushViewController(blank, false);
    host->settle();
    EXPECT_FALSE(blank->webView()->isLoading());
    EXPECT_FALSE(blank->webView()->request());
    RunLoop::main().runFor(0.1);
    host->settle();
    EXPECT_EQ(labelsIn(*blank->webView()), 0u) << "an empty page";
}

TEST_F(SignInTest, TheTermsOverlayGoesWhenThePageFailsOrItsProcessEndsAndAcceptingNeedsNoPage) {
    RecordingServer server;
    environment->writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
    launch();
    auto open = [&] {
        auto terms = instantiateViewController<TermsAndConditionsController>(*UIStoryboard::named("SignInSignUp"));
        flow()->pushViewController(terms, false);
        return terms;
    };

    // An error page is shown as served; the overlay goes when it has finished.
    server.reply("GET", "/m/api/tandc", Reply{503, "<p>Down for maintenance.</p>", "text/html"});
    auto terms = open();
    EXPECT_TRUE(showsActivityOverlay(terms));
    ASSERT_TRUE(waitForText("Down for maintenance."));
    EXPECT_FALSE(showsActivityOverlay(terms));

    // Accepting before the page is there moves the flow on at once.
    terms = open();
    EXPECT_TRUE(showsActivityOverlay(terms));
    ASSERT_TRUE(host->tapText("I Accept"));
    EXPECT_TRUE(topAs<MRNLookupViewController>());

    // The process showing the page ends while it loads (its reply waits until then).
    {
        struct Held {
            std::mutex mutex;
            std::condition_variable released;
            bool letGo = false;
        };
        auto held = std::make_shared<Held>();
        server.setHandler([held](const auto&, auto&) {
            std::unique_lock lock(held->mutex);
            held->released.wait(lock, [&] { return held->letGo; });
        });
        struct LetGo {
            std::shared_ptr<Held> held;
            ~LetGo() {
                std::lock_guard lock(held->mutex);
                held->letGo = true;
                held->released.notify_all();
            }
        } letGo{held};
        terms = open();
        host->settle();
        ASSERT_TRUE(showsActivityOverlay(terms));
        terms->webView->terminateWebContentProcessForTesting();
        host->settle();
        EXPECT_FALSE(showsActivityOverlay(terms));
    }

    // No reply at all (nothing listens at the address): the page never commits, and the overlay
    // goes all the same.
    environment->writeInfo({{"SERVER_URL", "http://127.0.0.1:1"}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
    terms = open();
    ASSERT_TRUE(waitFor([&] { return !showsActivityOverlay(terms); }));
    EXPECT_EQ(top(), UIViewControllerPtr(terms));
}

// Pictures of the two screens that nothing in the application opens (the others are the tour's).
TEST_F(SignInTest, PicturesOfTheWelcomeScreenAndTheBasicPage) {
    launch();
    const auto dir = pictureDirectory(*environment);
    std::filesystem::create_directories(dir);
    // The welcome screen as the main navigation shows it: without a bar.
    auto welcome = UINavigationController::withRoot(
        instantiateViewController<LaunchScreenController>(*UIStoryboard::named("SignInSignUp")));
    welcome->setNavigationBarHidden(true);
    flow()->present(welcome, false);
    host->settle();
    std::string error;
    ASSERT_TRUE(host->screenshot(dir / "20-welcome.png", &error)) << error;
    welcome->dismiss(false);
    host->settle();

    // The basic page as the settings screen shows it, pushed under a title.
    auto page = std::make_shared<BasicHTMLViewController>("tandc", "Terms of Use");
    flow()->pushViewController(std::make_shared<SecurityCodeSignUpViewController>(), false);
    flow()->pushViewController(page, false);
    ASSERT_TRUE(waitForText("Questions? Ask at the unit's front desk."));
    ASSERT_TRUE(host->screenshot(dir / "21-basic-page.png", &error)) << error;
}

} // namespace cw::test
