#include "ServiceFixture.h"

#include "Services/BaseHTTPService.h"
#include "Services/RetryService.h"
#include "foundation/device/UIDevice.h"
#include "foundation/dispatch/RunLoop.h"
#include "net/AFURLResponseSerialization.h"
#include "net/HTTPCookieStorage.h"
#include "tests/support/Gate.h"

#include <atomic>
#include <cctype>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cw::servicetest {
namespace {

using Task = BaseHTTPService::Task;
using HTTPClientTest = ServiceTest;

int statusOf(const Task& task) {
    return task && task->response() ? task->response()->statusCode() : 0;
}

// A loopback port on which nothing listens.
int refusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A server on a loopback port that reads each request whole and hangs up without a word, as a ward
// network that drops the connection after the request went out.
class HangingUpServer {
public:
    HangingUpServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        ::listen(listener_, 16);
        thread_ = std::thread([this] { serve(); });
    }
    ~HangingUpServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::size_t connections() const { return connections_.load(); }

private:
    void serve() {
        for (;;) {
            const int connection = ::accept(listener_, nullptr, nullptr);
            if (connection < 0) return;
            readRequest(connection);
            ++connections_;
            ::close(connection);
        }
    }
    // The head, then as many bytes of body as it announces.
    static void readRequest(int connection) {
        std::string read;
        char buffer[4096];
        std::size_t headEnd = std::string::npos;
        std::size_t wanted = 0;
        for (;;) {
            if (headEnd != std::string::npos && read.size() >= headEnd + 4 + wanted) return;
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            read.append(buffer, static_cast<std::size_t>(got));
            if (headEnd == std::string::npos && (headEnd = read.find("\r\n\r\n")) != std::string::npos) {
                std::string head = read.substr(0, headEnd);
                for (char& ch : head) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                if (const auto at = head.find("content-length:"); at != std::string::npos)
                    wanted = std::stoul(head.substr(at + 15));
            }
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<std::size_t> connections_{0};
    std::thread thread_;
};

TEST_F(HTTPClientTest, SendsClientAndTokenHeadersBelowTheServicePath) {
    signIn("access-1", "refresh-1");
    BaseHTTPService service("invite");
    std::optional<JSON> got;
    int replies = 0;
    service.get(
        "check", JSON(nlohmann::json{{"email", "a@b.org"}}), nullptr,
        [&](const Task&, const std::optional<JSON>& reply) { got = reply, ++replies; }, nullptr);
    service.post(
        "", JSON(nlohmann::json{{"n", 1}}), [&](const Task&, const std::optional<JSON>&) { ++replies; },
        nullptr);
    runUntil([&] { return replies == 2; });

    const auto sent = arrivals();
    ASSERT_EQ(sent.size(), 2u);
    const Arrival& get = sent[0].method == "GET" ? sent[0] : sent[1];
    const Arrival& post = sent[0].method == "GET" ? sent[1] : sent[0];
    EXPECT_EQ(get.path, "/m/api/invite/check");
    EXPECT_EQ(post.path, "/m/api/invite/");
    EXPECT_EQ(JSON(post.json())["n"].intValue(), 1);
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->dictionary());
    for (const Arrival& arrival : sent) {
        EXPECT_EQ(arrival.header("Accept"), "application/json");
        EXPECT_EQ(arrival.header("X-Client-OS"), UIDevice::current().systemVersion());
        EXPECT_EQ(arrival.header("X-Client-Model"), UIDevice::current().model());
        EXPECT_EQ(arrival.header("X-Client"), UIDevice::current().systemName());
        EXPECT_EQ(arrival.header("X-App-Version"), "2.1.14");
        EXPECT_EQ(arrival.header("X-Access-Token"), "access-1");
        EXPECT_EQ(arrival.header("X-Refresh-Token"), "refresh-1");
    }
}

TEST_F(HTTPClientTest, NoVersionHeaderWithoutBuildAndNoTokenHeadersWithOneToken) {
    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"}, {"CFBundleShortVersionString", "2.1"}});
    AuthenticationContext::shared().setOAuthToken("only-access");
    BaseHTTPService service("member");
    bool done = false;
    service.get(
        "", JSON(), nullptr, [&](const Task&, const std::optional<JSON>&) { done = true; }, nullptr);
    runUntil([&] { return done; });
    const Arrival sent = arrivals().at(0);
    EXPECT_EQ(sent.header("X-App-Version"), std::nullopt);
    EXPECT_EQ(sent.header("X-Access-Token"), std::nullopt);
    EXPECT_EQ(sent.header("X-Refresh-Token"), std::nullopt);
    EXPECT_EQ(sent.header("X-Client"), UIDevice::current().systemName());
}

TEST_F(HTTPClientTest, ErrorStatusAndThrowingSuccessReachTheFailureCallback) {
    setReply([](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/baby/missing") response.status = 404;
    });
    BaseHTTPService service("baby");
    std::vector<NSError> errors;
    std::vector<Task> tasks;
    auto failure = [&](const Task& task, const NSError& error) {
        tasks.push_back(task), errors.push_back(error);
    };
    service.get("missing", JSON(), nullptr, nullptr, failure);
    service.post(
        "save", JSON(), [](const Task&, const std::optional<JSON>&) { throw RequestError::parseError(); },
        failure);
    runUntil([&] { return errors.size() == 2; });

    const bool notFoundFirst = statusOf(tasks[0]) == 404;
    const NSError& notFound = errors[notFoundFirst ? 0 : 1];
    const NSError& thrown = errors[notFoundFirst ? 1 : 0];
    EXPECT_EQ(statusOf(tasks[notFoundFirst ? 0 : 1]), 404);
    ASSERT_NE(cw::failingResponseData(notFound), nullptr);
    EXPECT_EQ(thrown.domain, "Cradleway.RequestError");
    EXPECT_EQ(thrown.code, 3);
    EXPECT_EQ(RequestError::fromErrorObject(thrown), RequestError::parseError());
    EXPECT_NE(tasks[notFoundFirst ? 1 : 0], nullptr);
    EXPECT_TRUE(arrivalsAt("/m/api/tokens/").empty());
}

TEST_F(HTTPClientTest, AuthDataAndImageAddresses) {
    BaseHTTPService service("member");
    EXPECT_TRUE(service.userAuthData().empty());
    signIn("a", "r", 42);
    EXPECT_EQ(service.userAuthData(), (std::map<std::string, std::string>{{"user_id", "42"}}));
    signIn("a", "r", 42, 9071);
    EXPECT_EQ(service.userAuthData(),
              (std::map<std::string, std::string>{{"user_id", "42"}, {"security_code", "9071"}}));
    EXPECT_EQ(service.userAuthDataJSON()["security_code"].string(), "9071");

    auto image = BaseHTTPService::imageURL("uploads/baby one.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->absoluteString(), base() + "/uploads/baby%20one.png");
    EXPECT_EQ(BaseHTTPService::serverURL(), base() + "/m/api/");

    // A server that lives under a path of its own keeps it for pictures, as for requests; an
    // address of its own stays as it is.
    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"}, {"SERVER_URL", base() + "/nicu"}});
    const std::pair<const char*, std::string> pictures[] = {
        {"images/upload/baby one.png", base() + "/nicu/images/upload/baby%20one.png"},
        {"/static-files/images/article_1.png", base() + "/nicu/static-files/images/article_1.png"},
        {"https://pictures.example.org/a.png", "https://pictures.example.org/a.png"},
    };
    for (const auto& [path, address] : pictures) {
        image = BaseHTTPService::imageURL(path);
        ASSERT_TRUE(image) << path;
        EXPECT_EQ(image->absoluteString(), address);
    }
}

// Replays: three refused requests of each kind share one refresh and are sent again with its tokens.
TEST_F(HTTPClientTest, RefusedRequestsShareOneRefreshAndAreSentAgainWithNewTokens) {
    signIn("old-access", "old-refresh");
    holdRefresh();
    setReply([](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/tokens/")
            response.set_content(R"({"access_token":"new-access","refresh_token":"new-refresh"})",
                                 "application/json");
        else if (arrival.header("X-Access-Token") != "new-access")
            response.status = 401;
    });
    BaseHTTPService service("feed");
    int successes = 0, failures = 0;
    auto success = [&](const Task&, const std::optional<JSON>&) { ++successes; };
    auto failure = [&](const Task&, const NSError&) { ++failures; };
    service.get("a", JSON(), nullptr, success, failure);
    service.post("b", JSON(nlohmann::json{{"n", 2}}), success, failure);
    service.post(
        "c", JSON(),
        [](AFMultipartFormData& form) {
            form.appendPartWithFileData({1, 2, 3}, "image_file", "photo.jpg", "image/jpeg");
        },
        nullptr, success, failure);
    runUntil([] { return RetryService::shared().retryQueue().operationCount() == 3; });
    EXPECT_EQ(successes + failures, 0);
    releaseRefresh();
    runUntil([&] { return successes == 3; });

    EXPECT_EQ(failures, 0);
    const auto refreshes = arrivalsAt("/m/api/tokens/");
    ASSERT_EQ(refreshes.size(), 1u);
    EXPECT_EQ(refreshes[0].method, "POST");
    EXPECT_EQ(refreshes[0].header("X-Access-Token"), "old-access");
    for (const char* path : {"/m/api/feed/a", "/m/api/feed/b", "/m/api/feed/c"}) {
        const auto sent = arrivalsAt(path);
        ASSERT_EQ(sent.size(), 2u) << path;
        EXPECT_EQ(sent[1].header("X-Access-Token"), "new-access");
        EXPECT_EQ(sent[1].header("X-Refresh-Token"), "new-refresh");
    }
    EXPECT_EQ(JSON(arrivalsAt("/m/api/feed/b")[1].json())["n"].intValue(), 2);
    EXPECT_EQ(arrivalsAt("/m/api/feed/c")[1].partNames(), std::vector<std::string>{"image_file"});
    EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "new-access");
}

TEST_F(HTTPClientTest, ReplayRefusedAgainReachesItsCallerAndALaterRefusalRefreshesAgain) {
    signIn("old-access", "old-refresh");
    setReply([](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/tokens/")
            response.set_content(R"({"access_token":"x","refresh_token":"y"})", "application/json");
        else
            response.status = 401;
    });
    BaseHTTPService service("feed");
    std::vector<int> statuses;
    auto failure = [&](const Task& task, const NSError&) { statuses.push_back(statusOf(task)); };
    service.get("a", JSON(), nullptr, nullptr, failure);
    runUntil([&] { return statuses.size() == 1; });
    EXPECT_EQ(statuses[0], 401);
    EXPECT_EQ(arrivalsAt("/m/api/feed/a").size(), 2u);
    EXPECT_EQ(arrivalsAt("/m/api/tokens/").size(), 1u);

    service.get("a", JSON(), nullptr, nullptr, failure);
    runUntil([&] { return statuses.size() == 2; });
    EXPECT_EQ(arrivalsAt("/m/api/tokens/").size(), 2u);
}

// A refused renewal ends the session, and the requests parked behind it end with it: their callers
// belong to the session, so none hears anything, and nothing of the member stays in memory.
TEST_F(HTTPClientTest, ARefreshRefusedByTheServerLogsOutAndItsParkedRequestsEndUnheard) {
    AuthenticationContext::shared().updateTokens(
        JSON::parse(R"({"tokens":{"access_token":"old","refresh_token":"old-r"}})").value());
    signIn("old", "old-r");
    setReply([](const Arrival&, httplib::Response& response) { response.status = 401; });
    BaseHTTPService service("feed");
    int heard = 0;
    service.get(
        "a", JSON(), nullptr, [&](const Task&, const std::optional<JSON>&) { ++heard; },
        [&](const Task&, const NSError&) { ++heard; });
    runUntil([&] { return arrivalsAt("/m/api/tokens/").size() == 1 && !RetryService::shared().isRefreshing(); });
    RunLoop::main().runUntilIdle();

    EXPECT_EQ(heard, 0);
    EXPECT_EQ(arrivalsAt("/m/api/feed/a").size(), 1u);
    auto& session = AuthenticationContext::shared();
    EXPECT_FALSE(session.oAuthToken());
    EXPECT_FALSE(session.oAuthRefreshToken());
    EXPECT_FALSE(session.user());
    AuthenticationContext fresh;
    fresh.loadTokens();
    EXPECT_FALSE(fresh.oAuthToken());
}

// Signed out, a refused request has nothing to renew: its caller hears the 401 at once, and no
// failed renewal logs anybody out (which would take the cookies with what the device proved).
TEST_F(HTTPClientTest, ARequestSentWithoutASessionIsNeverRenewedAndLogsNobodyOut) {
    auto delegate = std::make_shared<RecordingSessionDelegate>();
    AuthenticationContext::shared().setDelegate(delegate);
    HTTPCookieStorage::shared()->setCookiesFromResponse({"cw_client=proof; Path=/m/api; Max-Age=600"},
                                                        base() + "/m/api/invite/check");
    setReply([](const Arrival&, httplib::Response& response) { response.status = 401; });
    std::optional<int> failedWith;
    BaseHTTPService("notification").post("reset", JSON(nlohmann::json{{"user_id", 7}}), nullptr,
                                         [&](const Task& task, const NSError&) { failedWith = statusOf(task); });
    runUntil([&] { return failedWith.has_value(); });
    RunLoop::main().runUntilIdle();

    EXPECT_EQ(*failedWith, 401);
    EXPECT_TRUE(arrivalsAt("/m/api/tokens/").empty());
    EXPECT_EQ(delegate->ended, 0);
    EXPECT_EQ(HTTPCookieStorage::shared()->cookies().size(), 1u);
}

// The server's own failure (5xx) says nothing about the tokens: the request fails and the member
// stays signed in; a refusal (401) logs out, the session's delegate hears of it, and the request
// parked behind the renewal ends with the session.
TEST_F(HTTPClientTest, ARefreshMeetingAServerErrorKeepsTheSessionWhereARefusalEndsIt) {
    for (const int status : {500, 502, 503, 599, 401, 403, 400}) {
        SCOPED_TRACE(status);
        clearArrivals();
        auto delegate = std::make_shared<RecordingSessionDelegate>();
        auto& session = AuthenticationContext::shared();
        session.setDelegate(delegate);
        session.updateTokens(JSON::parse(R"({"tokens":{"access_token":"held","refresh_token":"held-r"}})").value());
        signIn("held", "held-r");
        setReply([status](const Arrival& arrival, httplib::Response& response) {
            response.status = arrival.path == "/m/api/tokens/" ? status : 401;
        });
        BaseHTTPService service("feed");
        std::optional<int> failedWith;
        service.get("a", JSON(), nullptr, nullptr,
                    [&](const Task& task, const NSError&) { failedWith = statusOf(task); });
        runUntil([&] { return arrivalsAt("/m/api/tokens/").size() == 1 && !RetryService::shared().isRefreshing(); });
        RunLoop::main().runUntilIdle();

        const bool kept = status >= 500;
        EXPECT_EQ(failedWith, kept ? std::optional(401) : std::nullopt);
        EXPECT_EQ(session.oAuthToken().has_value(), kept);
        EXPECT_EQ(delegate->ended, kept ? 0 : 1);
        AuthenticationContext stored;
        stored.loadTokens();
        EXPECT_EQ(stored.oAuthRefreshToken().has_value(), kept);
    }
}

TEST_F(HTTPClientTest, OutageParksTheRequestAndKeepsTheSession) {
    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"},
                 {"SERVER_URL", "http://127.0.0.1:" + std::to_string(refusedPort())}});
    signIn("kept", "kept-r");
    BaseHTTPService service("feed");
    std::optional<NSError> failed;
    Task failedTask;
    service.get("a", JSON(), nullptr, nullptr,
                [&](const Task& task, const NSError& error) { failedTask = task, failed = error; });
    runUntil([&] { return failed.has_value(); });

    EXPECT_EQ(failed->domain, NSURLErrorDomain);
    EXPECT_EQ(statusOf(failedTask), 0);
    EXPECT_EQ(RetryService::shared().refreshOperation()->originalRequest().url.find("/m/api/tokens/") !=
                  std::string::npos,
              true);
    EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "kept");
    EXPECT_EQ(AuthenticationContext::shared().oAuthRefreshToken(), "kept-r");
}

// A request that got no answer may have been done. One that timed out is not sent into a second
// time-out, and a POST, which changes data, is never sent twice: each reaches its caller at once.
// Only a GET that lost its connection is asked again after a renewal, as a 401 is.
TEST_F(HTTPClientTest, ARequestThatMayHaveBeenDoneIsNotSentAgain) {
    enum class Send { get, post, multipart };
    struct Case {
        const char* what;
        Send send;
        bool connectionLost; // else the answer is held past the time-out
        std::size_t sent;
    };
    const Case cases[] = {
        {"a GET that timed out", Send::get, false, 1},
        {"a POST that timed out", Send::post, false, 1},
        {"a multipart POST that timed out", Send::multipart, false, 1},
        {"a POST that lost its connection", Send::post, true, 1},
        {"a multipart POST that lost its connection", Send::multipart, true, 1},
        {"a GET that lost its connection", Send::get, true, 2},
    };
    // Held answers wait until the test ends; the server's handlers must not outlive it.
    auto held = std::make_shared<cw::test::Gate>();
    cw::test::OpenOnExit openAtEnd{held};
    setReply([held](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/tokens/")
            response.set_content(R"({"access_token":"access","refresh_token":"refresh"})", "application/json");
        else
            held->wait();
    });
    HangingUpServer hangingUp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clearArrivals();
        writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"},
                     {"SERVER_URL", c.connectionLost ? hangingUp.base() : base()}});
        signIn("access", "refresh");
        const std::size_t connectionsBefore = hangingUp.connections();
        BaseHTTPService service("content");
        // Long enough for the request to reach a busy server before its time runs out.
        service.manager()->requestSerializer()->setTimeoutInterval(1.5);
        std::vector<NSError> heard;
        auto failure = [&](const Task&, const NSError& error) { heard.push_back(error); };
        switch (c.send) {
        case Send::get:
            service.get("a", JSON(), nullptr, nullptr, failure);
            break;
        case Send::post:
            service.post("a", JSON(nlohmann::json{{"comment", "Sleeping well"}}), nullptr, failure);
            break;
        case Send::multipart:
            service.post(
                "a", JSON(), [](AFMultipartFormData& form) { form.appendPartWithFileData({1, 2}, "p", "p.jpg", "image/jpeg"); },
                nullptr, nullptr, failure);
            break;
        }
        runUntil([&] { return !heard.empty() && !RetryService::shared().isRefreshing(); });
        RunLoop::main().runUntilIdle();

        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].domain, NSURLErrorDomain);
        EXPECT_EQ(heard[0].code, c.connectionLost ? NSURLErrorNetworkConnectionLost : NSURLErrorTimedOut);
        if (c.connectionLost) {
            // The GET's renewal hangs up too: an outage, after which the parked GET fails.
            EXPECT_EQ(hangingUp.connections() - connectionsBefore, c.sent);
        } else {
            // The server may note the request after the app has given up waiting for its answer.
            runUntil([&] { return arrivalsAt("/m/api/content/a").size() >= c.sent; });
            EXPECT_EQ(arrivalsAt("/m/api/content/a").size(), c.sent);
            EXPECT_TRUE(arrivalsAt("/m/api/tokens/").empty());
        }
        EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "access");
    }
}

TEST_F(HTTPClientTest, ACancelledRequestIsNeitherParkedNorSentAgain) {
    signIn("access", "refresh");
    // The server's handler may still be running when the test ends, so what it waits on is shared.
    struct Gate {
        std::mutex mutex;
        std::condition_variable released;
        bool open = false;
    };
    auto gate = std::make_shared<Gate>();
    setReply([gate](const Arrival&, httplib::Response&) {
        std::unique_lock lock(gate->mutex);
        gate->released.wait_for(lock, std::chrono::seconds(10), [&] { return gate->open; });
    });
    BaseHTTPService service("feed");
    std::vector<NSError> failures;
    Task task = service.get("slow", JSON(), nullptr, nullptr,
                            [&](const Task&, const NSError& error) { failures.push_back(error); });
    runUntil([&] { return arrivalsAt("/m/api/feed/slow").size() == 1; });
    task->cancel();
    runUntil([&] { return !failures.empty(); });
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->released.notify_all();
    RunLoop::main().runUntilIdle();

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].domain, NSURLErrorDomain);
    EXPECT_EQ(failures[0].code, NSURLErrorCancelled);
    EXPECT_EQ(RetryService::shared().retryQueue().operationCount(), 0u);
    EXPECT_TRUE(arrivalsAt("/m/api/tokens/").empty());
    EXPECT_EQ(arrivalsAt("/m/api/feed/slow").size(), 1u);
    EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "access");
}

TEST_F(HTTPClientTest, ParkedReplaysRunInParkingOrderWithTheRefreshedTokens) {
    setReply([](const Arrival&, httplib::Response& response) {
        response.set_content(R"({"access_token":"n","refresh_token":"m"})", "application/json");
    });
    std::mutex mutex;
    std::vector<std::pair<int, SessionTokens>> ran;
    for (int i = 0; i < 3; ++i)
        RetryService::shared().retry([&, i](const SessionTokens& tokens) {
            std::lock_guard lock(mutex);
            ran.emplace_back(i, tokens);
        });
    runUntil([&] {
        std::lock_guard lock(mutex);
        return ran.size() == 3;
    });
    std::lock_guard lock(mutex);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ran[i].first, i);
        EXPECT_EQ(ran[i].second, (SessionTokens{"n", "m"}));
    }
}

} // namespace
} // namespace cw::servicetest
