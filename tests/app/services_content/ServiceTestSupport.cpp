#include "ServiceTestSupport.h"

#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace cw::servicetest {

TestServer::TestServer() {
    auto answer = [this](const httplib::Request& req, httplib::Response& res, Arrival arrival) {
        arrival.method = req.method;
        arrival.path = req.path;
        auto mark = req.target.find('?');
        if (mark != std::string::npos) arrival.query = req.target.substr(mark + 1);
        for (const auto& [name, value] : req.params)
            arrival.params.emplace(name, value);
        for (const auto& [name, value] : req.headers)
            arrival.headers.emplace(name, value);
        record(std::move(arrival));
        Reply reply = next(req.method, req.path);
        res.status = reply.status;
        if (!reply.body.empty()) res.set_content(reply.body, reply.contentType);
    };
    server_.Get(".*",
                [answer](const httplib::Request& req, httplib::Response& res) { answer(req, res, {}); });
    server_.Post(".*", [answer](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& reader) {
        Arrival arrival;
        if (req.is_multipart_form_data()) {
            reader(
                [&](const httplib::MultipartFormData& part) {
                    arrival.parts.push_back(part);
                    return true;
                },
                [&](const char* data, std::size_t size) {
                    arrival.parts.back().content.append(data, size);
                    return true;
                });
        } else {
            reader([&](const char* data, std::size_t size) {
                arrival.body.append(data, size);
                return true;
            });
        }
        answer(req, res, std::move(arrival));
    });
    server_.new_task_queue = [] { return new httplib::ThreadPool(16); };
    server_.set_keep_alive_timeout(0);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer() {
    server_.stop();
    thread_.join();
}

void TestServer::reply(const std::string& method, const std::string& path, std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    replies_[method + " " + path] = std::deque<Reply>(replies.begin(), replies.end());
}

Reply TestServer::next(const std::string& method, const std::string& path) {
    std::lock_guard lock(mutex_);
    auto found = replies_.find(method + " " + path);
    if (found == replies_.end() || found->second.empty()) return {};
    Reply reply = found->second.front();
    if (found->second.size() > 1) found->second.pop_front();
    return reply;
}

void TestServer::record(Arrival arrival) {
    std::lock_guard lock(mutex_);
    arrivals_.push_back(std::move(arrival));
}

std::vector<Arrival> TestServer::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

std::size_t TestServer::arrivalCount() const {
    std::lock_guard lock(mutex_);
    return arrivals_.size();
}

void TestServer::clearArrivals() {
    std::lock_guard lock(mutex_);
    arrivals_.clear();
}

void TestServer::reset() {
    std::lock_guard lock(mutex_);
    arrivals_.clear();
    replies_.clear();
}

namespace {
std::filesystem::path bundleDirectory;
}

const std::filesystem::path& testBundleDirectory() {
    testServer();
    return bundleDirectory;
}

TestServer& testServer() {
    static TestServer* server = [] {
        auto* made = new TestServer();
        char pattern[] = "/tmp/cw-services-content-XXXXXX";
        std::filesystem::path directory = ::mkdtemp(pattern);
        bundleDirectory = directory;
        std::ofstream(directory / "Info.json") << nlohmann::json{
            {"SERVER_URL", made->base()},
            {"CFBundleIdentifier", "test.services.content"},
            {"CFBundleShortVersionString", "1.0"},
            {"CFBundleVersion", "1"}}.dump();
        Bundle::setMainBundleDirectory(directory);
        cw::setDataDirectory(directory / "data");
        // The server lives until the process ends; its files go with it.
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(bundleDirectory, ignored);
        });
        return made;
    }();
    return *server;
}

void ServiceTest::SetUp() {
    server.reset();
}

void ServiceTest::TearDown() {
    RunLoop::main().runUntilIdle();
    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
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
    EXPECT_TRUE(runUntil([&] { return server.arrivalCount() >= count; }))
        << "only " << server.arrivalCount() << " of " << count << " requests arrived";
    return server.arrivals();
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
    for (auto& arrival : server.arrivals())
        if (arrival.path != "/m/api/marker/") before.push_back(std::move(arrival));
    server.clearArrivals();
    return before;
}

} // namespace cw::servicetest
