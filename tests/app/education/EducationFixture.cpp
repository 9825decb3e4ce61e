#include "EducationFixture.h"

#include "App/TabBarController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/audio/AVAudioSession.h"
#include "kits/banners/GSMessage.h"
#include "server/Database.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/graphics/UIImage.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace cw::test {

void EducationTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    environment = std::make_unique<AppEnvironment>("cw-education");
    auto options = DemoServer::quietOptions();
    options.accessLog = true;
    log_.attach(options);
    server = std::make_unique<DemoServer>(environment->directory() / "server", options);
    // The feed's own questions would come up over these screens.
    server->answerFeedQuestions();
    prepareBundle(*environment, server->baseUrl(), "org.cradleway.education-tests");
    forgetSession();
    AVAudioSession::sharedInstance().reset();
    GSMessage::clearHistory();
    host = std::make_unique<cw::HeadlessHost>();
    signInBeforeLaunch("demo@cradleway.test", "cradleway-demo");
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    ASSERT_TRUE(mainNavigation()) << "the main interface did not open";
    host->settle();
    // The feed behind the drawer loads on its own; the library's tests start once it has, so that
    // what they see of the network indicator is their screens' doing.
    ASSERT_TRUE(settleUntil([] { return !UIApplication::shared().isNetworkActivityIndicatorVisible(); }))
        << "the feed's first requests did not end";
}

void EducationTest::TearDown() {
    // Nothing of this test may still be on its way.
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    forgetSession();
    server.reset();
    environment.reset();
    UIAppearance::reset();
    UITabBarItem::appearance().setTitleTextAttributes({}, UIBarItemState::normal);
    UITabBarItem::appearance().setTitleTextAttributes({}, UIBarItemState::selected);
    AVAudioSession::sharedInstance().reset();
    GSMessage::clearHistory();
    std::cout.rdbuf(savedCout_);
}

bool EducationTest::waitFor(const std::function<bool()>& done, double seconds) {
    return RunLoop::main().runUntil(done, seconds);
}

bool EducationTest::settleUntil(const std::function<bool()>& done, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        if (RunLoop::main().runUntil(done, 0.05)) return true;
        host->settle();
    }
    return done();
}

std::shared_ptr<MainNavigationController> EducationTest::mainNavigation() const {
    auto window = host ? host->window() : nullptr;
    return window ? std::dynamic_pointer_cast<MainNavigationController>(window->rootViewController()) : nullptr;
}

std::shared_ptr<UITabBarController> EducationTest::mainTabs() const {
    auto navigation = mainNavigation();
    if (!navigation || navigation->viewControllers().empty()) return nullptr;
    return std::dynamic_pointer_cast<UITabBarController>(navigation->viewControllers().front());
}

UIViewControllerPtr EducationTest::topScreen() const {
    auto navigation = mainNavigation();
    return navigation ? navigation->topViewController() : nullptr;
}

std::int64_t EducationTest::memberId() const {
    auto user = AuthenticationContext::shared().user();
    return user ? user->id() : -1;
}

std::string EducationTest::accessToken() const {
    return AuthenticationContext::shared().oAuthToken().value_or("");
}

std::vector<StoredEvent> EducationTest::events() const {
    return storedEvents(*server);
}

std::vector<StoredEvent> EducationTest::eventsWith(const std::string& screen, const std::string& key) const {
    std::vector<StoredEvent> result;
    for (auto& e : events())
        if (e.screen == screen && (key.empty() ? e.details.empty() || e.details.is_null() : e.details.contains(key)))
            result.push_back(e);
    return result;
}

std::vector<StoredEvent> EducationTest::waitForEvents(const std::string& screen, const std::string& key,
                                                      std::size_t count) {
    std::vector<StoredEvent> found;
    const bool arrived = waitFor([&] {
        found = eventsWith(screen, key);
        return found.size() >= count;
    });
    EXPECT_TRUE(arrived) << "only " << found.size() << " of " << count << " events " << screen << " / " << key;
    return found;
}

std::int64_t EducationTest::count(const std::string& sql, std::int64_t id) const {
    auto lease = server->server().state().pool->acquire();
    auto st = lease->prepare(sql);
    st.with(memberId(), id);
    return st.step() ? st.integer(0) : -1;
}

bool EducationTest::bookmarked(std::int64_t feedId) const {
    return count("SELECT COUNT(*) FROM bookmarks WHERE member_id = ? AND feed_id = ?", feedId) > 0;
}

std::size_t EducationTest::logged(const std::string& methodAndPath) const {
    return log_.requestsAnswered(methodAndPath);
}

std::shared_ptr<UIView> EducationTest::find(const std::string& text) const {
    return host->findByText(text);
}

void EducationTest::waitForText(const std::string& text, double seconds) {
    const bool shown = waitFor([&] { return host->isShowing(text); }, seconds);
    if (!shown) {
        std::string all;
        for (const auto& t : host->visibleTexts()) all += "\"" + t + "\" ";
        FAIL() << "\"" << text << "\" is not shown; the screen shows " << all;
    }
}

void EducationTest::tapWhenShown(const std::string& text, double seconds) {
    waitForText(text, seconds);
    ASSERT_TRUE(host->tapText(text)) << text;
}

void EducationTest::screenshot(const std::string& name) {
    const char* directory = std::getenv("CW_SCREENSHOT_DIR");
    // Into the test's own temporary directory unless a folder is named.
    const std::filesystem::path folder =
        directory && *directory ? std::filesystem::path(directory) : environment->directory() / "screens";
    std::filesystem::create_directories(folder);
    std::string error;
    EXPECT_TRUE(host->screenshot(folder / (name + ".png"), &error)) << error;
}

bool EducationTest::samePicture(const std::shared_ptr<UIImage>& a, const std::shared_ptr<UIImage>& b) {
    if (!a || !b) return a == b;
    return a->pngData() == b->pngData();
}

} // namespace cw::test
