#include "TestServer.h"

#include "foundation/dispatch/RunLoop.h"
#include "net/AFHTTPSessionManager.h"
#include "net/HTTPCookieStorage.h"
#include "uikit/graphics/UIImage.h"

#include "tests/support/ReleaseProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace cw::nettest {
namespace {

using Task = AFHTTPSessionManager::Task;

// What one request reported, and on which thread.
struct Outcome {
    int successes = 0;
    int failures = 0;
    bool allOnMain = true;
    Task task;
    std::optional<JSON> object;
    NSError error;

    bool done() const { return successes + failures > 0; }

    AFHTTPSessionManager::Success success() {
        return [this](const Task& t, const std::optional<JSON>& o) {
            ++successes;
            allOnMain = allOnMain && Thread::isMainThread();
            task = t;
            object = o;
        };
    }
    AFHTTPSessionManager::Failure failure() {
        return [this](const Task& t, const NSError& e) {
            ++failures;
            allOnMain = allOnMain && Thread::isMainThread();
            task = t;
            error = e;
        };
    }
    bool wait(double seconds = 10) {
        return RunLoop::main().runUntil([this] { return done(); }, seconds);
    }
};

std::string bodyText(const NSError& error) {
    const Data* data = cw::failingResponseData(error);
    return data ? std::string(data->begin(), data->end()) : std::string("<none>");
}

class SessionManagerTest : public ::testing::Test {
protected:
    // One server for the whole suite: stopping one waits for the connections the client keeps open.
    static void SetUpTestSuite() { server_ = new TestServer(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        RunLoop::main().reset();
        server.reset();
    }
    void TearDown() override {
        server.release();
        RunLoop::main().runUntilIdle();
    }

    std::unique_ptr<AFHTTPSessionManager> managerAt(const std::string& path) {
        return std::make_unique<AFHTTPSessionManager>(URL::fromString(server.base() + path));
    }

    static TestServer* server_;
    TestServer& server = *server_;
};

TestServer* SessionManagerTest::server_ = nullptr;

TEST_F(SessionManagerTest, ServiceRootGetsAClosingSlashAndRelativePathsResolveBelowIt) {
    auto invite = managerAt("/m/api/invite");
    ASSERT_TRUE(invite->baseURL());
    EXPECT_EQ(invite->baseURL()->absoluteString(), server.base() + "/m/api/invite/");

    Outcome check, root, bare;
    invite->POST("check", JSON::dictionary_t{{"email", "a@b.c"}}, nullptr, check.success(), check.failure());
    invite->POST("", JSON(), nullptr, root.success(), root.failure());
    auto plain = std::make_unique<AFHTTPSessionManager>(URL::fromString(server.base()));
    plain->GET("ping", JSON(), nullptr, bare.success(), bare.failure());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return check.done() && root.done() && bare.done(); }));

    std::set<std::string> paths;
    for (const auto& arrival : server.arrivals())
        paths.insert(arrival.path);
    EXPECT_EQ(paths, (std::set<std::string>{"/m/api/invite/check", "/m/api/invite/", "/ping"}));
    EXPECT_EQ(check.successes, 1);
    EXPECT_EQ((*check.object)["path"].stringValue(), "/m/api/invite/check");
}

TEST_F(SessionManagerTest, HeadersAndJSONBodiesArriveAsSet) {
    auto manager = managerAt("/m/api/member");
    auto serializer = std::make_shared<AFJSONRequestSerializer>();
    serializer->setValue("application/json", "Accept");
    serializer->setValue("Linux", "X-Client");
    serializer->setValue("stale", "X-Access-Token");
    serializer->setValue("fresh", "x-access-token"); // same field, any letter case
    serializer->setValue("bad\r\nInjected: yes", "X-Client-Model");
    manager->setRequestSerializer(serializer);

    Outcome withBody, withoutBody;
    manager->POST("update", JSON::dictionary_t{{"user_id", "7"}, {"n", 3}}, nullptr, withBody.success(),
                  withBody.failure());
    ASSERT_TRUE(withBody.wait());
    manager->POST("", JSON(), nullptr, withoutBody.success(), withoutBody.failure());
    ASSERT_TRUE(withoutBody.wait());

    auto arrivals = server.arrivals();
    ASSERT_EQ(arrivals.size(), 2u);
    const Arrival& first = arrivals[0];
    EXPECT_EQ(first.method, "POST");
    EXPECT_EQ(first.header("Accept"), "application/json");
    EXPECT_EQ(first.header("X-Client"), "Linux");
    EXPECT_EQ(first.header("X-Access-Token"), "fresh");
    EXPECT_EQ(first.headers.count("X-Access-Token"), 1u);
    EXPECT_FALSE(first.hasHeader("Injected"));
    EXPECT_EQ(first.header("Content-Type"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(first.body), (nlohmann::json{{"n", 3}, {"user_id", "7"}}));

    const Arrival& second = arrivals[1];
    EXPECT_TRUE(second.body.empty());
    EXPECT_FALSE(second.hasHeader("Content-Type"));
    EXPECT_EQ(second.header("X-Access-Token"), "fresh");
    EXPECT_EQ(withoutBody.successes, 1);
    EXPECT_TRUE(withBody.allOnMain && withoutBody.allOnMain);
}

TEST_F(SessionManagerTest, GetParametersGoIntoTheQueryFlattenedAndSorted) {
    auto manager = managerAt("/m/api/search");
    JSON parameters =
        nlohmann::json::parse(R"({"q":"a b&c","ids":[3,1],"f":{"z":null,"a":true},"off":false})");
    Outcome outcome;
    manager->GET("items", parameters, nullptr, outcome.success(), outcome.failure());
    ASSERT_TRUE(outcome.wait());
    auto arrivals = server.arrivals();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].target,
              "/m/api/search/items?f%5Ba%5D=1&f%5Bz%5D&ids%5B%5D=3&ids%5B%5D=1&off=0&q=a%20b%26c");
    EXPECT_TRUE(arrivals[0].body.empty());
}

TEST_F(SessionManagerTest, MultipartSendsTextPartsFirstThenFilePartsInOrder) {
    std::vector<std::uint32_t> pixels(16 * 16, 0xff3366ccu);
    auto image = UIImage::fromPixels(16, 16, 1, pixels.data());
    ASSERT_TRUE(image);
    auto jpeg = image->jpegData(0.5);
    ASSERT_TRUE(jpeg);
    Data second(*jpeg);
    second.push_back(0); // a different byte count, so the parts cannot be mistaken for each other

    auto manager = managerAt("/m/api/post");
    JSON parameters = nlohmann::json::parse(R"({"text":"hello","user_id":"12"})");
    Outcome outcome;
    manager->POST(
        "new", parameters,
        [&](AFMultipartFormData& form) {
            form.appendPartWithFileData(*jpeg, "post_picture_0", "photo0.jpg", "image/jpeg");
            form.appendPartWithFileData(second, "post_picture_1", "photo1.jpg", "image/jpeg");
        },
        nullptr, outcome.success(), outcome.failure());
    ASSERT_TRUE(outcome.wait());
    EXPECT_EQ(outcome.successes, 1);

    auto arrivals = server.arrivals();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_TRUE(arrivals[0].header("Content-Type").starts_with("multipart/form-data; boundary="));
    const auto& parts = arrivals[0].parts;
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0].name, "text");
    EXPECT_EQ(parts[0].content, "hello");
    EXPECT_TRUE(parts[0].filename.empty());
    EXPECT_EQ(parts[1].name, "user_id");
    EXPECT_EQ(parts[1].content, "12");
    EXPECT_EQ(parts[2].name, "post_picture_0");
    EXPECT_EQ(parts[2].filename, "photo0.jpg");
    EXPECT_EQ(parts[2].content_type, "image/jpeg");
    EXPECT_EQ(parts[2].content, std::string(jpeg->begin(), jpeg->end()));
    EXPECT_EQ(parts[3].name, "post_picture_1");
    EXPECT_EQ(parts[3].filename, "photo1.jpg");
    EXPECT_EQ(parts[3].content, std::string(second.begin(), second.end()));
}

TEST_F(SessionManagerTest, UploadProgressReachesTheWholeBodyOnTheMainThreadBeforeTheReply) {
    auto manager = managerAt("/m/api/post");
    Data big(3 * 1024 * 1024, 0x5a);
    std::vector<NSProgress> reports;
    bool progressOnMain = true;
    int progressAfterReply = 0;
    Outcome outcome;
    manager->POST(
        "new", JSON(),
        [&](AFMultipartFormData& form) { form.appendPartWithFileData(big, "f", "photo", "image/jpeg"); },
        [&](const NSProgress& p) {
            progressOnMain = progressOnMain && Thread::isMainThread();
            if (outcome.done()) ++progressAfterReply;
            reports.push_back(p);
        },
        outcome.success(), outcome.failure());
    ASSERT_TRUE(outcome.wait());
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(progressOnMain);
    EXPECT_EQ(progressAfterReply, 0);
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_LE(reports[i - 1].completedUnitCount, reports[i].completedUnitCount);
    EXPECT_GT(reports.back().totalUnitCount, static_cast<std::int64_t>(big.size()));
    EXPECT_EQ(reports.back().completedUnitCount, reports.back().totalUnitCount);
    EXPECT_DOUBLE_EQ(reports.back().fractionCompleted(), 1.0);
}

// Callbacks often own screens and records of the app, which may only be destroyed on the main thread;
// the network thread must not hold the last reference to anything a callback captured.
TEST_F(SessionManagerTest, CallbacksAreReleasedOnTheMainThread) {
    cw::test::ReleaseCounter released;
    auto manager = managerAt("");
    for (int round = 0; round < 8; ++round) {
        bool done = false;
        auto probe = released.make();
        // The held reply arrives after the upload's progress was reported and handled.
        Task task = manager->POST(
            "hold", JSON(JSON::dictionary_t{{"n", JSON(round)}}), [probe](const NSProgress&) {},
            [probe, &done](const Task&, const std::optional<JSON>&) { done = true; },
            [probe, &done](const Task&, const NSError&) { done = true; });
        probe.reset();
        // Released only once the request is held: a release that comes first would be missed.
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.holdingCount() == 1; }));
        RunLoop::main().runFor(0.05);
        server.release();
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return done; }));
        task.reset();
        // Whatever the network thread held is let go by the time the main queue has drained.
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return released.gone.load() == round + 1; }, 5));
    }
    EXPECT_EQ(released.offMain.load(), 0);
}

TEST_F(SessionManagerTest, ErrorStatusesCarryTheirBodyAndStatus) {
    auto manager = managerAt("");
    Outcome notFound, unauthorized;
    manager->GET("status/404", JSON(), nullptr, notFound.success(), notFound.failure());
    manager->POST("status/401", JSON::dictionary_t{{"a", 1}}, nullptr, unauthorized.success(),
                  unauthorized.failure());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return notFound.done() && unauthorized.done(); }));

    ASSERT_EQ(notFound.failures, 1);
    EXPECT_EQ(notFound.successes, 0);
    ASSERT_TRUE(notFound.task && notFound.task->response());
    EXPECT_EQ(notFound.task->response()->statusCode(), 404);
    EXPECT_EQ(notFound.error.domain, AFURLResponseSerializationErrorDomain);
    EXPECT_EQ(notFound.error.code, NSURLErrorBadServerResponse);
    auto parsed = JSON::parse(bodyText(notFound.error));
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.value()["message"].stringValue(), "status 404");
    ASSERT_TRUE(cw::failingResponse(notFound.error));
    EXPECT_EQ(cw::failingResponse(notFound.error)->statusCode(), 404);

    ASSERT_EQ(unauthorized.failures, 1);
    EXPECT_EQ(unauthorized.task->response()->statusCode(), 401);
    EXPECT_EQ(bodyText(unauthorized.error), "{\"message\":\"status 401\"}");
    EXPECT_EQ(unauthorized.task->state(), NSURLSessionTaskState::completed);
}

TEST_F(SessionManagerTest, FailuresWithoutAnyReplyCarryNoResponseAndNoBody) {
    DroppingServer dropping;
    auto dropped = std::make_unique<AFHTTPSessionManager>(
        URL::fromString("http://127.0.0.1:" + std::to_string(dropping.port()) + "/m/api/"));
    auto refused = std::make_unique<AFHTTPSessionManager>(
        URL::fromString("http://127.0.0.1:" + std::to_string(refusedPort()) + "/m/api/"));
    auto slow = managerAt("");
    slow->requestSerializer()->setTimeoutInterval(0.3);

    Outcome lost, noConnection, timedOut;
    dropped->POST("x", JSON(), nullptr, lost.success(), lost.failure());
    refused->GET("x", JSON::dictionary_t{{"security_code", "98765"}}, nullptr, noConnection.success(),
                 noConnection.failure());
    slow->GET("hold", JSON(), nullptr, timedOut.success(), timedOut.failure());
    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return lost.done() && noConnection.done() && timedOut.done(); }));

    for (Outcome* o : {&lost, &noConnection, &timedOut}) {
        ASSERT_EQ(o->failures, 1);
        ASSERT_TRUE(o->task);
        EXPECT_EQ(o->task->response(), nullptr);
        EXPECT_EQ(o->error.domain, NSURLErrorDomain);
        EXPECT_EQ(cw::failingResponseData(o->error), nullptr);
        EXPECT_EQ(cw::failingResponse(o->error), nullptr);
        EXPECT_TRUE(o->allOnMain);
    }
    EXPECT_EQ(lost.error.code, NSURLErrorNetworkConnectionLost);
    EXPECT_EQ(noConnection.error.code, NSURLErrorCannotConnectToHost);
    auto failingURL = noConnection.error.userInfoString(NSURLErrorFailingURLStringErrorKey);
    ASSERT_TRUE(failingURL);
    EXPECT_TRUE(failingURL->ends_with("/m/api/x")) << *failingURL; // the query, with its code, is left out
    EXPECT_EQ(timedOut.error.code, NSURLErrorTimedOut);
}

TEST_F(SessionManagerTest, ContentTypesAndBodiesAreCheckedLikeTheJSONReader) {
    auto manager = managerAt("");
    Outcome html, plain, empty, notJSON;
    manager->GET("html", JSON(), nullptr, html.success(), html.failure());
    manager->GET("plain", JSON(), nullptr, plain.success(), plain.failure());
    manager->GET("empty", JSON(), nullptr, empty.success(), empty.failure());
    manager->GET("notjson", JSON(), nullptr, notJSON.success(), notJSON.failure());
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return html.done() && plain.done() && empty.done() && notJSON.done(); }));

    EXPECT_EQ(html.failures, 1);
    EXPECT_EQ(html.error.code, NSURLErrorCannotDecodeContentData);
    EXPECT_EQ(html.task->response()->statusCode(), 200);
    EXPECT_TRUE(bodyText(html.error).starts_with("<html>"));
    EXPECT_EQ(plain.failures, 1);
    EXPECT_EQ(empty.successes, 1);
    EXPECT_FALSE(empty.object.has_value());
    EXPECT_EQ(notJSON.failures, 1);
    EXPECT_EQ(notJSON.error.domain, NSCocoaErrorDomain);
    EXPECT_EQ(notJSON.error.code, 3840);
    EXPECT_EQ(bodyText(notJSON.error), "{not json");

    auto types = manager->responseSerializer()->acceptableContentTypes();
    types.insert("text/plain");
    manager->responseSerializer()->setAcceptableContentTypes(types);
    Outcome plainAccepted;
    manager->GET("plain", JSON(), nullptr, plainAccepted.success(), plainAccepted.failure());
    ASSERT_TRUE(plainAccepted.wait());
    ASSERT_EQ(plainAccepted.successes, 1);
    EXPECT_TRUE((*plainAccepted.object)["plain"].boolValue());
}

TEST_F(SessionManagerTest, CancellationReportsFailureExactlyOnce) {
    auto manager = managerAt("");
    Outcome running, notStarted;
    Task task = manager->GET("hold", JSON(), nullptr, running.success(), running.failure());
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), NSURLSessionTaskState::running);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.arrivalCount() == 1; }));
    task->cancel();
    task->cancel();
    EXPECT_EQ(running.failures, 0); // never synchronously
    ASSERT_TRUE(running.wait());
    EXPECT_EQ(running.error.domain, NSURLErrorDomain);
    EXPECT_EQ(running.error.code, NSURLErrorCancelled);
    EXPECT_EQ(task->response(), nullptr);
    EXPECT_EQ(task->state(), NSURLSessionTaskState::completed);

    // A task made by hand starts suspended; cancelling it ends it without touching the network.
    auto request = manager->requestSerializer()->requestWithMethod("GET", server.base() + "/ping", JSON());
    int handled = 0;
    auto suspended = NSURLSessionDataTask::make(*request, [&](const Task&, NSURLSessionDataTask::Outcome o) {
        ++handled;
        EXPECT_EQ(o.error->code, NSURLErrorCancelled);
    });
    EXPECT_EQ(suspended->state(), NSURLSessionTaskState::suspended);
    suspended->cancel();
    suspended->resume();
    EXPECT_EQ(handled, 1);

    server.release();
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(running.failures, 1);
    EXPECT_EQ(running.successes, 0);
    EXPECT_EQ(server.arrivalCount(), 1u);
}

TEST_F(SessionManagerTest, SendsFromOtherThreadsAndManyAtOnceEachReportOnce) {
    auto manager = managerAt("/m/api/");
    std::vector<Outcome> outcomes(40);
    std::thread sender([&] {
        for (std::size_t i = 0; i < outcomes.size(); i += 2)
            manager->GET("item", JSON::dictionary_t{{"i", static_cast<int>(i)}}, nullptr,
                         outcomes[i].success(), outcomes[i].failure());
    });
    for (std::size_t i = 1; i < outcomes.size(); i += 2)
        manager->POST("item", JSON::dictionary_t{{"i", static_cast<int>(i)}}, nullptr, outcomes[i].success(),
                      outcomes[i].failure());
    sender.join();
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.done(); });
    }));
    RunLoop::main().runFor(0.05);
    for (const auto& o : outcomes) {
        EXPECT_EQ(o.successes, 1);
        EXPECT_EQ(o.failures, 0) << o.error.domain << " " << o.error.code << ": "
                                 << o.error.localizedDescription();
        EXPECT_TRUE(o.allOnMain);
    }
    EXPECT_EQ(server.arrivalCount(), outcomes.size());
}

TEST_F(SessionManagerTest, RedirectsToAnotherOriginAreFollowedOnlyByRequestsThatCarryNothingOfTheirOwn) {
    auto manager = managerAt("/");
    manager->requestSerializer()->setValue("application/json", "Accept");
    manager->requestSerializer()->setValue("secret", "X-Access-Token");
    auto bare = managerAt("/");
    bare->requestSerializer()->setValue("application/json", "Accept");
    JSON body = JSON::dictionary_t{{"password", "hunter2"}};
    // Within the origin everything follows: the token, and the body of a 307.
    Outcome here, seeOther, temporary;
    manager->GET("redirect/302/here", JSON(), nullptr, here.success(), here.failure());
    ASSERT_TRUE(here.wait());
    manager->POST("redirect/303/here", body, nullptr, seeOther.success(), seeOther.failure());
    ASSERT_TRUE(seeOther.wait());
    manager->POST("redirect/307/here", body, nullptr, temporary.success(), temporary.failure());
    ASSERT_TRUE(temporary.wait());
    auto arrivals = server.arrivals();
    ASSERT_EQ(arrivals.size(), 6u);
    EXPECT_EQ(arrivals[1].path, "/landed");
    EXPECT_EQ(arrivals[1].header("X-Access-Token"), "secret");
    EXPECT_EQ(arrivals[3].method, "GET");
    EXPECT_TRUE(arrivals[3].body.empty());
    EXPECT_FALSE(arrivals[3].hasHeader("Content-Type"));
    EXPECT_EQ(arrivals[5].method, "POST");
    EXPECT_EQ(arrivals[5].body, "{\"password\":\"hunter2\"}");
    for (Outcome* o : {&here, &seeOther, &temporary}) {
        EXPECT_EQ(o->successes, 1);
        EXPECT_EQ(o->task->response()->statusCode(), 200);
        EXPECT_TRUE(o->task->response()->url().ends_with("/landed"));
    }

    // To another origin: a token in a header field, or a body the redirect would send again, stops
    // the request where it is; nothing reaches the other origin.
    server.reset();
    Outcome token, password, plain;
    manager->GET("redirect/302/away", JSON(), nullptr, token.success(), token.failure());
    ASSERT_TRUE(token.wait());
    bare->POST("redirect/307/away", body, nullptr, password.success(), password.failure());
    ASSERT_TRUE(password.wait());
    for (Outcome* o : {&token, &password}) {
        EXPECT_EQ(o->failures, 1);
        EXPECT_EQ(o->error.domain, NSURLErrorDomain);
        EXPECT_EQ(o->error.code, cw::URLErrorRedirectToAnotherOrigin);
        ASSERT_TRUE(o->task->response()) << "the redirect is the task's reply";
        EXPECT_TRUE(o->allOnMain);
    }
    EXPECT_EQ(token.task->response()->statusCode(), 302);
    EXPECT_EQ(password.task->response()->statusCode(), 307);
    EXPECT_EQ(server.arrivalCount(), 2u);

    // A request with nothing of its own (a picture, a page) still follows.
    bare->GET("redirect/302/away", JSON(), nullptr, plain.success(), plain.failure());
    ASSERT_TRUE(plain.wait());
    EXPECT_EQ(plain.successes, 1);
    arrivals = server.arrivals();
    ASSERT_EQ(arrivals.size(), 4u);
    EXPECT_EQ(arrivals[3].path, "/landed");
    EXPECT_TRUE(arrivals[3].header("Host").starts_with("localhost"));
    EXPECT_EQ(arrivals[3].header("Accept"), "application/json");
}

TEST_F(SessionManagerTest, AJSONReplyOverItsLimitIsRefusedWhetherDeclaredOrStreamedAndMediaGetMore) {
    auto manager = managerAt("/");
    const std::size_t over = cw::kJSONReplyLimit + 1;
    // Declared too large: refused on its headers, while the server has not sent a byte of the body.
    Outcome declared;
    manager->GET("declared/" + std::to_string(over), JSON(), nullptr, declared.success(), declared.failure());
    // Its time-out would end a wait for the body too, but as a time-out, not as this refusal.
    ASSERT_TRUE(declared.wait(30)) << "the client waited for a body it should have refused";
    // Streamed without a length: stopped once it grows past the limit.
    Outcome streamed;
    const std::size_t endless = 4 * cw::kJSONReplyLimit;
    manager->POST("stream/" + std::to_string(endless), JSON(), nullptr, streamed.success(), streamed.failure());
    ASSERT_TRUE(streamed.wait(30));
    for (Outcome* o : {&declared, &streamed}) {
        EXPECT_EQ(o->failures, 1);
        EXPECT_EQ(o->error.domain, NSURLErrorDomain);
        EXPECT_EQ(o->error.code, NSURLErrorDataLengthExceedsMaximum);
        ASSERT_TRUE(o->task->response()) << "the server did answer";
        EXPECT_EQ(o->task->response()->statusCode(), 200);
    }
    EXPECT_LT(server.streamedBytes(), endless);
    server.release();

    // The same size as bytes (a picture, a video) is within their own limit.
    server.reset();
    // Shared with the callbacks, which may outlive a test that failed. 32 MB take a while under
    // ThreadSanitizer on a busy machine.
    auto received = std::make_shared<std::optional<std::size_t>>();
    manager->GETData(
        "stream/" + std::to_string(over), nullptr, [received](const Task&, const Data& bytes) { *received = bytes.size(); },
        [received](const Task&, const NSError&) { *received = 0; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return received->has_value(); }, 100));
    EXPECT_EQ(**received, over);
}

TEST_F(SessionManagerTest, AddressesThatCannotBeMadeFailWithoutATask) {
    AFHTTPSessionManager noBase;
    Outcome bad, relative;
    EXPECT_EQ(noBase.GET("not an address", JSON(), nullptr, bad.success(), bad.failure()), nullptr);
    EXPECT_EQ(bad.failures, 0); // reported later, on the main queue
    // Without a base a relative path is an address, but not one that can be fetched.
    Task task = noBase.GET("relative/path", JSON(), nullptr, relative.success(), relative.failure());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return bad.done() && relative.done(); }));
    EXPECT_EQ(bad.failures, 1);
    EXPECT_EQ(bad.task, nullptr);
    EXPECT_EQ(relative.failures, 1);
    EXPECT_EQ(relative.error.domain, NSURLErrorDomain);
    EXPECT_EQ(relative.task, task);

    Outcome notObject;
    auto manager = managerAt("");
    EXPECT_EQ(manager->POST("x", JSON("text"), nullptr, notObject.success(), notObject.failure()), nullptr);
    ASSERT_TRUE(notObject.wait());
    EXPECT_EQ(notObject.failures, 1);
    EXPECT_EQ(server.arrivalCount(), 0u);
}

TEST_F(SessionManagerTest, PlainGetOfBytesTakesAnyContentTypeAndFailsOnErrorStatus) {
    auto manager = managerAt("");
    Data bytes;
    int successes = 0, failures = 0, progressReports = 0;
    NSError error;
    manager->GETData(
        server.base() + "/bytes", [&](const NSProgress&) { ++progressReports; },
        [&](const Task&, const Data& d) {
            ++successes;
            bytes = d;
        },
        [&](const Task&, const NSError&) { ++failures; });
    manager->GETData(
        "status/404", nullptr, [&](const Task&, const Data&) { ++successes; },
        [&](const Task&, const NSError& e) {
            ++failures;
            error = e;
        });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return successes + failures == 2; }));
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(failures, 1);
    ASSERT_EQ(bytes.size(), 300'000u);
    EXPECT_EQ(bytes[1000], static_cast<std::uint8_t>(1000 * 7 % 251));
    EXPECT_GE(progressReports, 1);
    EXPECT_EQ(bodyText(error), "{\"message\":\"status 404\"}");
}

// The session keeps the cookies replies set and sends them back, as a phone's does: the server ties
// what the application proved to them.
TEST_F(SessionManagerTest, RepliesSetCookiesThatGoBackToTheirOriginOnly) {
    HTTPCookieStorage::setSharedStorageFile(std::nullopt);
    // GETs `url` and gives the Cookie header that reached the server ("<none>" without one).
    auto cookieSentWith = [&](const std::string& url, const std::string& ownCookie = "") {
        AFHTTPSessionManager manager;
        if (!ownCookie.empty()) {
            auto serializer = std::make_shared<AFJSONRequestSerializer>();
            serializer->setValue(ownCookie, "Cookie");
            manager.setRequestSerializer(serializer);
        }
        server.reset();
        Outcome outcome;
        manager.GET(url, JSON(), nullptr, outcome.success(), outcome.failure());
        EXPECT_TRUE(outcome.wait());
        EXPECT_EQ(outcome.successes, 1) << outcome.error.localizedDescription();
        auto arrivals = server.arrivals();
        if (arrivals.empty()) return std::string("<nothing arrived>");
        return arrivals.back().hasHeader("Cookie") ? arrivals.back().header("Cookie") : std::string("<none>");
    };
    auto setting = [&](const std::vector<std::string>& fields, const std::string& to = "") {
        std::string url = server.base() + "/cookies?";
        for (const auto& field : fields)
            url += "set=" + cw::percentEscapeQueryComponent(field) + "&";
        if (!to.empty()) url += "to=" + cw::percentEscapeQueryComponent(to);
        return url;
    };
    const std::string away = "http://localhost:" + std::to_string(server.port());

    EXPECT_EQ(cookieSentWith(setting({"cw_client=abc; Path=/; Max-Age=3600; HttpOnly", "bad"})), "<none>");
    EXPECT_EQ(cookieSentWith(server.base() + "/m/api/signup"), "cw_client=abc");
    EXPECT_EQ(cookieSentWith(away + "/m/api/signup"), "<none>");

    // A redirect's cookies reach the hop it leads to; a hop to another origin carries none.
    EXPECT_EQ(cookieSentWith(setting({"hop=1; Path=/"}, "/landed")), "cw_client=abc; hop=1");
    EXPECT_EQ(server.arrivals().back().path, "/landed");
    EXPECT_EQ(cookieSentWith(server.base() + "/redirect/302/away"), "<none>");

    // A caller's own Cookie header is sent as it is; a cookie ended by its server goes.
    EXPECT_EQ(cookieSentWith(server.base() + "/ping", "mine=1"), "mine=1");
    cookieSentWith(setting({"cw_client=; Path=/; Max-Age=0"}));
    EXPECT_EQ(cookieSentWith(server.base() + "/ping"), "hop=1");
    HTTPCookieStorage::setSharedStorageFile(std::nullopt);
}

} // namespace
} // namespace cw::nettest
