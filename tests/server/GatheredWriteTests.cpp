// Writes no reply waits for (usage events, the counts of wrong guesses) are gathered and made a moment
// later, together: a request that makes one is answered while another writer holds the database, and
// what it wrote is there once the writer lets go.

#include "ServerFixture.h"

#include <string>
#include <vector>

namespace cw::server::testing {
namespace {

using GatheredWriteTest = ServerTest;

TEST_F(GatheredWriteTest, WritesNoReplyWaitsForAreAnsweredWhileAnotherWriterHoldsTheDatabase) {
    const Session mother = demoMother();
    const json event = {{"screen_name", "FeedScreen"}, {"screen_action", "Tap"}, {"event_details", {{"card", 29}}}};
    struct Case {
        const char* what;
        std::function<Reply()> send;
        int status;
        const char* kept; // counts the rows it leaves
    };
    const std::vector<Case> cases = {
        {"her usage event", [&] { return post("analytics", event, mother.access); }, 200,
         "SELECT COUNT(*) FROM analytics_events WHERE member_id IS NOT NULL AND ? = 1"},
        {"a usage event from a phone signed out", [&] { return post("analytics", event); }, 200,
         "SELECT COUNT(*) FROM analytics_events WHERE member_id IS NULL AND ? = 1"},
        {"a wrong password", [&] {
             return post("signin", {{"email", "partner@cradleway.test"}, {"password", "not-his-password"}});
         }, 403, "SELECT COUNT(*) FROM throttles WHERE scope = 'password' AND ? = 1"},
    };
    Connection writer((dir_ / "cradleway.db").string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t before = writer.queryInteger(c.kept, 1).value_or(-1);
        // Written by its request instead, an event waited ten seconds for the writer and was answered
        // 500, and nothing was kept.
        writer.exec("BEGIN IMMEDIATE");
        const auto sent = std::chrono::steady_clock::now();
        const Reply reply = c.send();
        const auto waited = std::chrono::steady_clock::now() - sent;
        writer.exec("COMMIT");
        EXPECT_EQ(reply.status, c.status) << reply.raw;
        EXPECT_LT(waited, std::chrono::seconds(5));
        server_->state().pool->flushGathered();
        EXPECT_EQ(writer.queryInteger(c.kept, 1), before + 1);
    }
}

} // namespace
} // namespace cw::server::testing
