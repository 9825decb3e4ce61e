// Clients that are slow, idle or many: none of them holds up the others.

#include "ServerFixture.h"

#include "server/Pictures.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cw::server::testing {
namespace {

class ConnectionTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 4;
        options.headerSeconds = 1;
        options.keepAliveSeconds = 1;
    }
};

TEST_F(ConnectionTest, AnotherRequestIsAnsweredWhileSlowAndIdleClientsHoldConnections) {
    std::vector<std::unique_ptr<RawConnection>> held;
    // Forty clients that send their heads a line at a time and stop half-way...
    for (int i = 0; i < 40; ++i) {
        held.push_back(std::make_unique<RawConnection>(server_->port()));
        ASSERT_TRUE(held.back()->send("POST /m/api/signin HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    }
    // ...and a hundred that connect and say nothing, ten times the workers between them.
    for (int i = 0; i < 100; ++i) {
        held.push_back(std::make_unique<RawConnection>(server_->port()));
        ASSERT_TRUE(held.back()->connected());
    }
    httplib::Client other("127.0.0.1", server_->port());
    other.set_connection_timeout(60, 0);
    other.set_read_timeout(60, 0);
    auto answered =
        other.Post("/m/api/member/check", R"({"email":"new@cradleway.test"})", "application/json");
    ASSERT_TRUE(answered) << httplib::to_string(answered.error());
    EXPECT_EQ(answered->status, 200);
}

TEST_F(ConnectionTest, AHeadThatTricklesInIsCutOffAtItsDeadline) {
    RawConnection slow(server_->port());
    ASSERT_TRUE(slow.send("GET /m/api/tandc HTTP/1.1\r\n"));
    // A header line every fifth of a second would keep a per-read time-out waiting for ever; the
    // head's own deadline (a second here) ends it. Bounded at a minute of lines.
    bool cut = false;
    for (int line = 0; line < 300 && !cut; ++line) {
        cut = slow.waitReadable(200);
        if (!cut) slow.send("X-Line-" + std::to_string(line) + ": x\r\n");
    }
    ASSERT_TRUE(cut);
    EXPECT_EQ(statusesIn(slow.readToClose()), std::vector<int>{408});
}

TEST_F(ConnectionTest, AKeptAliveConnectionServesRequestAfterRequest) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_keep_alive(true);
    for (int i = 0; i < 20; ++i) {
        auto reply = client.Get("/m/api/tandc");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
    }
    EXPECT_LE(server_->openConnections(), 2u);
}

TEST_F(ConnectionTest, AKeptAliveConnectionEndsWhenIdleAndAfterItsThousandthRequest) {
    RawConnection idle(server_->port());
    idle.send("GET /m/api/tandc HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(statusesIn(idle.readReply()), std::vector<int>{200});
    // Closed after its second of idling, with nothing more to say.
    EXPECT_TRUE(idle.waitReadable(10'000));
    EXPECT_EQ(idle.readToClose(10), "");

    std::string requests;
    for (int i = 0; i < 1001; ++i)
        requests += "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\n\r\n";
    RawConnection many(server_->port());
    many.send(requests);
    const auto statuses = statusesIn(many.readToClose());
    EXPECT_EQ(statuses.size(), 1000u);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), 1000);
}

// Bodies that come slowly, or not at all once their heads are in: they hold no worker while they
// arrive, and a body must keep to a least pace.
class SlowBodyTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 4;
    }

    // A POST from `from` whose head says `length` bytes of body and whose body starts with `first`.
    std::unique_ptr<RawConnection> bodyComing(const std::string& from, const std::string& path, size_t length,
                                              const std::string& first) {
        auto c = std::make_unique<RawConnection>(server_->port(), from);
        c->send("POST /m/api/" + path +
                " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/json\r\n"
                "Content-Length: " +
                std::to_string(length) + "\r\n\r\n" + first);
        return c;
    }

    // A sign-in sent from `from`, its reply read within twenty seconds (status 0 when none came).
    int signInFrom(const std::string& from) {
        RawConnection c(server_->port(), from);
        const std::string body = R"({"email":"partner@cradleway.test","password":"cradleway-demo"})";
        c.send("POST /m/api/signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
               "application/json\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body);
        auto statuses = statusesIn(c.readToClose(20));
        return statuses.empty() ? 0 : statuses.back();
    }

    // Sends the rest of each waiting JSON body (`count` more bytes of padding, then its end) in turn,
    // each answered 200.
    void finishEach(const std::vector<std::unique_ptr<RawConnection>>& uploads, size_t count) {
        const std::string rest = std::string(count, 'a') + "\"}";
        for (const auto& upload : uploads) {
            ASSERT_TRUE(upload->send(rest));
            EXPECT_EQ(statusesIn(upload->readToClose()), std::vector<int>{200});
        }
    }

    static constexpr const char* kTrickler = "127.0.0.2";
};

TEST_F(SlowBodyTest, AnotherAddressSignsInWhileOneAddressTricklesFortyBodies) {
    // Each of forty bodies has its head in and then one byte of its two hundred: ten times the workers.
    std::vector<std::unique_ptr<RawConnection>> trickles;
    for (int i = 0; i < 40; ++i)
        trickles.push_back(bodyComing(kTrickler, "analytics", 200, "{"));
    EXPECT_EQ(signInFrom("127.0.0.3"), 200);
    // ...and four large bodies that have only begun, as many as the workers, none of which holds one.
    const std::string large = R"({"email":"x@cradleway.test","padding":")";
    std::vector<std::unique_ptr<RawConnection>> uploads;
    for (int i = 0; i < 4; ++i)
        uploads.push_back(bodyComing(kTrickler, "member/check", 100 * 1024, large));
    EXPECT_EQ(signInFrom("127.0.0.3"), 200);
    EXPECT_EQ(signInFrom("127.0.0.4"), 200);
    // Every one of them is still waiting for its body: the sign-ins did not wait for them to end.
    for (const auto& trickle : trickles)
        EXPECT_FALSE(trickle->waitReadable(0));
    for (const auto& upload : uploads)
        EXPECT_FALSE(upload->waitReadable(0));

    // The address's bodies are taken as they come whole.
    finishEach(uploads, 100 * 1024 - large.size() - 2);
}

// However long its requests hold their workers, one address has at most its share of them.
class WorkerShareTest : public HeldDecodingTest {
protected:
    void adjust(ServerOptions& options) override {
        HeldDecodingTest::adjust(options);
        options.threads = 4;
        options.workersPerAddress = 3;
    }
};

TEST_F(WorkerShareTest, AnotherAddressIsAnsweredWhileOneAddressHoldsItsShareOfTheWorkers) {
    // Her picture posts hold three workers from this address: the first being decoded, held until
    // the test lets it go, the next two waiting for her turn.
    const Session mother = demoMother();
    for (int i = 0; i < 3; ++i)
        postPicture(mother);
    ASSERT_TRUE(eventually([this] { return began() == 1 && picturesWaitingForTheirSenders() == 2; }));
    // Her fourth waits for the address's turn with the workers, answered by none; and the worker left
    // answers another address at once.
    postPicture(mother);
    ASSERT_TRUE(eventually(
        [this] { return server_->requestsAwaitingTurn() + picturesWaitingForTheirSenders() == 3; }));
    EXPECT_EQ(server_->requestsAwaitingTurn(), 1u);
    EXPECT_EQ(postFrom("127.0.0.3", "member/check", {{"email", "new@cradleway.test"}}).status, 200);
    EXPECT_TRUE(replies().empty());

    // Once hers is read, each of hers has its turn.
    release();
    joinSenders();
    for (const Reply& reply : replies())
        EXPECT_EQ(reply.status, 200) << reply.raw;
    EXPECT_EQ(replies().size(), 4u);
}

// Bodies that trickle in from several addresses, each within its own share, each keeping to the least
// pace: a byte every half second, for as long as the test runs.
class TrickleFromManyTest : public SlowBodyTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 8;
        options.bodyGraceSeconds = 60;
    }

    static constexpr size_t kLength = 100 * 1024;
    struct Trickle {
        std::unique_ptr<RawConnection> connection;
        size_t sent = 0;
    };

    static constexpr std::string_view kFirst = R"({"email":"x@cradleway.test","padding":")";

    void begin(const std::string& from) {
        trickles_.push_back({bodyComing(from, "member/check", kLength, std::string(kFirst)), kFirst.size()});
    }
    // Sends the rest of a trickling body at once; the server's reply.
    std::string finish(Trickle& trickle) {
        trickle.connection->send(std::string(kLength - trickle.sent - 2, 'a') + "\"}");
        return trickle.connection->readToClose(20);
    }
    // What the server sends on `c`, waiting for it while the bodies trickle on; nothing when it sent
    // nothing within twenty seconds.
    std::string answerWhileTrickling(RawConnection& c) {
        for (int round = 0; round < 40; ++round) {
            for (auto& trickle : trickles_)
                trickle.sent += trickle.connection->send(" ") ? 1 : 0;
            if (c.waitReadable(500)) return c.readToClose(20);
        }
        return {};
    }
    int signInWhileTrickling(const std::string& from) {
        RawConnection c(server_->port(), from);
        const std::string body = R"({"email":"partner@cradleway.test","password":"cradleway-demo"})";
        c.send("POST /m/api/signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
               "application/json\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body);
        auto statuses = statusesIn(answerWhileTrickling(c));
        return statuses.empty() ? 0 : statuses.back();
    }

    std::vector<Trickle> trickles_;
};

TEST_F(TrickleFromManyTest, AnotherAddressSignsInAndUploadsWhileFourAddressesTrickleBodies) {
    // Four addresses, each with two large bodies trickling in: as many as the workers, none holding one.
    for (int address = 2; address < 6; ++address)
        for (int i = 0; i < 2; ++i)
            begin("127.0.0." + std::to_string(address));
    EXPECT_EQ(signInWhileTrickling("127.0.0.20"), 200);
    EXPECT_EQ(signInWhileTrickling("127.0.0.21"), 200);
    // A whole upload from another address is answered at once.
    const std::string whole = std::string(kFirst) + std::string(kLength - kFirst.size() - 2, 'a') + "\"}";
    auto upload = bodyComing("127.0.0.20", "member/check", kLength, whole);
    EXPECT_EQ(statusesIn(answerWhileTrickling(*upload)), std::vector<int>{200});
    // Each trickling body is taken as it comes whole.
    for (auto& trickle : trickles_)
        EXPECT_EQ(statusesIn(finish(trickle)), std::vector<int>{200});
    trickles_.clear();
}

class LeastBodyPaceTest : public SlowBodyTest {
protected:
    void adjust(ServerOptions& options) override {
        SlowBodyTest::adjust(options);
        options.bodyGraceSeconds = 2;
    }

    // Sends the rest of a body of 200 bytes one byte every tenth of a second, until the server
    // answers or the body is sent; the server's reply.
    static std::string trickle(RawConnection& c, size_t left) {
        for (size_t sent = 0; sent < left && !c.waitReadable(100); ++sent)
            c.send(sent + 1 == left ? "}" : " ");
        return c.readToClose();
    }
};

TEST_F(LeastBodyPaceTest, ABodyThatTricklesInIsCutOffAndOneThatPausesIsTaken) {
    // A small body, which the server gathers in memory, and a large one, which it gathers in a file:
    // each a byte every tenth of a second, far below the least pace.
    auto small = bodyComing(kTrickler, "analytics", 200, "{");
    const std::string slow = trickle(*small, 199);
    EXPECT_EQ(statusesIn(slow), std::vector<int>{408}) << slow;
    EXPECT_EQ(json::parse(lastBody(slow))["message"], "The request body arrived too slowly.");
    auto large = bodyComing(kTrickler, "member/check", 100 * 1024, "{");
    EXPECT_EQ(statusesIn(trickle(*large, 100 * 1024 - 1)), std::vector<int>{408});

    // A body that stops for a moment and then comes whole is taken.
    const std::string event = R"({"screen_name":"Feed","screen_action":"Tap","event_details":{}})";
    auto paused = bodyComing(kTrickler, "analytics", event.size(), event.substr(0, 10));
    EXPECT_FALSE(paused->waitReadable(300));
    paused->send(event.substr(10));
    EXPECT_EQ(statusesIn(paused->readToClose()), std::vector<int>{200});
}

// Room for a new connection is made by closing another: which one decides whether a flood of heads
// sent by halves crowds out the clients that come to finish a request.
class ConnectionRoomTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.maxConnections = 8;
        options.maxWaitingPerAddress = 4;
    }

    // Waits, within a generous bound, until the server holds `count` connections.
    bool openConnectionsReach(size_t count) {
        for (int waited = 0; waited < 500; ++waited) {
            if (server_->openConnections() == count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::unique_ptr<RawConnection> dawdle(const std::string& from) {
        return halfSentHead(server_->port(), from);
    }

    static constexpr const char* kRequest =
        "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
};

TEST_F(ConnectionRoomTest, HalfSentHeadsMakeRoomForFreshClientsNeverTheReverse) {
    // One address holds only its share of the places waiting for heads: each dawdler beyond the
    // fourth closes that address's longest-waiting one, never another address's fresh client.
    auto fresh = std::make_unique<RawConnection>(server_->port());
    ASSERT_TRUE(openConnectionsReach(1));
    std::vector<std::unique_ptr<RawConnection>> dawdlers;
    for (int i = 0; i < 20; ++i)
        dawdlers.push_back(dawdle("127.0.0.2"));
    EXPECT_TRUE(dawdlers[15]->waitReadable(10'000));
    EXPECT_TRUE(openConnectionsReach(5));
    ASSERT_TRUE(fresh->send(kRequest));
    EXPECT_EQ(statusesIn(fresh->readToClose()), std::vector<int>{200});

    // With every place taken, the dawdler that has waited longest makes room, not a client that
    // has connected and not spoken yet.
    dawdlers.erase(dawdlers.begin(), dawdlers.begin() + 16);
    for (int i = 0; i < 3; ++i)
        dawdlers.push_back(dawdle("127.0.0.3"));
    ASSERT_TRUE(openConnectionsReach(7));
    fresh = std::make_unique<RawConnection>(server_->port());
    ASSERT_TRUE(openConnectionsReach(8));
    dawdlers.push_back(dawdle("127.0.0.4"));
    EXPECT_TRUE(dawdlers.front()->waitReadable(10'000));
    ASSERT_TRUE(fresh->send(kRequest));
    EXPECT_EQ(statusesIn(fresh->readToClose()), std::vector<int>{200});
}

TEST_F(ConnectionRoomTest, WhenEveryPlaceIsTakenTheAddressHoldingTheMostUnfinishedHeadsGivesOneUp) {
    // A phone that connected first and has not spoken yet, then two addresses' dawdlers fill the rest.
    auto early = std::make_unique<RawConnection>(server_->port(), "127.0.0.3");
    ASSERT_TRUE(openConnectionsReach(1));
    std::vector<std::unique_ptr<RawConnection>> dawdlers;
    for (int i = 0; i < 4; ++i)
        dawdlers.push_back(dawdle("127.0.0.2"));
    for (int i = 0; i < 3; ++i)
        dawdlers.push_back(dawdle("127.0.0.5"));
    ASSERT_TRUE(openConnectionsReach(8));
    // The newcomer's place comes from the address holding the most: its longest-waiting dawdler.
    dawdlers.push_back(dawdle("127.0.0.4"));
    EXPECT_TRUE(dawdlers.front()->waitReadable(10'000));
    ASSERT_TRUE(early->send(kRequest));
    EXPECT_EQ(statusesIn(early->readToClose()), std::vector<int>{200});
}

// One process on a ward's address opening connections as fast as it can, each held until it has
// opened a few hundred more, as a broken or hostile program would.
class ConnectionChurnTest : public ServerTest {
protected:
    // A connection from `from`, whose port is chosen as it connects and which is reset when closed,
    // so that churning through ports leaves none waiting; -1 when it could not connect.
    static int churnConnection(const char* from, int port) {
        return connectFrom(port, from, [](int fd) {
            int yes = 1;
            ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &yes, sizeof yes);
            linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        });
    }

    // A phone whose request head follows 100 ms after it has connected: answered, or dropped.
    bool slowPhoneAnswered(const std::string& from) {
        RawConnection phone(server_->port(), from);
        if (!phone.connected()) return false;
        // The wait is the phone's own: the server closing it meanwhile ends the wait, and the request.
        if (phone.waitReadable(100)) return false;
        if (!phone.send("GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")) return false;
        return statusesIn(phone.readToClose(10)) == std::vector<int>{200};
    }

    static constexpr const char* kChurnAddress = "127.0.0.2";
};

TEST_F(ConnectionChurnTest, AProcessOpeningConnectionsAsFastAsItCanDropsNoSlowPhone) {
    const int port = server_->port();
    std::atomic<bool> churning{true};
    std::atomic<int64_t> opened{0};
    // Bounded by the test's end and by a count it cannot reach.
    std::thread churn([&] {
        std::vector<int> held(300, -1);
        for (size_t at = 0; churning && opened < 10'000'000; at = (at + 1) % held.size()) {
            int fd = churnConnection(kChurnAddress, port);
            if (fd < 0) continue;
            ++opened;
            if (held[at] >= 0) ::close(held[at]);
            held[at] = fd;
        }
        for (int fd : held)
            if (fd >= 0) ::close(fd);
    });
    for (int waited = 0; waited < 500 && opened < 400; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    int sameAddress = 0, otherAddress = 0, keptAlive = 0;
    for (int i = 0; i < 20; ++i) {
        sameAddress += slowPhoneAnswered(kChurnAddress);
        otherAddress += slowPhoneAnswered("127.0.0.3");
    }
    // A phone that keeps its connection open between requests, a tenth of a second apart. Its first
    // request goes as it connects: one that dawdles first is a slow phone's, above, which may lose its
    // place once in twenty to the churning process's next connection.
    RawConnection kept(port, kChurnAddress);
    for (int i = 0; i < 20 && kept.connected(); ++i) {
        if (i > 0 && kept.waitReadable(100)) break;
        if (!kept.send("GET /m/api/tandc HTTP/1.1\r\nHost: x\r\n\r\n")) break;
        if (statusesIn(kept.readReply(10)) != std::vector<int>{200}) break;
        ++keptAlive;
    }
    churning = false;
    churn.join();
    EXPECT_GE(opened.load(), 400);
    EXPECT_EQ(otherAddress, 20);
    EXPECT_GE(sameAddress, 19);
    EXPECT_GE(keptAlive, 19);
}

} // namespace
} // namespace cw::server::testing
