#include "DemoServerSuite.h"
#include "tests/support/session/SessionReset.h"

#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "Services/SignInService.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "uikit/graphics/UIImage.h"

#include <algorithm>
#include <fstream>
#include <httplib.h>
#include <stdlib.h>

namespace cw::e2e {

std::filesystem::path DemoServerSuite::directory_;
std::unique_ptr<server::CradlewayServer> DemoServerSuite::server_;
std::mutex DemoServerSuite::consoleMutex_;
std::vector<std::string> DemoServerSuite::console_;

namespace {

std::string describe(const RequestError& error) {
    std::string text = error.what();
    if (!error.object().empty()) text += " " + JSON(error.object()).serialize();
    return text;
}

std::string trimmedPath(const std::string& path) {
    std::string result = path;
    while (!result.empty() && result.back() == '/')
        result.pop_back();
    return result;
}

// "POST /m/api/baby/weight/ 200 3ms" is a line of `method` `path` `status`; the trailing slash of
// the request path does not count.
bool isLogLine(const std::string& line, const std::string& method, const std::string& path, int status) {
    const auto first = line.find(' ');
    if (first == std::string::npos || line.substr(0, first) != method) return false;
    const auto second = line.find(' ', first + 1);
    if (second == std::string::npos) return false;
    const auto third = line.find(' ', second + 1);
    const std::string logged = trimmedPath(line.substr(first + 1, second - first - 1));
    return logged == "/m/api/" + path &&
           line.substr(second + 1, third - second - 1) == std::to_string(status);
}

} // namespace

ObjectSuccess Outcome::success() {
    return [this](const JSON& object) {
        reply = object;
        ++calls;
    };
}

RequestFailure Outcome::failure() {
    return [this](const RequestError& failure) {
        error = describe(failure);
        ++calls;
    };
}

BaseHTTPService::Success Outcome::taskSuccess() {
    return [this](const BaseHTTPService::Task&, const std::optional<JSON>& object) {
        reply = object.value_or(JSON::missing());
        ++calls;
    };
}

BaseHTTPService::Failure Outcome::taskFailure() {
    return [this](const BaseHTTPService::Task&, const NSError& failure) {
        std::string text = failure.localizedDescription();
        if (auto carried = RequestError::fromErrorObject(failure)) text += " " + describe(*carried);
        error = text;
        ++calls;
    };
}

void DemoServerSuite::SetUpTestSuite() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cw-services-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    {
        std::lock_guard lock(consoleMutex_);
        console_.clear();
    }
    server::ServerOptions options;
    options.threads = 4;
    options.keepAliveSeconds = 1;
    options.cheapPasswordHashing = true;
    options.console = [](const std::string& line) {
        std::lock_guard lock(consoleMutex_);
        console_.push_back(line);
    };
    server_ = server::startDemoServer(directory_ / "server", options);
    std::filesystem::create_directories(directory_ / "bundle");
    std::ofstream(directory_ / "bundle" / "Info.json") << nlohmann::json{
        {"CFBundleIdentifier", "org.cradleway.e2e"},
        {"CFBundleShortVersionString", "1.0"},
        {"CFBundleVersion", "7"},
        {"SERVER_URL", server_->baseUrl()}}.dump();
    Bundle::setMainBundleDirectory(directory_ / "bundle");
    cw::setDataDirectory(directory_ / "data");
    UserDefaults::resetStandard();
    auto& session = AuthenticationContext::shared();
    session.logout();
    session.setUser(nullptr);
    session.setSelectedBabyId(std::nullopt);
}

void DemoServerSuite::TearDownTestSuite() {
    // Replies still on their way are delivered before the server and the directories go.
    RunLoop::main().runUntilIdle();
    auto& session = AuthenticationContext::shared();
    session.logout();
    session.setUser(nullptr);
    if (server_) server_->stop();
    server_.reset();
    cw::setDataDirectory(std::nullopt);
    UserDefaults::resetStandard();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

void DemoServerSuite::TearDown() {
    RunLoop::main().runUntilIdle();
}

bool DemoServerSuite::runUntil(const std::function<bool()>& done, double seconds) {
    return RunLoop::main().runUntil(done, seconds);
}

::testing::AssertionResult DemoServerSuite::accepted(Outcome& outcome) {
    if (!runUntil([&] { return outcome.done(); })) return ::testing::AssertionFailure() << "no callback ran";
    if (outcome.error) return ::testing::AssertionFailure() << "failure callback: " << *outcome.error;
    if (outcome.calls != 1) return ::testing::AssertionFailure() << outcome.calls << " callbacks ran";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DemoServerSuite::signIn(const server::DemoAccount& account) {
    Outcome outcome;
    SignInService().signin(account.email, account.password, cw::test::screenThatStays(), outcome.taskSuccess(), outcome.taskFailure());
    if (auto result = accepted(outcome); !result) return result;
    auto& session = AuthenticationContext::shared();
    session.login(outcome.reply);
    if (!session.user() || session.user()->email() != account.email || !session.oAuthToken())
        return ::testing::AssertionFailure()
               << "the reply started no session: " << outcome.object().serialize();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DemoServerSuite::signInDemoMember() {
    const auto account = server::demoAccounts().at(0);
    const auto user = AuthenticationContext::shared().user();
    if (user && user->email() == account.email && AuthenticationContext::shared().oAuthToken())
        return ::testing::AssertionSuccess();
    return signIn(account);
}

std::vector<std::int64_t> DemoServerSuite::babyIds() {
    std::vector<std::int64_t> ids;
    for (const auto& baby : AuthenticationContext::shared().babies())
        if (baby->babyId()) ids.push_back(*baby->babyId());
    return ids;
}

std::int64_t DemoServerSuite::userId() {
    const auto user = AuthenticationContext::shared().user();
    return user ? user->id() : -1;
}

JSON DemoServerSuite::feedData() {
    Outcome outcome;
    ContentService().fetchFeed(babyIds(), userId(), outcome.taskSuccess(), outcome.taskFailure());
    EXPECT_TRUE(accepted(outcome));
    return outcome.object()["data"];
}

std::vector<std::string> DemoServerSuite::consoleLines() {
    std::lock_guard lock(consoleMutex_);
    return console_;
}

std::size_t DemoServerSuite::loggedCount(const std::string& method, const std::string& path, int status) {
    std::lock_guard lock(consoleMutex_);
    return std::count_if(console_.begin(), console_.end(),
                         [&](const std::string& line) { return isLogLine(line, method, path, status); });
}

bool DemoServerSuite::awaitLogged(const std::string& method, const std::string& path, int status) {
    return runUntil([&] { return loggedCount(method, path, status) > 0; });
}

std::shared_ptr<UIImage> DemoServerSuite::solidImage(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(16 * 12, argb);
    return UIImage::fromPixels(16, 12, 1, pixels.data());
}

DemoServerSuite::Download DemoServerSuite::download(const std::string& reference) {
    const auto url = BaseHTTPService::imageURL(reference);
    if (!url || !url->host()) return {};
    std::string target = url->percentEncodedPath();
    if (auto query = url->query()) target += "?" + *query;
    httplib::Client client(*url->host(), server_->port());
    const auto reply = client.Get(target);
    if (!reply) return {};
    return {reply->status, reply->get_header_value("Content-Type"), reply->body};
}

::testing::AssertionResult DemoServerSuite::servedPicture(const std::string& reference) {
    const auto reply = download(reference);
    if (reply.status != 200) return ::testing::AssertionFailure() << reference << ": status " << reply.status;
    if (!UIImage::fromData(Data(reply.body.begin(), reply.body.end())))
        return ::testing::AssertionFailure() << reference << ": no picture (" << reply.contentType << ")";
    return ::testing::AssertionSuccess();
}

} // namespace cw::e2e
