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
    json dailyUpdates(const Session& s, int64_t baby = 1) {
        Reply reply = post("baby/daily_update", {{"baby_id", baby}, {"user_id", s.userId}}, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        return reply.body;
    }
    std::string journey(const Session& s, int64_t baby) {
        Reply reply = post("baby/nicu_journey_data", {{"baby_id", baby}, {"user_id", s.userId}}, s.access);
        EXPECT_EQ(reply.status, 200) << reply.raw;
        return reply.raw;
    }
    // The demo's record of the day its dates stand at, set as a clock or a hand might have left it.
    void storeDemoDay(int64_t day) {
        auto lease = server_->state().pool->acquire();
        lease->prepare("UPDATE demo SET day = ?").with(day).run();
    }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
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

TEST_F(DemoDatesTest, AMembersMilestoneThatTakesADeletedDemoMilestonesIdKeepsItsDate) {
    Session mother = demoMother();
    // The demo's newest milestone is Noah's first bath; the mother deletes it, and her own milestone
    // then takes its id.
    int64_t bath = 0;
    const json before = json::parse(journey(mother, 2));
    for (const auto& [week, items] : before["nicu_journey_data"].items())
        for (const auto& item : items)
            if (item["label"] == "My first bath") bath = item["id"];
    ASSERT_NE(bath, 0);
    ASSERT_EQ(post("baby/nicu_journey_delete", {{"baby_id", 2}, {"user_id", mother.userId}, {"id", bath}}, mother.access)
                  .status,
              200);
    Reply added = multipart("baby/nicu_journey_add", {{"baby_id", "2", "", ""},
                                                      {"user_id", std::to_string(mother.userId), "", ""},
                                                      {"date", "2027-01-10", "", ""},
                                                      {"type", "other", "", ""},
                                                      {"input_text", "Noah held my finger", "", ""}},
                            mother.access);
    ASSERT_EQ(added.status, 200) << added.raw;
    ASSERT_EQ(added.body["nicu_journey_add"]["id"], bath) << "the test needs the id taken again";

    for (int start = 0; start < 2; ++start) {
        now_ += 3 * 86400;
        restart();
        mother = demoMother();
        const std::string after = journey(mother, 2);
        EXPECT_NE(after.find("\"Jan 10, 2027\""), std::string::npos) << "start " << start << ": " << after;
    }
}

TEST_F(DemoDatesTest, DatesAMemberSetNeitherMoveTheDemoNorMoveWithIt) {
    const std::string hats = "Knitted two tiny hats for the twins. Blue and pink, of course.";
    Session mother = demoMother();
    const std::string me = std::to_string(mother.userId);
    auto milestone = [&](const std::string& label) {
        const json data = json::parse(journey(mother, 1));
        for (const auto& [week, items] : data["nicu_journey_data"].items())
            for (const auto& item : items)
                if (item["label"] == label) return std::to_string(item["id"].get<int64_t>());
        return std::string("none");
    };
    auto moveMilestone = [&](const std::string& label, const std::string& date) {
        return multipart("baby/nicu_journey_edit",
                         {{"baby_id", "1", "", ""},
                          {"user_id", me, "", ""},
                          {"id", milestone(label), "", ""},
                          {"date", date, "", ""}},
                         mother.access)
            .status;
    };
    // As found: a milestone of the demo's dated next December, another moved to a day of her own, and
    // Olivia's birthday set a month ahead.
    ASSERT_EQ(moveMilestone("First kangaroo care", "2027-12-08"), 200);
    ASSERT_EQ(moveMilestone("Grandma Ruth came", "2027-01-10"), 200);
    const json olivia = mother.reply["babies"][0];
    ASSERT_EQ(post("baby/update",
                   {{"user_id", mother.userId},
                    {"babies",
                     {{{"id", 1},
                       {"full_name", "Olivia Hart"},
                       {"birthday", "2027-02-15"},
                       {"expected_birthday", olivia["expected_birthday"]},
                       {"gender", "Female"}}}}},
                   mother.access)
                  .status,
              200);
    auto moved = [&] {
        for (const auto& line : consoleLines())
            if (line.starts_with("demo: its dates moved")) return line;
        return std::string();
    };
    auto expectHerDates = [&](const char* when) {
        const std::string journeyNow = journey(mother, 1);
        EXPECT_NE(journeyNow.find("\"Dec 8, 2027\""), std::string::npos) << when << journeyNow;
        EXPECT_NE(journeyNow.find("\"Jan 10, 2027\""), std::string::npos) << when << journeyNow;
        EXPECT_EQ(mother.reply["babies"][0]["birthday"], "2027-02-15") << when;
    };

    // Started again the same day: nothing moves.
    now_ += 3600;
    restart();
    mother = demoMother();
    EXPECT_EQ(moved(), "");
    EXPECT_EQ(dailyUpdates(mother)["daily_update"].back()["updated_at"], "2027-01-15T07:00:00+0000");
    EXPECT_EQ(postTime(feed(mother), hats), "2027-01-14T06:00:00.000+0000");
    expectHerDates("the same day: ");

    // Three days later the demo's own dates move three days; hers stay where she put them.
    now_ += 3 * 86400;
    restart();
    mother = demoMother();
    EXPECT_EQ(moved(), "demo: its dates moved 3 days forward, to today");
    EXPECT_EQ(dailyUpdates(mother)["daily_update"].back()["updated_at"], "2027-01-18T07:00:00+0000");
    EXPECT_EQ(postTime(feed(mother), hats), "2027-01-17T06:00:00.000+0000");
    EXPECT_NE(journey(mother, 1).find("\"Jan 17, 2027\""), std::string::npos) << "the first bath moved";
    EXPECT_EQ(mother.reply["babies"][1]["birthday"], "2026-12-25") << "Noah's birthday is the demo's";
    expectHerDates("three days later: ");
}

TEST_F(DemoDatesTest, TheDemosBabyClaimedByAFamilyKeepsTheBirthdayTheFamilyGave) {
    ASSERT_EQ(post("baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    json body = {{"full_name", "Ana Lopez"},
                 {"email", "ana@cradleway.test"},
                 {"relationship", "Mother"},
                 {"password", "anas-password"},
                 {"babies", json::array({{{"id", 3},
                                          {"full_name", "Mia Lopez"},
                                          {"birthday", "2027-01-02"},
                                          {"expected_birthday", "2027-02-20"},
                                          {"gender", "Female"}}})}};
    Reply signup = post("signup/", body);
    ASSERT_EQ(signup.status, 200) << signup.raw;

    now_ += 5 * 86400;
    restart();
    Session ana = signIn("ana@cradleway.test", "anas-password");
    ASSERT_EQ(ana.reply["babies"].size(), 1u) << ana.reply;
    EXPECT_EQ(ana.reply["babies"][0]["birthday"], "2027-01-02");
    EXPECT_EQ(ana.reply["babies"][0]["expected_birthday"], "2027-02-24") << "the hospital's, as looked up";
    // The twins, still the demo's, moved with it.
    const json twins = demoMother().reply["babies"];
    ASSERT_FALSE(twins.empty());
    EXPECT_EQ(twins[0]["birthday"], "2026-12-27");
}

TEST_F(DemoDatesTest, NoDemoDateMovesPastTodayWhateverDayWasStored) {
    Session mother = demoMother();
    const json loaded = dailyUpdates(mother);
    const std::string latest = loaded["daily_update"].back()["updated_at"];
    ASSERT_EQ(latest, "2027-01-15T07:00:00+0000");

    // A stored day long before the demo's own dates (a hand, or a clock that once stood at 1970):
    // the demo is already at today and stays there.
    storeDemoDay(0);
    restart();
    mother = demoMother();
    json again = dailyUpdates(mother);
    EXPECT_EQ(again["daily_update"].back()["updated_at"], latest);
    EXPECT_EQ(again["days_of_life_description"], loaded["days_of_life_description"]);
    EXPECT_EQ(mother.reply["babies"][0]["birthday"], "2026-12-22");

    // A start with the clock thirty days ahead moves the demo there; the next start, with the clock
    // right again, brings it back to today rather than leaving it in the future for good. (The
    // session of the start ahead is used then: sign-ins counted ahead of the clock are not.)
    now_ += 30 * 86400;
    restart();
    mother = demoMother();
    EXPECT_EQ(dailyUpdates(mother)["daily_update"].back()["updated_at"], "2027-02-14T07:00:00+0000");
    now_ -= 30 * 86400;
    restart();
    again = dailyUpdates(mother);
    EXPECT_EQ(again["daily_update"].back()["updated_at"], latest);
    EXPECT_EQ(again["days_of_life_description"], loaded["days_of_life_description"]);
    Reply babies = post("baby/nicu_journey_data", {{"baby_id", 1}, {"user_id", mother.userId}}, mother.access);
    EXPECT_NE(babies.raw.find("\"Jan 14, 2027\""), std::string::npos) << "the first bath, yesterday: " << babies.raw;
    EXPECT_TRUE(has(consoleLines(), "demo: its dates moved 30 days back, to today"));
}

TEST_F(DemoDatesTest, ADemoLoadedByTheLastServerKeepsMovingItsOwnRowsButNotAClaimedBaby) {
    Session mother = demoMother();
    // The mother had dated a milestone of the demo's next December.
    ASSERT_EQ(multipart("baby/nicu_journey_edit",
                        {{"baby_id", "1", "", ""},
                         {"user_id", std::to_string(mother.userId), "", ""},
                         {"id", "4", "", ""},
                         {"date", "2027-12-08", "", ""}},
                        mother.access)
                  .status,
              200);
    ASSERT_EQ(post("baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    json body = {{"full_name", "Ana Lopez"}, {"email", "ana@cradleway.test"}, {"relationship", "Mother"},
                 {"password", "anas-password"},
                 {"babies", json::array({{{"id", 3}, {"full_name", "Mia Lopez"}, {"birthday", "2027-01-02"},
                                          {"expected_birthday", "2027-02-20"}, {"gender", "Female"}}})}};
    ASSERT_EQ(post("signup/", body).status, 200);
    {
        // What the last server kept: the id ranges of its seed, and the day it stood at.
        auto lease = server_->state().pool->acquire();
        json ranges = json::object();
        for (const char* table : {"members", "invitations", "babies", "posts", "measurements", "journey_items",
                                  "questions", "education_content", "comments", "bookmarks", "notifications"})
            ranges[table] = {0, *lease->queryInteger(std::string("SELECT MAX(id) + 0 * ? FROM ") + table, 1)};
        ranges["members"] = {0, 3};
        lease->prepare("UPDATE demo SET rows = ?").with(ranges.dump()).run();
        lease->exec("DROP TABLE demo_rows; DROP TABLE demo_dates");
    }
    now_ += 2 * 86400;
    restart();
    mother = demoMother();
    EXPECT_EQ(dailyUpdates(mother)["daily_update"].back()["updated_at"], "2027-01-17T07:00:00+0000");
    // A date past the day the demo stood at was a member's: it stays.
    EXPECT_NE(journey(mother, 1).find("\"Dec 8, 2027\""), std::string::npos);
    EXPECT_EQ(mother.reply["babies"][0]["birthday"], "2026-12-24");
    EXPECT_EQ(signIn("ana@cradleway.test", "anas-password").reply["babies"][0]["birthday"], "2027-01-02");
}

TEST_F(DemoDatesTest, EachTwinsLastWeighingIsTheOneItsDailyUpdateQuotes) {
    Session mother = demoMother();
    for (int64_t baby : {1, 2}) {
        Reply weights = post("baby/weight", {{"baby_id", baby}, {"user_id", mother.userId}}, mother.access);
        ASSERT_EQ(weights.status, 200) << weights.raw;
        const json& series = weights.body["weight"];
        ASSERT_FALSE(series.empty());
        const int64_t grams = std::lround(series.back()["value"].get<double>());
        const std::string quoted = std::to_string(grams / 1000) + "," + std::to_string(grams % 1000 + 1000).substr(1) + " g";
        const json update = dailyUpdates(mother, baby)["daily_update"].back();
        EXPECT_EQ(update["items"][0]["value"], quoted);
        EXPECT_LT(series.back()["updated_at"].get<std::string>(), update["updated_at"].get<std::string>());
    }
}

TEST_F(DemoDatesTest, TheDemoSignInIsOfferedOnlyWhileItsPasswordStillOpensTheAccount) {
    auto emails = [&] {
        std::vector<std::string> list;
        for (const auto& account : demoAccountsThatSignIn(*server_))
            list.push_back(account.email);
        return list;
    };
    EXPECT_EQ(emails(), (std::vector<std::string>{"demo@cradleway.test", "partner@cradleway.test"}));
    Session mother = demoMother();
    ASSERT_EQ(post("member/update_pass/",
                   {{"user_id", mother.userId}, {"security_code", mother.code}, {"current_password", "cradleway-demo"}, {"new_password", "her-own-now"}},
                   mother.access)
                  .status,
              200);
    restart();
    EXPECT_EQ(emails(), (std::vector<std::string>{"partner@cradleway.test"}));
    // Set back to the demo's password, it is offered again.
    mother = signIn("demo@cradleway.test", "her-own-now");
    ASSERT_EQ(post("member/update_pass/",
                   {{"user_id", mother.userId}, {"security_code", mother.code}, {"current_password", "her-own-now"}, {"new_password", "cradleway-demo"}},
                   mother.access)
                  .status,
              200);
    EXPECT_EQ(emails(), (std::vector<std::string>{"demo@cradleway.test", "partner@cradleway.test"}));
}

} // namespace
} // namespace cw::server::testing
