#include "AccountFixture.h"

#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "server/Server.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/graphics/UIImage.h"

#include <iostream>

namespace cw::test {

void AccountTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    environment = std::make_unique<AppEnvironment>("cw-account");
    auto options = DemoServer::quietOptions();
    options.accessLog = true;
    serverConsole_.attach(options);
    demo = std::make_unique<DemoServer>(environment->directory() / "server", options);
    // The feed's own questions would come up over these screens.
    demo->answerFeedQuestions();
    prepareBundle(*environment, demo->baseUrl(), "org.cradleway.account-tests");
    forgetSession();
    GSMessage::clearHistory();
    MFMailComposeViewController::setCanSendMail(true);
    host = std::make_unique<cw::HeadlessHost>();
}

void AccountTest::TearDown() {
    // Nothing of this test may still be on its way to the server.
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    forgetSession();
    demo.reset();
    environment.reset();
    UIAppearance::reset();
    std::cout.rdbuf(savedCout_);
}

void AccountTest::signIn(const std::string& email, const std::string& password) {
    signInBeforeLaunch(email, password);
}

void AccountTest::signUpAlone(const std::string& email, const std::string& relationship) {
    std::optional<JSON> reply;
    bool failed = false;
    BaseHTTPService("signup").post(
        "",
        JSON(nlohmann::json{{"full_name", "Alex Rowe"},
                            {"email", email},
                            {"relationship", relationship},
                            {"password", "lonely-pass-1"},
                            {"babies", nlohmann::json::array()}}),
        [&](const BaseHTTPService::Task&, const std::optional<JSON>& r) { reply = r ? r : JSON(); },
        [&](const BaseHTTPService::Task&, const NSError&) { failed = true; });
    ASSERT_TRUE(waitUntil([&] { return reply || failed; })) << "the sign-up got no answer";
    ASSERT_FALSE(failed) << email << " could not sign up";
    AuthenticationContext::shared().login(reply);
    ASSERT_TRUE(AuthenticationContext::shared().user());
}

void AccountTest::launch() {
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    ASSERT_TRUE(waitForText("Home")) << "the main interface did not come";
    // The main interface stores the server's notification settings when they come: a screen that
    // changes them must not be overtaken by that reply.
    ASSERT_TRUE(waitUntil([] { return UserDefaults::standard().persistentDomain().contains("postNotifications"); }))
        << "the server's notification settings did not come";
}

void AccountTest::launchAsMother() {
    signIn("demo@cradleway.test");
    launch();
}

void AccountTest::openFromMenu(const std::string& row) {
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton")) << screenTexts();
    ASSERT_TRUE(host->tapText(row)) << screenTexts();
}

bool AccountTest::waitUntil(const std::function<bool()>& done, double seconds) {
    return waitSettling(*host, done, seconds);
}

bool AccountTest::waitForText(const std::string& text, double seconds) {
    return waitUntil([&] { return host->isShowing(text); }, seconds);
}

UIViewControllerPtr AccountTest::topScreen() const {
    auto top = host->topViewController();
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(top)) return navigation->topViewController();
    return top;
}

bool AccountTest::showsOverlay(UIViewController& controller) {
    return showsActivityOverlay(controller.shared_from_this());
}

std::string AccountTest::screenTexts() const {
    std::string all = "the screen shows:";
    for (const auto& t : host->visibleTexts()) all += " [" + t + "]";
    return all;
}

std::vector<StoredEvent> AccountTest::storedEvents() const {
    return cw::test::storedEvents(*demo);
}

std::vector<StoredEvent> AccountTest::storedEvents(const std::string& screen) const {
    return cw::test::storedEvents(*demo, screen);
}

std::vector<nlohmann::json> AccountTest::eventsOf(const std::string& screen) const {
    std::vector<nlohmann::json> events;
    for (const auto& e : storedEvents(screen)) events.push_back(event(e.action, e.details));
    return events;
}

bool AccountTest::waitForEvents(const std::string& screen, std::size_t count) {
    return waitUntil([&] { return storedEvents(screen).size() >= count; });
}

std::size_t AccountTest::requestsAnswered(const std::string& method, const std::string& path) const {
    return serverConsole_.requestsAnswered(method + " /m/api/" + path);
}

std::vector<std::optional<std::string>> AccountTest::queryColumn(const std::string& sql) const {
    std::vector<std::optional<std::string>> rows;
    auto lease = demo->server().state().pool->acquire();
    auto st = lease->prepare(sql);
    while (st.step()) rows.push_back(st.optionalText(0));
    return rows;
}

std::optional<std::string> AccountTest::queryOne(const std::string& sql) const {
    auto rows = queryColumn(sql);
    return rows.empty() ? std::nullopt : rows.front();
}

} // namespace cw::test
