// Clients that are slow, idle or many: none of them holds up the others.

#include "ServerFixture.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

class ConnectionTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 4;
        options.headerSeconds = 1;
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

} // namespace
} // namespace cw::server::testing
