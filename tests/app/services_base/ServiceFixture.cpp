#include "ServiceFixture.h"

#include "Services/RetryService.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"

#include <fstream>

namespace cw::servicetest {

void ServiceTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cw-services-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    directory = pattern;
    cw::setDataDirectory(directory / "data");
    UserDefaults::resetStandard();

    auto handle = [this](const httplib::Request& request, httplib::Response& response) {
        Arrival arrival{request.method, request.path, request.headers, request.body, {}};
        for (const auto& [name, part] : request.files)
            arrival.partNames.push_back(name);
        Handler handler;
        {
            std::unique_lock lock(mutex_);
            arrivals_.push_back(arrival);
            handler = handler_;
            if (request.path == "/m/api/tokens/" && holdRefresh_)
                released_.wait_for(lock, std::chrono::seconds(10), [this] { return refreshReleased_; });
        }
        response.set_content("{}", "application/json");
        if (handler) handler(arrival, response);
    };
    server_.Get(".*", handle);
    server_.Post(".*", handle);
    server_.set_keep_alive_max_count(1); // closes each connection after its reply, so stop() does not wait
    port = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"},
                 {"CFBundleShortVersionString", "2.1"},
                 {"CFBundleVersion", "14"}});

    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
    session.setSelectedBabyId(std::nullopt);
    session.setDelegate({});
}

void ServiceTest::TearDown() {
    // Nothing of this test may still be waiting for the server.
    releaseRefresh();
    runUntil([] { return !RetryService::shared().isRefreshing(); });
    RunLoop::main().runFor(0.05);
    server_.stop();
    thread_.join();
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
    std::filesystem::remove_all(directory);
}

void ServiceTest::writeBundle(nlohmann::json info) {
    if (!info.contains("SERVER_URL")) info["SERVER_URL"] = base();
    std::filesystem::create_directories(directory / "bundle");
    std::ofstream(directory / "bundle" / "Info.json") << info.dump();
    Bundle::setMainBundleDirectory(directory / "bundle");
}

void ServiceTest::setReply(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<Arrival> ServiceTest::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

std::vector<Arrival> ServiceTest::arrivalsAt(const std::string& path) const {
    std::vector<Arrival> found;
    for (auto& arrival : arrivals())
        if (arrival.path == path) found.push_back(arrival);
    return found;
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
