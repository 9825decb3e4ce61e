#include "TestServer.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "net/NSURLSessionDataTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::nettest {
namespace {

using Clock = std::chrono::steady_clock;

// One request's end, as the main thread hears of it.
struct Ending {
    bool done = false;
    std::optional<NSError> error;
    int status = 0;
    std::size_t bytes = 0;
    double seconds = 0; // from resume to the end
};

std::shared_ptr<NSURLSessionDataTask> fetch(NSURLRequest request, Ending& ending) {
    const auto began = Clock::now();
    return NSURLSessionDataTask::make(std::move(request), [&ending, began](const auto&, NSURLSessionDataTask::Outcome outcome) {
        const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
        DispatchQueue::main().async([&ending, seconds, outcome = std::move(outcome)] {
            ending.done = true;
            ending.error = outcome.error;
            ending.status = outcome.response ? outcome.response->statusCode() : 0;
            ending.bytes = outcome.body.size();
            ending.seconds = seconds;
        });
    });
}

class SlowLinkTest : public ::testing::Test {
protected:
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
    NSURLRequest requestFor(const std::string& path) const {
        NSURLRequest request;
        request.url = server.base() + path;
        return request;
    }

    static TestServer* server_;
    TestServer& server = *server_;
};

TestServer* SlowLinkTest::server_ = nullptr;

// The request's time-out is the time allowed between bytes, as the platform's is, not the time of
// the whole transfer. Over a ward link a photo arrives at 20 KB/s for 88 s against a 60 s time-out,
// and a picture behind three slow redirects takes over a minute in all: each arrives whole. A reply
// that falls silent, before its head or halfway, still fails once the time-out has gone without a
// byte. Here the time-out is 0.5 s and the link brings 1000 bytes every 40 ms.
TEST_F(SlowLinkTest, RepliesThatKeepComingArriveWholeAndOnesThatFallSilentTimeOut) {
    constexpr double kTimeOut = 0.5;
    struct Case {
        const char* what;
        std::string path;
        std::size_t bytes; // none: it times out
        double atLeast;    // seconds it takes at least, in all
    };
    const std::vector<Case> cases{
        {"a photo at a steady pace for over two time-outs", "/trickle/0/30/40", 30'000, 2 * kTimeOut},
        {"three redirects, each slower than the time-out, then the picture", "/trickle/3/14/40", 14'000,
         4 * kTimeOut},
        {"a reply that stops halfway", "/trickle/0/30/40?stopAfter=5", 0, 0.16 + kTimeOut},
        {"a head, then nothing", "/declared/1000", 0, kTimeOut},
        {"a redirect to a server that says nothing", "/cookies?to=/hold", 0, kTimeOut},
    };
    // A connection made and the server's threads running first: what is timed is the link alone.
    Ending warm;
    fetch(requestFor("/warm"), warm)->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return warm.done; }, 30));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSURLRequest request = requestFor(c.path);
        request.timeoutInterval = kTimeOut;
        Ending ending;
        auto task = fetch(std::move(request), ending);
        task->resume();
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return ending.done; }, 30));
        EXPECT_GE(ending.seconds, c.atLeast);
        if (c.bytes) {
            EXPECT_FALSE(ending.error) << ending.error->localizedDescription() << " after " << ending.seconds << " s";
            EXPECT_EQ(ending.status, 200);
            EXPECT_EQ(ending.bytes, c.bytes);
        } else {
            ASSERT_TRUE(ending.error);
            EXPECT_EQ(ending.error->code, NSURLErrorTimedOut);
            // Once the time-out has gone by without a byte, not whenever the server gives up.
            EXPECT_LT(ending.seconds, c.atLeast + 5);
        }
        server.release();
    }
}

// The least pace counts every byte a server sends, its heads' and its redirects' as much as its
// body's, and runs only while a reply comes: a reply that keeps coming above it arrives, however
// its bytes are split between head and body, and a server that takes its time before it answers is
// bounded by the time-out alone. Scaled down here from a pace of 1 KB/s over 15 s and a 60 s
// time-out: a pace of 2000 B/s over 0.5 s and a 2 s time-out, a head of 300-byte lines at three
// times the pace for longer than the pace's window.
TEST_F(SlowLinkTest, RepliesAboveTheLeastPaceArriveWhateverTheirHeadsTakeAndSlowerOnesAreCut) {
    constexpr double kTimeOut = 2;
    const NSURLRequest::Pace kLeastPace{2000, 0.5};
    struct Case {
        const char* what;
        std::string query;
        bool arrives;
        double atLeast; // seconds it takes at least, in all
    };
    const std::vector<Case> cases{
        {"a head that trickles at three times the pace, then a small body",
         "hops=0&lines=17&size=300&every=50&before=0&after=0", true, 0.8},
        {"three redirects whose heads trickle so, then the reply",
         "hops=3&lines=17&size=300&every=50&before=0&after=0", true, 3.2},
        {"a head that trickles at a tenth of the pace", "hops=0&lines=20&size=100&every=500&before=0&after=0",
         false, kLeastPace.seconds},
        {"a server silent for over twice the pace's window, within the time-out",
         "hops=0&lines=1&size=50&every=0&before=1200&after=0", true, 1.2},
        {"a head, then silence as long before the body", "hops=0&lines=1&size=50&every=0&before=0&after=1200", true,
         1.2},
    };
    TricklingServer trickling;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSURLRequest request;
        request.url = trickling.base() + "/slow?" + c.query;
        request.timeoutInterval = kTimeOut;
        request.leastPace = kLeastPace;
        Ending ending;
        fetch(std::move(request), ending)->resume();
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return ending.done; }, 30));
        EXPECT_GE(ending.seconds, c.atLeast);
        if (c.arrives) {
            EXPECT_FALSE(ending.error) << ending.error->localizedDescription() << " after " << ending.seconds << " s";
            EXPECT_EQ(ending.status, 200);
            EXPECT_EQ(ending.bytes, 1000u);
        } else {
            ASSERT_TRUE(ending.error);
            EXPECT_EQ(ending.error->code, NSURLErrorTimedOut);
            // By the pace, while the head still came, well before the time-out.
            EXPECT_LT(ending.seconds, kTimeOut);
        }
    }
}

// A launch against a server that stalls: its usage events and bookkeeping, the feed's own checks,
// the feed and then its pictures are all held, and the tab the member opens meanwhile must still
// reach the server at once, not when their time-outs free a connection a minute later. Of the six
// connections a server gets, pictures hold four at most and background traffic two of those.
TEST_F(SlowLinkTest, WhatTheMemberOpensIsNotQueuedBehindStalledBackgroundRequests) {
    struct Held {
        const char* what;
        int count;
        NSURLRequestNetworkServiceType type;
        float priority;
    };
    const std::vector<Held> launch{
        {"usage events, bookkeeping and checks", 11, NSURLNetworkServiceTypeBackground, NSURLSessionTaskPriorityDefault},
        {"the feed", 1, NSURLNetworkServiceTypeDefault, NSURLSessionTaskPriorityDefault},
        {"pictures", 6, NSURLNetworkServiceTypeDefault, NSURLSessionTaskPriorityLow},
    };
    std::vector<Ending> held(18);
    std::vector<std::shared_ptr<NSURLSessionDataTask>> tasks;
    for (const auto& kind : launch) {
        for (int i = 0; i < kind.count; ++i) {
            NSURLRequest request = requestFor("/hold");
            request.networkServiceType = kind.type;
            tasks.push_back(fetch(std::move(request), held[tasks.size()]));
            tasks.back()->setPriority(kind.priority);
            tasks.back()->resume();
        }
    }
    // Two background requests, two pictures and the feed.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.holdingCount() >= 5; }, 10));

    // The screens she opens, one request after another and two at once, while those stay held.
    const std::vector<std::vector<std::string>> screens{{"/journey/weeks", "/journey/milestones"}, {"/update"}};
    for (const auto& screen : screens) {
        SCOPED_TRACE(screen.front());
        std::vector<Ending> opened(screen.size());
        std::vector<std::shared_ptr<NSURLSessionDataTask>> requests;
        for (std::size_t i = 0; i < screen.size(); ++i) {
            requests.push_back(fetch(requestFor(screen[i]), opened[i]));
            requests.back()->resume();
        }
        ASSERT_TRUE(RunLoop::main().runUntil([&] {
            return std::all_of(opened.begin(), opened.end(), [](const Ending& e) { return e.done; });
        }, 5)) << "it waited behind the held ones";
        for (const auto& ending : opened)
            EXPECT_EQ(ending.status, 200);
    }
    EXPECT_EQ(server.holdingCount(), 5u);
    for (const auto& ending : held)
        EXPECT_FALSE(ending.done);

    for (auto& task : tasks)
        task->cancel();
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        return std::all_of(held.begin(), held.end(), [](const Ending& e) { return e.done; });
    }));
}

} // namespace
} // namespace cw::nettest
