#include "ServiceFixture.h"

#include "Services/RetryService.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/session/SessionReset.h"

namespace cw::servicetest {

void ServiceTest::SetUp() {
    environment_ = std::make_unique<cw::test::AppEnvironment>("cw-services");
    server_ = std::make_unique<cw::test::RecordingServer>();
    server_->setHandler([this](const Arrival& arrival, httplib::Response& response) {
        Handler handler;
        {
            std::unique_lock lock(mutex_);
            handler = handler_;
            if (arrival.path == "/m/api/tokens/" && holdRefresh_)
                released_.wait_for(lock, std::chrono::seconds(10), [this] { return refreshReleased_; });
        }
        if (handler) handler(arrival, response);
    });
    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"},
                 {"CFBundleShortVersionString", "2.1"},
                 {"CFBundleVersion", "14"}});
    cw::test::forgetSession();
}

void ServiceTest::TearDown() {
    // Nothing of this test may still be waiting for the server.
    releaseRefresh();
    runUntil([] { return !RetryService::shared().isRefreshing(); });
    RunLoop::main().runFor(0.05);
    server_.reset();
    environment_.reset();
}

void ServiceTest::writeBundle(nlohmann::json info) {
    if (!info.contains("SERVER_URL")) info["SERVER_URL"] = base();
    environment_->writeInfo(info);
}

void ServiceTest::setReply(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void ServiceTest::holdRefresh() {
    std::lock_guard lock(mutex_);
    holdRefresh_ = true;
}

void ServiceTest::releaseRefresh() {
    {
        std::lock_guard lock(mutex_);
        refreshReleased_ = true;
    }
    released_.notify_all();
}

void ServiceTest::runUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(RunLoop::main().runUntil(done, 10.0));
}

void ServiceTest::signIn(const std::string& access, const std::string& refresh, std::int64_t userId,
                         std::optional<std::int64_t> code) {
    auto& session = AuthenticationContext::shared();
    session.setOAuthToken(access);
    session.setOAuthRefreshToken(refresh);
    auto user = std::make_shared<UserData>("Ada Mother", FamilyRelationship::Mother, "ada@example.org");
    user->setId(userId);
    user->setCode(code);
    session.setUser(user);
}

} // namespace cw::servicetest
