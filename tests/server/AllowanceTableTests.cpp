// The table of allowances behind every pace kept in memory (sign-ups, resets, usage events): what it
// forgets as it grows, and what it counts as one client.

#include "server/Quotas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

} // namespace
} // namespace cw::server
