#include "AccountsFixture.h"

#include "Services/AuthenticationContext.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"

#include <cairo.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace cw::accountstest {

std::string Arrival::header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string("<none>") : it->second;
}

nlohmann::json Arrival::json() const {
    return nlohmann::json::parse(body, nullptr, false);
}

std::vector<std::string> Arrival::fields(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& part : parts)
        if (part.name == name && part.fileName.empty()) values.push_back(part.content);
    return values;
}

std::vector<Part> Arrival::files() const {
    std::vector<Part> found;
    for (const auto& part : parts)
        if (!part.fileName.empty()) found.push_back(part);
    return found;
}

ObjectSuccess Outcome::success() {
    return [this](const JSON& object) {
        ++calls;
        reply = object;
    };
}

RequestFailure Outcome::failure() {
    return [this](const RequestError& requestError) {
        ++calls;
        error = requestError;
    };
}

BaseHTTPService::Success Outcome::taskSuccess() {
    return [this](const BaseHTTPService::Task&, const std::optional<JSON>& object) {
        ++calls;
        reply = object;
    };
}

BaseHTTPService::Failure Outcome::taskFailure() {
    return [this](const BaseHTTPService::Task&, const NSError& failed) {
        ++calls;
        errorObject = failed;
        error = RequestError::fromErrorObject(failed);
    };
}

void AccountServiceTest::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "cw-accounts-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    directory = pattern;
    cw::setDataDirectory(directory / "data");
    UserDefaults::resetStandard();

    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        Arrival arrival{req.method, req.path, req.params, req.headers, req.body, {}};
        for (const auto& [name, file] : req.files)
            arrival.parts.push_back({file.name, file.filename, file.content_type, file.content});
        Reply reply;
        {
            std::lock_guard lock(mutex_);
            arrivals_.push_back(std::move(arrival));
            auto found = replies_.find(req.path);
            if (found != replies_.end()) reply = found->second;
        }
        res.status = reply.status;
        if (!reply.body.empty()) res.set_content(reply.body, reply.contentType.c_str());
    };
    // One request per connection, so that stopping the server never waits for an idle keep-alive.
    server_.set_keep_alive_max_count(1);
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::yield();

    setServerURL(base());
    signOut();
}

void AccountServiceTest::TearDown() {
    RunLoop::main().runUntilIdle();
    server_.stop();
    if (thread_.joinable()) thread_.join();
    signOut();
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

void AccountServiceTest::setServerURL(const std::string& url) {
    fs::create_directories(directory / "bundle");
    nlohmann::json info = {{"CFBundleIdentifier", "org.cradleway.accounts-tests"},
                           {"CFBundleShortVersionString", "1.4"},
                           {"CFBundleVersion", "7"},
                           {"SERVER_URL", url}};
    std::ofstream(directory / "bundle" / "Info.json") << info.dump();
    Bundle::setMainBundleDirectory(directory / "bundle");
}

void AccountServiceTest::setReply(const std::string& path, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_[path] = std::move(reply);
}

std::vector<Arrival> AccountServiceTest::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

Arrival AccountServiceTest::onlyArrival() const {
    auto all = arrivals();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? Arrival{} : all.front();
}

void AccountServiceTest::runUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(RunLoop::main().runUntil(done, 10.0)) << "timed out";
}

void AccountServiceTest::expectNothingElseSent() {
    const std::size_t before = arrivals().size();
    Outcome sentinel;
    BaseHTTPService("sentinel").post("", JSON(), sentinel.taskSuccess(), sentinel.taskFailure());
    wait(sentinel);
    // Replies of requests answered just before the sentinel's are delivered by now.
    RunLoop::main().runFor(0.05);
    auto all = arrivals();
    ASSERT_EQ(all.size(), before + 1);
    EXPECT_EQ(all.back().path, "/m/api/sentinel/");
}

std::shared_ptr<UserData> AccountServiceTest::signIn(std::int64_t id, std::optional<std::int64_t> code,
                                                     const std::string& email) {
    auto user = std::make_shared<UserData>("Maya Lind", FamilyRelationship::Mother, email);
    user->setId(id);
    user->setCode(code);
    auto& session = AuthenticationContext::shared();
    session.setUser(user);
    session.setOAuthToken("access");
    session.setOAuthRefreshToken("refresh");
    return user;
}

void AccountServiceTest::signOut() {
    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
}

std::shared_ptr<UIImage> AccountServiceTest::picture() {
    std::vector<std::uint32_t> pixels(16, 0xFF3366CCu);
    return UIImage::fromPixels(4, 4, 1, pixels.data());
}

std::shared_ptr<UIImage> AccountServiceTest::unencodablePicture() {
    return UIImage::fromSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0), 1);
}

} // namespace cw::accountstest
