#include "ServiceTestSupport.h"

#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "tests/support/session/SessionReset.h"

namespace cw::servicetest {

void ServiceTest::SetUp() {
    environment.writeInfo({{"SERVER_URL", server.base()},
                           {"CFBundleIdentifier", "test.services.content"},
                           {"CFBundleShortVersionString", "1.0"},
                           {"CFBundleVersion", "1"}});
}
void ServiceTest::TearDown() {
    RunLoop::main().runUntilIdle();
    cw::test::forgetSession();
}

std::shared_ptr<UserData> ServiceTest::signIn(std::int64_t id, std::optional<std::int64_t> code) {
    auto user = std::make_shared<UserData>("Ada Member", FamilyRelationship::Mother, "ada@example.com");
    user->setId(id);
    user->setCode(code);
    auto& session = AuthenticationContext::shared();
    session.setUser(user);
    session.setOAuthToken("access-1");
    session.setOAuthRefreshToken("refresh-1");
    return user;
}

std::vector<Arrival> ServiceTest::waitForArrivals(std::size_t count) {
    EXPECT_TRUE(server.waitForRequests(count))
        << "only " << server.requestCount() << " of " << count << " requests arrived";
    return server.requests();
}

std::vector<Arrival> ServiceTest::arrivalsBeforeMarker() {
    bool answered = false;
    BaseHTTPService marker("marker");
    marker.post(
        "", JSON(), [&](const auto&, const auto&) { answered = true; },
        [&](const auto&, const auto&) { answered = true; });
    EXPECT_TRUE(runUntil([&] { return answered; }));
    RunLoop::main().runUntilIdle();
    std::vector<Arrival> before;
    for (auto& arrival : server.requests())
        if (arrival.path != "/m/api/marker/") before.push_back(std::move(arrival));
    server.clearRequests();
    return before;
}

} // namespace cw::servicetest
