// The table of allowances behind every pace kept in memory (sign-ups, resets, usage events): what it
// forgets as it grows, and what it counts as one client. The gate that costly work takes turns at:
// whom a place that comes free goes to, and what it remembers of each client's turns.

#include "server/Quotas.h"
#include "server/RecentUse.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cw::server {
namespace {

constexpr int64_t kStart = 1'800'000'000;

RateKey resetOf(const std::string& email) {
    return {"reset", email, Rate{5, 3600}};
}

RateKey eventsFrom(const std::string& address) {
    return {"events-address", address, Rate{600, 60}};
}

TEST(AllowanceTable, AFloodOfNewKeysForgetsNoPerEmailResetCap) {
    RateLimiter table;
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(table.take({resetOf("demo@cradleway.test")}, kStart), 0);
    EXPECT_EQ(table.take({resetOf("demo@cradleway.test")}, kStart), 720);
    // Usage events from more addresses than the table holds keys of a kind, in the same second.
    for (int i = 0; i <= 100'000; ++i)
        ASSERT_EQ(table.take({eventsFrom("10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) +
                                         "." + std::to_string(i % 256))},
                             kStart + 1),
                  0);
    EXPECT_LE(table.size(), 100'001u);
    EXPECT_GT(table.take({resetOf("demo@cradleway.test")}, kStart + 1), 0);
}

TEST(AllowanceTable, KeysAreForgottenOldestFirstOnlyWhenRefilledOrPastTheBound) {
    RateLimiter table(3);
    const Rate twoAnHour{2, 3600};
    auto key = [&](const char* name) { return std::vector<RateKey>{{"signup", name, twoAnHour}}; };
    for (const char* name : {"a", "b", "c", "a"})
        ASSERT_EQ(table.take(key(name), kStart), 0);
    // "a" was used last: a fourth key makes the oldest, "b", go, and only it.
    ASSERT_EQ(table.take(key("d"), kStart), 0);
    EXPECT_EQ(table.size(), 3u);
    EXPECT_GT(table.take(key("a"), kStart), 0);
    EXPECT_EQ(table.take(key("b"), kStart), 0);
    EXPECT_EQ(table.take(key("b"), kStart), 0);
    EXPECT_GT(table.take(key("b"), kStart), 0);

    // Refilled keys go as later requests come, a few at a time, oldest first.
    RateLimiter quiet;
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(quiet.take({eventsFrom("192.0.2." + std::to_string(i))}, kStart), 0);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(quiet.take({eventsFrom("198.51.100.1")}, kStart + 60), 0);
    EXPECT_EQ(quiet.size(), 1u);

    // A request given back costs nothing.
    RateLimiter refunds;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(refunds.take(key("e"), kStart), 0) << i;
        refunds.giveBack(key("e"), kStart);
    }
}

TEST(AllowanceTable, AnIPv6AddressCountsAsItsSlash64) {
    EXPECT_EQ(networkOf("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(networkOf("2001:db8:1:2:bbbb:cccc:dddd:eeee"), "2001:db8:1:2::/64");
    EXPECT_EQ(networkOf("2001:db8:1:3::1"), "2001:db8:1:3::/64");
    EXPECT_EQ(networkOf("::1"), "::/64");
    EXPECT_EQ(networkOf("::ffff:192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(networkOf("192.0.2.7"), "192.0.2.7");

    // So one phone cycling through the addresses of its prefix is one client.
    RateLimiter table;
    const Rate threeAnHour{3, 3600};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(table.take({{"signup", networkOf("2001:db8:1:2::" + std::to_string(i + 1)), threeAnHour}},
                             kStart),
                  0);
    EXPECT_GT(table.take({{"signup", networkOf("2001:db8:1:2::99"), threeAnHour}}, kStart), 0);
    EXPECT_EQ(table.take({{"signup", networkOf("2001:db8:1:5::1"), threeAnHour}}, kStart), 0);
}

// Claimants waiting at a gate, each in its own thread, in the order they were added; `served()`
// lets `freed` give its place up and says in what order their turns were served.
class Line {
public:
    explicit Line(Gate& gate) : gate_(gate) {}
    void wait(const std::string& claimant) {
        const size_t before = gate_.waiting();
        threads_.emplace_back([this, claimant] {
            Gate::Turn turn(gate_, std::chrono::seconds(60), claimant);
            EXPECT_TRUE(turn);
            std::lock_guard lock(mutex_);
            served_.push_back(claimant);
        });
        while (gate_.waiting() == before)
            std::this_thread::yield();
    }
    std::vector<std::string> served(std::optional<Gate::Turn>& freed) {
        freed.reset();
        for (auto& thread : threads_)
            thread.join();
        threads_.clear();
        return served_;
    }

private:
    Gate& gate_;
    std::mutex mutex_;
    std::vector<std::string> served_;
    std::vector<std::thread> threads_;
};

// The claimants in the order their turns were served, when each waits in the order given and then
// `freed` gives its place up.
std::vector<std::string> servedInTurn(Gate& gate, std::optional<Gate::Turn>& freed,
                                      std::initializer_list<const char*> claimants) {
    Line line(gate);
    for (const char* claimant : claimants)
        line.wait(claimant);
    return line.served(freed);
}

TEST(GateTurns, APlaceThatComesFreeGoesToTheClaimantHoldingFewestAheadOfACrowd) {
    // One client holds both places, and has more waiting before and after another client's turn. A
    // place comes free while the crowd still holds the other.
    Gate gate(2);
    std::optional<Gate::Turn> first(std::in_place, gate, std::chrono::milliseconds(0), "crowd");
    Gate::Turn second(gate, std::chrono::milliseconds(0), "crowd");
    // Each passed its place on as it was served, the crowd's own in the order they came.
    EXPECT_EQ(servedInTurn(gate, first, {"crowd", "crowd", "other", "crowd", "crowd"}),
              (std::vector<std::string>{"other", "crowd", "crowd", "crowd", "crowd"}));
}

TEST(GateTurns, AtAGateOfOnePlaceAClaimantWithNoRecentTurnGoesAheadOfACrowdThatCameFirst) {
    // A gate of one place (the database's writes): nobody holds any while they wait, so holding the
    // fewest tells no one apart. The crowd had the last turn, and has queued before and after another.
    // Every turn counts as one, however long a busy machine makes it last.
    Gate gate(1, std::chrono::minutes(1));
    std::optional<Gate::Turn> held(std::in_place, gate, std::chrono::milliseconds(0), "crowd");
    // The two that had no turn go first in the order they came; then each goes whose last turn is
    // longest past, so that the other's second waits for one of the crowd's, not for all of them.
    EXPECT_EQ(servedInTurn(gate, held, {"crowd", "crowd", "crowd", "other", "third", "crowd", "other"}),
              (std::vector<std::string>{"other", "third", "crowd", "other", "crowd", "crowd", "crowd"}));
}

TEST(GateTurns, ACrowdOfClaimantsThatEachHoldNothingBetweenTheirTurnsWaitsBehindANewcomer) {
    // As found: many addresses each sign in one request at a time. Between their turns each holds and
    // awaits nothing; their turns are remembered all the same.
    Gate gate(1, std::chrono::minutes(1));
    for (const char* claimant : {"crowd-a", "crowd-b", "crowd-c"})
        EXPECT_TRUE(Gate::Turn(gate, std::chrono::milliseconds(0), claimant));
    std::optional<Gate::Turn> held(std::in_place, gate, std::chrono::milliseconds(0), "crowd-d");
    EXPECT_EQ(servedInTurn(gate, held, {"crowd-a", "crowd-b", "crowd-c", "mother"}),
              (std::vector<std::string>{"mother", "crowd-a", "crowd-b", "crowd-c"}));
}

TEST(GateTurns, ACrowdOfAddressesEachUsedOnceWaitsBehindAnAddressThatHadATurnElsewhere) {
    // As found: a crowd sends each request from an address it never used before, so that each looks
    // like a newcomer, and the mother's phone, which had a turn a moment ago, waited behind all of
    // them for as long as the crowd went on. Its addresses share their neighbourhood's turns.
    EXPECT_EQ(RecentUse::neighbourhoodOf("198.51.100.7"), "198.51.100.0/24");
    EXPECT_EQ(RecentUse::neighbourhoodOf("2001:db8:1:2::/64"), "2001:db8:1::/48");
    EXPECT_EQ(RecentUse::neighbourhoodOf("crowd"), "");
    const std::function<std::string(int)> crowds[] = {
        [](int i) { return "198.51.100." + std::to_string(i); },
        [](int i) { return "2001:db8:1:" + std::to_string(i) + "::/64"; },
    };
    for (const auto& crowd : crowds) {
        Gate gate(1, std::chrono::minutes(1));
        EXPECT_TRUE(Gate::Turn(gate, std::chrono::milliseconds(0), "192.0.2.7"));
        for (int i = 1; i <= 3; ++i)
            EXPECT_TRUE(Gate::Turn(gate, std::chrono::milliseconds(0), crowd(i)));
        std::optional<Gate::Turn> held(std::in_place, gate, std::chrono::milliseconds(0), crowd(4));
        const std::string a = crowd(5), b = crowd(6);
        EXPECT_EQ(servedInTurn(gate, held, {a.c_str(), b.c_str(), "192.0.2.7"}),
                  (std::vector<std::string>{"192.0.2.7", a, b}));
    }
}

TEST(GateTurns, ACrowdFromNewNeighbourhoodsGoesAheadOfAPhoneThatHadATurnOnlyUntilItsExtraIsWaitedOut) {
    // As found: a crowd spread over many neighbourhoods sends each request from one it never used
    // before, and a phone that had a turn a moment ago waited behind every one of them, without end.
    // Its turn falls due once it has waited what it had, shared out among those waiting with it: a
    // unit of a millisecond here, so a few milliseconds.
    Gate gate(1, std::chrono::milliseconds(1));
    EXPECT_TRUE(Gate::Turn(gate, std::chrono::milliseconds(0), "192.0.2.7"));
    std::optional<Gate::Turn> held(std::in_place, gate, std::chrono::milliseconds(0), "10.0.0.1");
    Line line(gate);
    line.wait("192.0.2.7");
    // Far longer than its extra: five claimants, two units each had by the phone and its neighbourhood.
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
         std::chrono::steady_clock::now() < until;)
        std::this_thread::yield();
    for (int i = 2; i <= 4; ++i)
        line.wait("10.0." + std::to_string(i) + ".1");
    EXPECT_EQ(line.served(held), (std::vector<std::string>{"192.0.2.7", "10.0.2.1", "10.0.3.1", "10.0.4.1"}));
}

TEST(GateTurns, TimeWaitedForAPlaceIsNotCountedAsTimeAWorkerWasHeld) {
    // As found: under a crowd a sign-in's worker waited seconds for a core to hash on, and that wait
    // counted as the worker's time against the phone's address, so that each answer made its next
    // wait behind a crowd of new addresses longer. The wait is the gate's to order, once.
    Gate gate(1);
    Gate::Turn held(gate, std::chrono::milliseconds(0), "10.0.0.1");
    takeTimeWaitedAtGates();
    EXPECT_FALSE(Gate::Turn(gate, std::chrono::milliseconds(50), "192.0.2.7"));
    EXPECT_GE(takeTimeWaitedAtGates(), std::chrono::milliseconds(50));
    EXPECT_EQ(takeTimeWaitedAtGates(), std::chrono::steady_clock::duration::zero());
}

TEST(RecentTurns, EachTurnCountsItsTimeAtLeastOnceAndFadesByHalfEachHalfLife) {
    using namespace std::chrono_literals;
    const auto start = RecentUse::Clock::time_point{} + 1000h;
    RecentUse use(100ms, 60s, 3);
    // A quick turn counts one unit; a decoding that held its place two seconds, and was refused at the
    // end of them, counts twenty.
    use.began("quick", start);
    use.ended("quick", 1ms, start);
    use.began("slow", start);
    use.ended("slow", 2s, start + 2s);
    EXPECT_DOUBLE_EQ(use.of("quick", start), 1.0);
    EXPECT_NEAR(use.of("slow", start + 2s), 20.0, 0.05);
    EXPECT_EQ(use.of("never", start), 0.0);
    // What they had fades by half each minute, and is remembered while they hold nothing.
    EXPECT_DOUBLE_EQ(use.of("quick", start + 60s), 0.5);
    EXPECT_NEAR(use.of("slow", start + 122s), 5.0, 0.05);
    // After minutes a single turn is forgotten, as new claimants come...
    use.began("later", start + 10min);
    EXPECT_EQ(use.size(), 2u);
    EXPECT_EQ(use.of("quick", start + 10min), 0.0);
    EXPECT_GT(use.of("slow", start + 10min), 0.0);
    // ...and the table never holds more than its bound, the least recently counted going first.
    use.began("fourth", start + 10min);
    use.began("fifth", start + 10min);
    EXPECT_EQ(use.size(), 3u);
    EXPECT_EQ(use.of("slow", start + 10min), 0.0);
}

} // namespace
} // namespace cw::server
