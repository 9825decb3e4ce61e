#include "ServerFixture.h"

namespace cw::server::testing {
namespace {

class DemoDatesTest : public ServerTest {
protected:
    json feed(const Session& s) {
        Reply reply = post("content", {{"baby_ids", {1, 2}}, {"user_id", s.userId}}, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        return reply.body["data"];
    }
    static std::string postTime(const json& feed, const std::string& text) {
        for (const json& card : feed["posts"])
            if (card["post_text"] == text) return card["created_at"];
        return "no such post";
    }
    json dailyUpdates(const Session& s) {
        Reply reply = post("baby/daily_update", {{"baby_id", 1}, {"user_id", s.userId}}, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        return reply.body;
    }
};

TEST_F(DemoDatesTest, ADemoLoadedDaysAgoReadsAsIfLoadedTodayWhileWhatMembersAddedKeepsItsDate) {
    const std::string hats = "Knitted two tiny hats for the twins. Blue and pink, of course.";
    // Loaded at 08:00 on 15 January 2027.
    Session mother = demoMother();
    const json loaded = dailyUpdates(mother);
    ASSERT_EQ(loaded["daily_update"].back()["updated_at"], "2027-01-15T07:00:00+0000");
    ASSERT_EQ(multipart("post", {{"user_id", std::to_string(mother.userId), "", ""}, {"post_text", "Our own news", "", ""}},
                        mother.access)
                  .status,
              200);
    const json before = feed(mother);
    EXPECT_EQ(postTime(before, "Our own news"), "2027-01-15T08:00:00.000+0000");
    EXPECT_EQ(postTime(before, hats), "2027-01-14T06:00:00.000+0000");

    // Started again at 04:00 five days later: the latest daily update, written at 07:00 of its day,
    // is today's, and stands at now rather than ahead of it.
    now_ += 4 * 86400 + 20 * 3600;
    restart();
    mother = demoMother();
    const json moved = dailyUpdates(mother);
    EXPECT_EQ(moved["daily_update"].back()["updated_at"], "2027-01-20T04:00:00+0000");
    EXPECT_EQ(moved["daily_update"][moved["daily_update"].size() - 2]["updated_at"], "2027-01-19T07:00:00+0000");
    for (const char* age : {"days_of_life_description", "gestational_age_description", "adjusted_gestational_age_description"})
        EXPECT_EQ(moved[age], loaded[age]) << "the twins are as old as they were: " << age;
    const json after = feed(mother);
    EXPECT_EQ(postTime(after, hats), "2027-01-19T06:00:00.000+0000");
    EXPECT_EQ(postTime(after, "Our own news"), "2027-01-15T08:00:00.000+0000") << "a member's post keeps its date";
    EXPECT_EQ(after["content"].size(), before["content"].size()) << "no article lies ahead of now";
    EXPECT_EQ(after["daily_update"].front()["created_at"], "2027-01-20T04:00:00.000+0000");
    const auto lines = consoleLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "demo: its dates moved 5 days forward, to today"), lines.end());

    // The milestones moved with the babies: the first bath was yesterday.
    Reply journey = post("baby/nicu_journey_data", {{"baby_id", 1}, {"user_id", mother.userId}}, mother.access);
    ASSERT_EQ(journey.status, 200) << journey.raw;
    EXPECT_NE(journey.raw.find("\"Jan 19, 2027\""), std::string::npos) << journey.raw;
    EXPECT_EQ(journey.raw.find("\"Jan 14, 2027\""), std::string::npos) << journey.raw;

    // Another start the same day moves nothing.
    now_ += 3600;
    restart();
    mother = demoMother();
    EXPECT_EQ(postTime(feed(mother), hats), "2027-01-19T06:00:00.000+0000");
}

} // namespace
} // namespace cw::server::testing
