#include "BabyScreenFixture.h"

#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/SignInService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "server/Database.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/graphics/UIImage.h"

namespace cw::test {

std::unique_ptr<TempDirectory> BabyScreenTest::serverDirectory_;
std::unique_ptr<DemoServer> BabyScreenTest::server_;

namespace {

void resetSession() {
    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
    session.setSelectedBabyId(std::nullopt);
    session.setDelegate({});
}

} // namespace

void BabyScreenTest::SetUpTestSuite() {
    serverDirectory_ = std::make_unique<TempDirectory>("cw-baby-server");
    server_ = std::make_unique<DemoServer>(serverDirectory_->path());
    // The baby pages, not the feed's questions over them.
    server_->answerFeedQuestions();
}

void BabyScreenTest::TearDownTestSuite() {
    server_.reset();
    serverDirectory_.reset();
}

void BabyScreenTest::SetUp() {
    environment = std::make_unique<AppEnvironment>("cw-baby");
    environment->writeInfo({{"SERVER_URL", server_->baseUrl()},
                            {"CFBundleIdentifier", "org.cradleway.baby-tests"},
                            {"CFBundleShortVersionString", "1.4"},
                            {"CFBundleVersion", "27"}});
    UIImage::setResourceDirectory(generatedResourcesDirectory());
    resetSession();
    GSMessage::clearHistory();
    {
        // Each test reads only its own usage events.
        auto db = server_->server().state().pool->acquire();
        db->exec("DELETE FROM analytics_events");
    }
    host = std::make_unique<cw::HeadlessHost>();
}

void BabyScreenTest::TearDown() {
    // Replies of this test still on their way land before everything goes.
    RunLoop::main().runFor(0.1);
    app.reset();
    host.reset();
    resetSession();
    environment.reset();
    UIAppearance::reset();
}

bool BabyScreenTest::waitFor(const std::function<bool()>& condition, double seconds) {
    const bool met = RunLoop::main().runUntil(condition, seconds);
    host->settle();
    return met;
}

::testing::AssertionResult BabyScreenTest::showsSoon(const std::string& text, double seconds) {
    if (waitFor([&] { return host->isShowing(text); }, seconds)) return ::testing::AssertionSuccess();
    std::string shown;
    for (const auto& t : host->visibleTexts())
        shown += "\"" + t + "\" ";
    return ::testing::AssertionFailure() << "\"" << text << "\" is not on screen; it shows " << shown;
}

void BabyScreenTest::signInAndLaunch(const std::string& email) {
    std::optional<JSON> reply;
    bool failed = false;
    SignInService().signin(
        email, "cradleway-demo", [&](const BaseHTTPService::Task&, const std::optional<JSON>& object) { reply = object; },
        [&](const BaseHTTPService::Task&, const NSError&) { failed = true; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return reply || failed; }, 10)) << "no sign-in reply";
    ASSERT_TRUE(reply) << "the sign-in failed";
    AuthenticationContext::shared().login(reply);
    ASSERT_TRUE(AuthenticationContext::shared().user());
    app = std::make_shared<AppDelegate>();
    host->launch(app);
}

void BabyScreenTest::launchWithoutBabies() {
    signInAndLaunch();
    // The member's babies as another device might have left them: none.
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
}

std::vector<StoredEvent> BabyScreenTest::storedEvents(const std::string& screen, std::size_t count) {
    std::vector<StoredEvent> events;
    auto read = [&] {
        events.clear();
        auto db = server_->server().state().pool->acquire();
        auto st = db->prepare("SELECT screen_name, screen_action, event_details FROM analytics_events "
                              "WHERE screen_name = ? ORDER BY id");
        st.with(screen);
        while (st.step())
            events.push_back({st.text(0), st.text(1), nlohmann::json::parse(st.text(2), nullptr, false)});
        return events.size() >= count;
    };
    waitFor(read, 10);
    return events;
}

DailyUpdateResponse BabyScreenTest::serverDailyUpdates(std::int64_t babyId) {
    std::optional<DailyUpdateResponse> response;
    bool failed = false;
    BabyService().fetchDailyUpdate(
        babyId, [&](const JSON& object) { response = DailyUpdateResponse(object); },
        [&](const RequestError&) { failed = true; });
    RunLoop::main().runUntil([&] { return response || failed; }, 10);
    return response.value_or(DailyUpdateResponse());
}

std::vector<std::shared_ptr<BabyData>> BabyScreenTest::babies() const {
    return AuthenticationContext::shared().babies();
}

} // namespace cw::test
