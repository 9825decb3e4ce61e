#include "BabyScreenFixture.h"

#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "server/Database.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controls/UIViewAnimation.h"

namespace cw::test {

void BabyScreenTest::SetUp() {
    serverDirectory_ = std::make_unique<TempDirectory>("cw-baby-server");
    server_ = std::make_unique<DemoServer>(serverDirectory_->path());
    // The baby pages, not the feed's questions over them.
    server_->answerFeedQuestions();
    environment = std::make_unique<AppEnvironment>("cw-baby");
    prepareBundle(*environment, server_->baseUrl(), "org.cradleway.baby-tests");
    forgetSession();
    GSMessage::clearHistory();
    host = std::make_unique<cw::HeadlessHost>();
}

void BabyScreenTest::TearDown() {
    // Replies of this test still on their way land before everything goes.
    RunLoop::main().runFor(0.1);
    app.reset();
    host.reset();
    forgetSession();
    environment.reset();
    UIAppearance::reset();
    server_.reset();
    serverDirectory_.reset();
}

bool BabyScreenTest::waitFor(const std::function<bool()>& condition, double seconds) {
    return waitThenSettle(*host, condition, seconds);
}

::testing::AssertionResult BabyScreenTest::showsSoon(const std::string& text, double seconds) {
    return cw::test::showsSoon(*host, text, seconds);
}

void BabyScreenTest::signInAndLaunch(const std::string& email) {
    ASSERT_NO_FATAL_FAILURE(signInBeforeLaunch(email, "cradleway-demo"));
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
    waitFor([&] {
        events = cw::test::storedEvents(*server_, screen);
        return events.size() >= count;
    });
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
