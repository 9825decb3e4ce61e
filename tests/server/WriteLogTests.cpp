// What a flood of small writes costs the disk: the database's write-ahead log stays bounded while one
// account (or twenty) writes back to back, the disk is left as it was, another member is answered
// meanwhile, and what the writes cost the log counts in their sender's allowance.

#include "ServerFixture.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

class WriteLogTest : public ServerTest {
protected:
    // A log of 32 pages (128 KB) is copied; past four times that, it is started again, and past eight
    // times, the writers wait for that.
    static constexpr int kPages = 32;
    void adjust(ServerOptions& options) override {
        options.checkpointPages = kPages;
        options.rates.signUpsByAddress = {100, 3600};
    }

    std::filesystem::path database() const { return dir_ / "cradleway.db"; }
    uintmax_t logBytes() const {
        std::error_code missing;
        const uintmax_t bytes = std::filesystem::file_size(database().string() + "-wal", missing);
        return missing ? 0 : bytes;
    }
    uintmax_t databaseBytes() const { return std::filesystem::file_size(database()); }
    // Waits (a bounded while) for the log to be emptied once the writes have stopped.
    bool logEmptied() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (logBytes() > 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        return logBytes() == 0;
    }

    Reply send(const std::string& path, const json& body, const Session& by, const std::string& key = "") {
        httplib::Headers headers = app_.headers(by.access);
        if (!key.empty()) headers.emplace("Idempotency-Key", key);
        return toReply(client_->Post(("/m/api/" + path).c_str(), headers, body.dump(), "application/json"));
    }
    Reply rename(const Session& by, int i, bool keyed) {
        return send("member/update", {{"user_id", by.userId}, {"full_name", "Name " + std::to_string(i)}}, by,
                    keyed ? "flood-" + std::to_string(i) : "");
    }
};

// As found: one account sending member updates back to back, each with its key, grew the log by
// about 40 KB a request, without end (1.6 GB in 25 s), and it shrank only when the server stopped;
// unkeyed, and from twenty accounts, the same. The checkpoints were passive only: with a write always
// following the last, the log was never wholly copied, so never started again.
TEST_F(WriteLogTest, AFloodOfSmallWritesKeepsTheLogBoundedAndLeavesTheDiskAsItWas) {
    struct Flood {
        const char* name;
        int accounts;
        bool keyed;
    };
    const Flood floods[] = {
        {"one account, keyed", 1, true},
        {"one account, unkeyed", 1, false},
        {"twenty accounts, keyed", 20, true},
    };
    const Session father = signIn("partner@cradleway.test", "cradleway-demo");
    int made = 0;
    for (const Flood& flood : floods) {
        SCOPED_TRACE(flood.name);
        std::vector<Session> senders;
        for (int i = 0; i < flood.accounts; ++i)
            senders.push_back(flood.accounts == 1 ? demoMother()
                                                  : signUpStranger("flood" + std::to_string(++made) + "@example.com"));
        // The sign-ups' writes copied first, so that the database's size is what it holds.
        logEmptied();
        const uintmax_t databaseBefore = databaseBytes();
        uintmax_t largest = 0;
        for (int i = 0; i < 1000; ++i) {
            const Reply reply = rename(senders[static_cast<size_t>(i) % senders.size()], i, flood.keyed);
            ASSERT_EQ(reply.status, 200) << i << " " << reply.raw;
            largest = std::max(largest, logBytes());
            // Another member is answered meanwhile, her writes and her feed.
            if (i % 250 == 0) {
                EXPECT_EQ(send("member/update", {{"user_id", father.userId}, {"full_name", "James Hart"}}, father)
                              .status,
                          200);
                EXPECT_EQ(send("content", {{"baby_ids", {1, 2}}, {"user_id", father.userId}}, father).status, 200);
            }
        }
        // Eight times the log's length, and what the writes under way add.
        EXPECT_LT(largest, uintmax_t{kPages} * 4096 * 16);
        EXPECT_TRUE(logEmptied());
        // What the keys keep, and nothing of the log.
        EXPECT_LT(databaseBytes(), databaseBefore + 1024 * 1024);
    }
}

// What her writes cost the log is taken from her storage allowance, on every road a write takes,
// besides what they store; a flood is refused for her alone, and she is answered again as it refills.
class WriteCostTest : public WriteLogTest {
protected:
    static constexpr int64_t kAllowance = 1024 * 1024;
    void adjust(ServerOptions& options) override {
        WriteLogTest::adjust(options);
        options.rates.storedBytesByMember = {kAllowance, 3600};
        options.rates.itemsByMember = {100'000, 3600};
    }
};

TEST_F(WriteCostTest, WhatAMembersWritesCostTheLogCountsInHerStorage) {
    struct Road {
        const char* name;
        std::function<Reply(const Session&, int)> write;
    };
    const Road roads[] = {
        {"a member update with its key", [&](const Session& s, int i) { return rename(s, i, true); }},
        {"a member update", [&](const Session& s, int i) { return rename(s, i, false); }},
        {"a comment",
         [&](const Session& s, int i) {
             return send("comments/new",
                         {{"comment_text", "C" + std::to_string(i)}, {"feed_id", 1}, {"user_id", s.userId}}, s);
         }},
        {"a card bookmarked and let go",
         [&](const Session& s, int i) {
             return send(i % 2 ? "content/unbookmark_card" : "content/bookmark_card",
                         {{"feed_id", 4}, {"user_id", s.userId}}, s);
         }},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        const Session mother = demoMother();
        const Session father = signIn("partner@cradleway.test", "cradleway-demo");
        // Counted by what they store alone, each costs far less than a kilobyte and a key's kilobyte:
        // a thousand of them fit in her allowance. What each writes to the log costs several.
        int sent = 0;
        Reply refused;
        for (; sent < 1000; ++sent) {
            refused = road.write(mother, sent);
            if (refused.status != 200) break;
        }
        EXPECT_LT(sent, 400);
        EXPECT_EQ(refused.status, 429) << refused.raw;
        EXPECT_TRUE(refused.body.value("message", "").starts_with(
            "Too much was stored from this account in the last hour. Please try again in"))
            << refused.raw;
        expectWaitTold(refused);
        // Nobody else is slowed.
        EXPECT_EQ(send("member/update", {{"user_id", father.userId}, {"full_name", "James Hart"}}, father).status, 200);
        // An hour on, she writes again.
        now_ += 3600;
        EXPECT_EQ(road.write(demoMother(), 5000).status, 200);
        now_ += 3600;
    }
}

// The keys a server kept before their bookkeeping was made cheaper are kept through the upgrade: a
// retry after it is answered as the first, not done again.
TEST_F(WriteLogTest, KeysKeptBeforeTheUpgradeStillAnswerTheirRetries) {
    const Session mother = demoMother();
    auto comment = [&] {
        return send("comments/new", {{"comment_text", "Before the upgrade"}, {"feed_id", 1}, {"user_id", mother.userId}},
                    mother, "upgrade-key");
    };
    ASSERT_EQ(comment().status, 200);
    {
        // The table as the server before kept it, named by the key's hash with three indexes.
        Connection db(database().string());
        db.exec("CREATE TABLE replays_before (id TEXT PRIMARY KEY, owner TEXT NOT NULL, fingerprint TEXT NOT NULL, "
                "status INTEGER NOT NULL, made TEXT NOT NULL, created_at INTEGER NOT NULL);"
                "INSERT INTO replays_before SELECT id, owner, fingerprint, status, made, created_at FROM request_replays;"
                "DROP TABLE request_replays; ALTER TABLE replays_before RENAME TO request_replays;"
                "CREATE INDEX request_replays_owner ON request_replays(owner, created_at);"
                "CREATE INDEX request_replays_created_at ON request_replays(created_at);"
                "UPDATE schema_version SET version = version - 1");
    }
    restart();
    EXPECT_EQ(comment().status, 200);
    Connection db(database().string());
    EXPECT_EQ(db.queryInteger("SELECT COUNT(*) FROM comments WHERE comment_text = 'Before the upgrade' AND ? = 1", 1),
              1);
}

} // namespace
} // namespace cw::server::testing
