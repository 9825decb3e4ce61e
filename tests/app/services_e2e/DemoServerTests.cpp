#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "server/Server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using Task = BaseHTTPService::Task;

// The request layer against the application's own server: sign in, lose the access token, and the
// next member request refreshes the tokens and succeeds on its replay.
TEST(DemoServerTest, SignInThenAStaleAccessTokenIsRefreshedAndTheRequestReplayed) {
    std::string pattern = (std::filesystem::temp_directory_path() / "cw-services-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path directory = pattern;
    cw::server::ServerOptions options;
    options.threads = 4;
    options.cheapPasswordHashing = true;
    options.accessLog = false;
    auto server = cw::server::startDemoServer(directory / "server", options);
    std::filesystem::create_directories(directory / "bundle");
    std::ofstream(directory / "bundle" / "Info.json") << nlohmann::json{
        {"CFBundleIdentifier", "org.cradleway.e2e"},
        {"SERVER_URL", server->baseUrl()}}.dump();
    Bundle::setMainBundleDirectory(directory / "bundle");
    cw::setDataDirectory(directory / "data");
    UserDefaults::resetStandard();

    auto& session = AuthenticationContext::shared();
    const auto account = cw::server::demoAccounts().at(0);
    bool signedIn = false;
    BaseHTTPService("signin").post(
        "", JSON(nlohmann::json{{"email", account.email}, {"password", account.password}}),
        [&](const Task&, const std::optional<JSON>& reply) { session.login(reply), signedIn = true; },
        [&](const Task&, const NSError& error) {
            ADD_FAILURE() << error.localizedDescription(), signedIn = true;
        });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return signedIn; }, 20));
    ASSERT_TRUE(session.user());
    ASSERT_TRUE(session.oAuthToken());
    EXPECT_EQ(session.user()->email(), account.email);

    session.setOAuthToken("stale");
    std::optional<JSON> family;
    BaseHTTPService service("invite");
    service.get(
        "data", service.userAuthDataJSON(), nullptr,
        [&](const Task&, const std::optional<JSON>& reply) { family = reply.value_or(JSON()); },
        [&](const Task&, const NSError& error) {
            ADD_FAILURE() << error.localizedDescription(), family = JSON();
        });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return family.has_value(); }, 20));
    EXPECT_NE(session.oAuthToken(), "stale");
    EXPECT_TRUE(family->exists());

    bool logged = false;
    AnalyticsService().send(
        "MainScreen", "Loaded", {}, [&](const Task&, const std::optional<JSON>&) { logged = true; },
        [&](const Task&, const NSError& error) {
            ADD_FAILURE() << error.localizedDescription(), logged = true;
        });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return logged; }, 20));

    server->stop();
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
    std::filesystem::remove_all(directory);
}

} // namespace
