// What members may do to their family and to what is read on their behalf.

#include "ServerFixture.h"

#include "server/Records.h"

#include <chrono>

namespace cw::server::testing {
namespace {

using FamilyTest = ServerTest;

TEST_F(FamilyTest, OnlyAParentInvitesOrRemovesFamilyMembers) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    ASSERT_EQ(post("invite",
                   {{"full_name", "Fay"},
                    {"relationship", "Friend"},
                    {"email", "fay@cradleway.test"},
                    {"user_id", mother.userId}},
                   mother.access)
                  .status,
              200);
    checkInvitation("fay@cradleway.test", consoleCapture("<fay@cradleway.test>", "invitation code "));
    ASSERT_EQ(post("signup", {{"full_name", "Fay"},
                              {"email", "fay@cradleway.test"},
                              {"relationship", "Friend"},
                              {"password", "fays-password"}})
                  .status,
              200);
    Session friendOfFamily = signIn("fay@cradleway.test", "fays-password");
    ASSERT_EQ(friendOfFamily.reply["babies"].size(), 2u);

    for (int64_t parent : {mother.userId, father.userId}) {
        Reply removal = post("member/delete",
                             {{"user_id", friendOfFamily.userId},
                              {"security_code", friendOfFamily.code},
                              {"family_member_id", parent}},
                             friendOfFamily.access);
        EXPECT_EQ(removal.status, 403) << removal.raw;
    }
    EXPECT_EQ(post("invite",
                   {{"full_name", "Gus"},
                    {"relationship", "Friend"},
                    {"email", "gus@cradleway.test"},
                    {"user_id", friendOfFamily.userId}},
                   friendOfFamily.access)
                  .status,
              403);
    EXPECT_EQ(post("member/nicu_journey", {{"user_id", mother.userId}}, mother.access).body["babies"].size(),
              2u);
    EXPECT_EQ(post("member/nicu_journey", {{"user_id", father.userId}}, father.access).body["babies"].size(),
              2u);

    // A parent removes the friend.
    EXPECT_EQ(post("member/delete",
                   {{"user_id", father.userId},
                    {"security_code", father.code},
                    {"family_member_id", friendOfFamily.userId}},
                   father.access)
                  .status,
              200);
}

class FamilyRoleTest : public ServerTest {
protected:
    Reply remove(const Session& by, int64_t member) {
        return post("member/delete",
                    {{"user_id", by.userId}, {"security_code", by.code}, {"family_member_id", member}},
                    by.access);
    }
    Reply invite(const Session& by, const std::string& name, const std::string& email,
                 const std::string& relationship) {
        return post(
            "invite",
            {{"full_name", name}, {"relationship", relationship}, {"email", email}, {"user_id", by.userId}},
            by.access);
    }
    size_t babiesOf(const Session& member) {
        return post("member/nicu_journey", {{"user_id", member.userId}}, member.access).body["babies"].size();
    }
    // Sarah takes up the demo's invitation (as "Relative") but calls herself the mother.
    Session sarahAsMother() {
        checkInvitation("demo@cradleway.test", "424242");
        Reply signup = post("signup", {{"full_name", "Sarah"},
                                       {"email", "sarah@cradleway.test"},
                                       {"relationship", "Mother"},
                                       {"password", "sarahs-password"}});
        EXPECT_EQ(signup.status, 200) << signup.raw;
        EXPECT_FALSE(signup.body["user"].contains("spouse_id")) << signup.raw;
        return signIn("sarah@cradleway.test", "sarahs-password");
    }
    // The database as a server from before roles left it: memberships without roles, and none of the
    // later indexes; then started again.
    void asBeforeRoles() {
        server_.reset();
        {
            Connection db((dir_ / "cradleway.db").string());
            // What the servers after it added goes too.
            db.exec("ALTER TABLE member_babies DROP COLUMN parent; DROP INDEX members_file; "
                    "DROP INDEX babies_file; DROP INDEX journey_items_file; DROP INDEX post_media_file; "
                    "DROP INDEX posts_pictures; ALTER TABLE invitations DROP COLUMN wrong_codes; "
                    "DROP INDEX invitations_replaced_code; ALTER TABLE invitations DROP COLUMN replaced_code; "
                    "DROP INDEX throttles_forget_at; ALTER TABLE throttles DROP COLUMN forget_at; "
                    "DROP TABLE signin_networks; DROP TABLE signin_phones; DROP INDEX analytics_events_owner; "
                    "DROP INDEX analytics_events_received_at; ALTER TABLE analytics_events DROP COLUMN owner; "
                    "ALTER TABLE analytics_events DROP COLUMN bytes; DROP TABLE event_owners; "
                    "DROP TABLE request_replays; ALTER TABLE members DROP COLUMN created_network; "
                    "UPDATE schema_version SET version = 5");
        }
        restart();
    }
    json journeyItem(const Session& reader, const std::string& label) {
        Reply journey =
            post("baby/nicu_journey_data", {{"baby_id", 1}, {"user_id", reader.userId}}, reader.access);
        for (const auto& [week, items] : journey.body["nicu_journey_data"].items())
            for (const auto& item : items)
                if (item["label"] == label) return item;
        return nullptr;
    }
    Reply changeMilestone(const Session& by, const char* path, int64_t id) {
        return multipart(path,
                         {{"baby_id", "1", "", ""},
                          {"user_id", std::to_string(by.userId), "", ""},
                          {"id", std::to_string(id), "", ""},
                          {"date", "2027-01-02", "", ""}},
                         by.access);
    }
};

TEST_F(FamilyRoleTest, ARelativeChangesNeitherTheBabiesNorTheMilestonesOthersAdded) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    Session sarah = sarahAsMother();
    const json twins = mother.reply["babies"];
    const auto stored = uploads();

    // As found: Sarah renames Olivia, makes her a boy born in 2020, and gives her a picture.
    Reply renamed =
        multipart("baby/update",
                  {{"user_id", std::to_string(sarah.userId), "", ""},
                   {"babies", R"([{"id": 1, "full_name": "Renamed by Sarah", "birthday": "2020-01-01",
                         "expected_birthday": "2020-03-01", "gender": "Male"}])",
                    "", ""},
                   {"baby_picture_1", jpegBytes(900), "photo_1.jpg", "image/jpeg"}},
                  sarah.access);
    EXPECT_EQ(renamed.status, 403) << renamed.raw;
    EXPECT_EQ(renamed.body["message"], "Only a baby's mother or father can change the baby's details.");
    // The records as they stand pass, as the add-a-baby flow sends them along.
    EXPECT_EQ(post("baby/update", {{"user_id", sarah.userId}, {"babies", twins}}, sarah.access).status, 200);
    EXPECT_EQ(demoMother().reply["babies"], twins);
    EXPECT_EQ(uploads(), stored);

    // The mother's milestone is hers and the parents' to change; Sarah's is hers and theirs too.
    json kangaroo = journeyItem(sarah, "First kangaroo care");
    ASSERT_TRUE(kangaroo.is_object());
    EXPECT_EQ(kangaroo["editable"], false);
    EXPECT_EQ(journeyItem(father, "First kangaroo care")["editable"], true);
    EXPECT_EQ(changeMilestone(sarah, "baby/nicu_journey_edit", kangaroo["id"]).status, 403);
    EXPECT_EQ(post("baby/nicu_journey_delete",
                   {{"baby_id", 1}, {"user_id", sarah.userId}, {"id", kangaroo["id"]}}, sarah.access)
                  .status,
              403);
    EXPECT_EQ(journeyItem(mother, "First kangaroo care"), journeyItem(father, "First kangaroo care"));
    EXPECT_EQ(journeyItem(mother, "First kangaroo care")["date"], "Dec 28, 2026");
    Reply added = multipart("baby/nicu_journey_add",
                            {{"baby_id", "1", "", ""},
                             {"user_id", std::to_string(sarah.userId), "", ""},
                             {"date", "2027-01-12", "", ""},
                             {"type", "other", "", ""},
                             {"input_text", "Aunt Sarah came", "", ""}},
                            sarah.access);
    ASSERT_EQ(added.status, 200) << added.raw;
    EXPECT_EQ(added.body["nicu_journey_add"]["editable"], true);
    EXPECT_EQ(journeyItem(mother, "Aunt Sarah came")["editable"], true);
    EXPECT_EQ(changeMilestone(sarah, "baby/nicu_journey_edit", added.body["nicu_journey_add"]["id"]).status,
              200);

    // The twins' journey questions are the parents' to answer.
    const json answer = {{"1", {{{"answer", "Yes"}, {"not_id", 102}, {"q_id", 2}}}}};
    EXPECT_EQ(
        post("question/response", {{"user_id", sarah.userId}, {"questions", answer}}, sarah.access).status,
        403);
    EXPECT_EQ(
        post("question/response", {{"user_id", father.userId}, {"questions", answer}}, father.access).status,
        200);
}

TEST_F(FamilyRoleTest, AnInviteeWhoCallsHerselfMotherGainsNoParentsRights) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    Session sarah = sarahAsMother();
    ASSERT_EQ(babiesOf(sarah), 2u);

    for (const Session* parent : {&mother, &father}) {
        Reply refused = remove(sarah, parent->userId);
        EXPECT_EQ(refused.status, 403) << refused.raw;
        EXPECT_EQ(refused.body["message"],
                  "Only a baby's mother or father can invite or remove family members.");
    }
    EXPECT_EQ(invite(sarah, "Gus", "gus@cradleway.test", "Father").status, 403);
    EXPECT_EQ(babiesOf(mother), 2u);
    EXPECT_EQ(babiesOf(father), 2u);
    // The parents still manage their family.
    EXPECT_EQ(remove(mother, sarah.userId).status, 200);
    EXPECT_EQ(babiesOf(sarah), 0u);
}

TEST_F(FamilyRoleTest, AParentInHerOwnFamilyIsWhatSheWasInvitedAsInAnother) {
    Session mother = demoMother();
    // A mother with a baby of her own, whom Emma invites into her family as a friend.
    Session friendOfFamily = signUpStranger("fay@cradleway.test");
    ASSERT_EQ(invite(mother, "Fay", "fay@cradleway.test", "Friend").status, 200);
    Reply check = post("invite/check",
                       {{"email", "demo@cradleway.test"},
                        {"invitation_code", consoleCapture("<fay@cradleway.test>", "invitation code ")}});
    ASSERT_EQ(check.status, 409) << check.raw;
    friendOfFamily = signIn("fay@cradleway.test", "stranger-pass");
    Reply joined =
        post("baby/update", {{"user_id", friendOfFamily.userId}, {"babies", {{{"id", 1}}, {{"id", 2}}}}},
             friendOfFamily.access);
    ASSERT_EQ(joined.status, 200) << joined.raw;
    ASSERT_EQ(babiesOf(friendOfFamily), 3u);

    // In Emma's family she is a friend: she removes no one there.
    EXPECT_EQ(remove(friendOfFamily, mother.userId).status, 403);
    EXPECT_EQ(babiesOf(mother), 2u);
    // In her own family she is the mother: whom she invites joins her baby, not the twins.
    ASSERT_EQ(invite(friendOfFamily, "Gus", "gus@cradleway.test", "Father").status, 200);
    CookieJar gusPhone;
    ASSERT_EQ(post(gusPhone, "invite/check",
                   {{"email", "fay@cradleway.test"},
                    {"invitation_code", consoleCapture("<gus@cradleway.test>", "invitation code ")}})
                  .status,
              200);
    Reply gus = post(gusPhone, "signup",
                     {{"full_name", "Gus"},
                      {"email", "gus@cradleway.test"},
                      {"relationship", "Father"},
                      {"password", "guss-password"}});
    ASSERT_EQ(gus.status, 200) << gus.raw;
    ASSERT_EQ(gus.body["babies"].size(), 1u) << gus.raw;
    EXPECT_EQ(gus.body["babies"][0]["full_name"], "Other Baby");
    // Emma removes her from the twins; her own family stays hers.
    EXPECT_EQ(remove(mother, friendOfFamily.userId).status, 200);
    EXPECT_EQ(babiesOf(friendOfFamily), 1u);
}

TEST_F(FamilyRoleTest, ADatabaseFromBeforeRolesTakesEachMembersRoleFromHowSheCameIn) {
    Session sarah = sarahAsMother();
    Session stranger = signUpStranger("stranger@cradleway.test");
    asBeforeRoles();

    Session mother = demoMother();
    sarah = signIn("sarah@cradleway.test", "sarahs-password");
    EXPECT_EQ(remove(sarah, mother.userId).status, 403) << "invited as a relative";
    // The parents, who came by no invitation, keep what they had; so does a mother of her own baby.
    EXPECT_EQ(invite(mother, "Gus", "gus@cradleway.test", "Friend").status, 200);
    stranger = signIn("stranger@cradleway.test", "stranger-pass");
    EXPECT_EQ(invite(stranger, "Hal", "hal@cradleway.test", "Friend").status, 200);
    EXPECT_EQ(remove(mother, sarah.userId).status, 200);
    EXPECT_EQ(babiesOf(mother), 2u);
}

TEST_F(FamilyRoleTest, ADatabaseFromBeforeRolesKeepsAnInviteeAMemberAfterHerInviterLeftTheBabies) {
    Session mother = demoMother();
    Session sarah = sarahAsMother();
    Session stranger = signUpStranger("stranger@cradleway.test");
    for (int64_t twin : {1, 2})
        ASSERT_EQ(post("baby/delete",
                       {{"user_id", mother.userId}, {"security_code", mother.code}, {"baby_id", twin}},
                       mother.access)
                      .status,
                  200);
    asBeforeRoles();

    // Sarah, who calls herself the mother, came on an invitation as a relative: no parent's rights.
    sarah = signIn("sarah@cradleway.test", "sarahs-password");
    EXPECT_EQ(invite(sarah, "Gus", "gus@cradleway.test", "Friend").status, 403);
    EXPECT_EQ(post("baby/update",
                   {{"user_id", sarah.userId},
                    {"babies",
                     {{{"id", 1},
                       {"full_name", "Renamed by Sarah"},
                       {"birthday", "2020-01-01"},
                       {"expected_birthday", "2020-03-01"},
                       {"gender", "Male"}}}}},
                   sarah.access)
                  .status,
              403);
    // The father, who came by no invitation, keeps what he had; so does a mother of her own baby.
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    EXPECT_EQ(invite(father, "Hal", "hal@cradleway.test", "Friend").status, 200);
    EXPECT_EQ(remove(father, sarah.userId).status, 200);
    stranger = signIn("stranger@cradleway.test", "stranger-pass");
    EXPECT_EQ(invite(stranger, "Ivy", "ivy@cradleway.test", "Friend").status, 200);
}

TEST_F(FamilyTest, AnArticleIsMarkedReadOnlyWithItsReadersToken) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    auto read = [&] {
        Reply feed =
            post("content/", {{"baby_ids", json::array({1})}, {"user_id", mother.userId}}, mother.access);
        EXPECT_EQ(feed.status, 200) << feed.raw;
        for (const auto& card : feed.body["data"]["content"])
            if (card["id"] == 4) return card["card_read"].get<bool>();
        ADD_FAILURE() << "no card 4 in the feed";
        return false;
    };
    const std::string page = "/content/education/4?user_id=" + std::to_string(mother.userId);
    ASSERT_FALSE(read());
    // A page that names its reader without her token is refused: it would be shown as read and not
    // be recorded so.
    EXPECT_EQ(client_->Get(page.c_str())->status, 401);
    EXPECT_FALSE(read());
    EXPECT_EQ(client_->Get(page.c_str(), {{"X-Access-Token", father.access}})->status, 401);
    EXPECT_FALSE(read());
    // The article's own address, as it is shared, is anybody's page, and nobody's read.
    EXPECT_EQ(client_->Get("/content/education/4", {{"X-Access-Token", father.access}})->status, 200);
    EXPECT_FALSE(read());
    ASSERT_EQ(client_->Get(page.c_str(), {{"X-Access-Token", mother.access}})->status, 200);
    EXPECT_TRUE(read());
}

TEST_F(FamilyTest, AWebViewMarksAnArticleReadWithTheReadersTokenInTheQuery) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    auto read = [&](const Session& reader, int64_t id) {
        Reply feed =
            post("content/", {{"baby_ids", json::array({1})}, {"user_id", reader.userId}}, reader.access);
        for (const auto& card : feed.body["data"]["content"])
            if (card["id"] == id) return card["card_read"].get<bool>();
        ADD_FAILURE() << "no card " << id << " in the feed";
        return false;
    };
    auto open = [&](int64_t id, int64_t userId, const std::string& token, int status) {
        auto page = client_->Get(("/content/education/" + std::to_string(id) +
                                  "?user_id=" + std::to_string(userId) + "&access_token=" + token)
                                     .c_str());
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, status);
        // The token in its address goes to no cache and to no site the page links to.
        EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
        EXPECT_EQ(page->get_header_value("Referrer-Policy"), "no-referrer");
    };
    ASSERT_FALSE(read(mother, 4));
    open(4, mother.userId, father.access, 401);
    open(4, mother.userId, "not-a-token", 401);
    EXPECT_FALSE(read(mother, 4));
    open(4, mother.userId, mother.access, 200);
    EXPECT_TRUE(read(mother, 4));
    EXPECT_FALSE(read(father, 4));
    // Nor does a query token get around an access token that has ended: the page says so, as the
    // service does, so that the application renews its tokens and asks again.
    now_ += 3601;
    Session again = demoMother();
    open(6, mother.userId, mother.access, 401);
    EXPECT_FALSE(read(again, 6));
    open(6, again.userId, again.access, 200);
    EXPECT_TRUE(read(again, 6));
    // The access log names the page, never its query.
    for (const auto& line : consoleLines())
        EXPECT_EQ(line.find(mother.access), std::string::npos) << line;
}

TEST_F(FamilyTest, SeeingAnArticlesNotificationMarksTheArticleReadForItsMember) {
    Session mother = demoMother();
    auto card = [&](int64_t id) {
        Reply feed =
            post("content/", {{"baby_ids", json::array({1})}, {"user_id", mother.userId}}, mother.access);
        for (const auto& c : feed.body["data"]["content"])
            if (c["id"] == id) return c;
        return json();
    };
    // The feed's card of the article carries the notification that the article page reports seen.
    json before = card(5);
    ASSERT_EQ(before["card_read"], false);
    ASSERT_TRUE(before["not_id"].is_number_integer());
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    EXPECT_EQ(
        post("notification/seen", {{"user_id", father.userId}, {"not_id", before["not_id"]}}, father.access)
            .status,
        403);
    EXPECT_EQ(card(5)["card_read"], false);
    ASSERT_EQ(
        post("notification/seen", {{"user_id", mother.userId}, {"not_id", before["not_id"]}}, mother.access)
            .status,
        200);
    EXPECT_EQ(card(5)["card_read"], true);
}

// "yyyy-MM-dd" of the day `days` after 2026-11-01, the stranger's baby's birthday.
std::string dayOfLife(int days) {
    using namespace std::chrono;
    const year_month_day day{sys_days{2026y / November / 1} + std::chrono::days{days}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return text;
}

TEST_F(FamilyTest, AListAFamilyGrowsIsAnsweredWholeUpToItsBoundAndRefusesTheNextEntry) {
    // A list the family's members add to is answered whole, so it stops at its bound; up to it, the
    // reply is the one the whole value made (members in the order of their names, weeks too).
    const Session stranger = signUpStranger("stranger@cradleway.test");
    const int64_t baby = stranger.reply["babies"][0]["id"];
    const Session aunt = signUpInvited(stranger, "aunt@cradleway.test");
    auto milestone = [&](const Session& by) {
        return multipart("baby/nicu_journey_add",
                         {{"baby_id", std::to_string(baby), "", ""},
                          {"user_id", std::to_string(by.userId), "", ""},
                          {"date", dayOfLife(3), "", ""},
                          {"type", "other", "", ""},
                          {"input_text", "Held my finger", "", ""}},
                         by.access);
    };
    auto invite = [&](const Session& by) {
        return post("invite",
                    {{"full_name", "Cousin"},
                     {"relationship", "Relative"},
                     {"email", "cousin@cradleway.test"},
                     {"user_id", by.userId}},
                    by.access);
    };
    struct List {
        const char* name;
        // Writes all but the last entry the bound allows straight into the database.
        std::function<void(Connection&)> fill;
        std::function<Reply(const Session&)> add;
        std::function<Reply()> list;
        std::function<size_t(const json&)> entries;
        size_t listed; // the entries the list holds at its bound
        std::string refusal;
        bool familys = true; // the aunt adds to the same list, and is refused too
    };
    const List lists[] = {
        {"a baby's journey",
         [&](Connection& db) {
             // From three days before the birth to the nineteenth week: "Week 10" and on come before
             // "Week 2" by name.
             for (int64_t i = 0; i < kMostMilestonesPerBaby - 1; ++i)
                 db.prepare("INSERT INTO journey_items (baby_id, type, label, date, editable, created_by) "
                            "VALUES (?, 'first_bath', 'Bath', ?, 1, ?)")
                     .with(baby, dayOfLife(static_cast<int>(i % 130) - 3), stranger.userId)
                     .run();
         },
         milestone,
         [&] {
             return post("baby/nicu_journey_data", {{"baby_id", baby}, {"user_id", stranger.userId}},
                         stranger.access);
         },
         [](const json& body) {
             size_t count = 0;
             for (const auto& [week, items] : body["nicu_journey_data"].items())
                 count += items.size();
             return count;
         },
         static_cast<size_t>(kMostMilestonesPerBaby),
         "This baby's journey holds 1000 milestones, as many as it may."},
        {"a family's members",
         [&](Connection& db) {
             // The stranger and the aunt, and invitations that wait.
             for (int64_t i = 2; i < kMostInFamily - 1; ++i)
                 db.prepare("INSERT INTO invitations (inviter_id, full_name, relationship, email, code, "
                            "created_at) "
                            "VALUES (?, 'Friend', 'Friend', ?, '12345678', 0)")
                     .with(stranger.userId, "friend" + std::to_string(i) + "@cradleway.test")
                     .run();
         },
         invite,
         [&] {
             return get("invite/data", {{"user_id", std::to_string(stranger.userId)}}, stranger.access);
         },
         [](const json& body) { return body["members"].size(); },
         static_cast<size_t>(kMostInFamily - 1), // all but the stranger herself
         "This family holds 100 members and invitations, as many as it may."},
        {"an account's babies",
         [&](Connection& db) {
             for (int64_t i = 1; i < kMostBabiesPerMember - 1; ++i) {
                 db.prepare("INSERT INTO babies (full_name, birthday, expected_birthday, gender) "
                            "VALUES ('Twin', '2026-11-01', '2027-01-01', 'Female')")
                     .run();
                 db.prepare("INSERT INTO member_babies (member_id, baby_id, parent) VALUES (?, ?, 1)")
                     .with(stranger.userId, db.lastInsertId())
                     .run();
             }
         },
         [&](const Session& by) {
             return post("baby/update",
                         {{"user_id", by.userId},
                          {"babies", json::array({{{"full_name", "Sibling"},
                                                   {"birthday", "2026-11-20"},
                                                   {"expected_birthday", "2027-01-10"},
                                                   {"gender", "Male"}}})}},
                         by.access);
         },
         [&] {
             return post("member/nicu_journey", {{"user_id", stranger.userId}}, stranger.access);
         },
         [](const json& body) { return body["babies"].size(); }, static_cast<size_t>(kMostBabiesPerMember),
         "An account holds 20 babies, as many as it may.", false},
    };
    for (const List& list : lists) {
        {
            auto db = server_->state().pool->acquire();
            Transaction tx(*db);
            list.fill(*db);
            tx.commit();
        }
        const Reply last = list.add(stranger);
        ASSERT_EQ(last.status, 200) << list.name << " " << last.raw;
        const Reply listed = list.list();
        ASSERT_EQ(listed.status, 200) << list.name << " " << listed.raw.substr(0, 300);
        EXPECT_EQ(list.entries(listed.body), list.listed) << list.name;
        EXPECT_EQ(listed.raw, listed.body.dump()) << list.name;
        for (const Session* by : {&stranger, &aunt}) {
            if (by == &aunt && !list.familys) continue;
            const Reply refused = list.add(*by);
            EXPECT_EQ(refused.status, 403) << list.name;
            EXPECT_EQ(refused.body["message"], list.refusal) << list.name;
        }
    }
    // Where each milestone falls: before the birth in the first week, the seventieth day in the eleventh.
    const json weeks =
        post("baby/nicu_journey_data", {{"baby_id", baby}, {"user_id", stranger.userId}}, stranger.access)
            .body["nicu_journey_data"];
    EXPECT_EQ(weeks.size(), 19u);
    EXPECT_EQ(weeks["Week 1"][0]["date"], "Oct 29, 2026");
    EXPECT_EQ(weeks["Week 11"][0]["date"], "Jan 10, 2027");
    // The family's list: the aunt who joined, then the invitations waiting, oldest first.
    const json members =
        get("invite/data", {{"user_id", std::to_string(stranger.userId)}}, stranger.access).body["members"];
    EXPECT_EQ(members[0]["id"], aunt.userId);
    EXPECT_EQ(members[1]["email"], "friend2@cradleway.test");
    EXPECT_EQ(members.back()["email"], "cousin@cradleway.test");
}

} // namespace
} // namespace cw::server::testing
