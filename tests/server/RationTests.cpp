// Work anyone may ask for and that costs the server (usage events, sign-ups, password resets and
// their hashes) is paced per address and per account, and what it stores is bounded.

#include "ServerFixture.h"

#include "server/Auth.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

class RationTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.rates.applicationsByAddress = {40, 3600};
        options.rates.applicationsByProof = {40, 3600};
    }

    // Rows as the writes gathered so far leave them.
    int64_t rows(const std::string& table) {
        server_->state().pool->flushGathered();
        auto db = server_->state().pool->acquire();
        return db->queryInteger("SELECT COUNT(*) FROM " + table + " WHERE ? = 1", 1).value_or(-1);
    }

    int64_t storedEvents() {
        server_->state().pool->flushGathered();
        auto db = server_->state().pool->acquire();
        return db->queryInteger("SELECT COUNT(*) FROM analytics_events WHERE id > ?", 0).value_or(-1);
    }

    static json event(const std::string& details = "") {
        json e = {{"screen_name", "FeedScreen"}, {"screen_action", "Tap"}, {"event_details", json::object()}};
        if (!details.empty()) e["event_details"]["text"] = details;
        return e;
    }
};

TEST_F(RationTest, UsageEventsAreBoundedInSizeAndPaceAndOnlyTheLatestAreKept) {
    EXPECT_EQ(post("analytics", event(std::string(7 * 1024, 'a'))).status, 200);
    Reply large = post("analytics", event(std::string(8 * 1024, 'a')));
    EXPECT_EQ(large.status, 413);
    EXPECT_EQ(large.body["message"], "A usage event may hold at most 8 KB.");

    // Without a member: six hundred a minute from one address, then a wait.
    for (int i = 0; i < 598; ++i)
        ASSERT_EQ(post("analytics", event()).status, 200) << "event " << i;
    Reply paced = post("analytics", event());
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"], "Too many usage events. Please try again in 1 second.");
    // Another address, and a member from this one, are counted apart.
    EXPECT_EQ(postFrom("127.0.0.2", "analytics", event()).status, 200);
    Session mother = demoMother();
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(post("analytics", event(), mother.access).status, 200) << "event " << i;
    EXPECT_EQ(post("analytics", event(), mother.access).status, 429);
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    EXPECT_EQ(post("analytics", event(), father.access).status, 200);
    now_ += 60;
    EXPECT_EQ(post("analytics", event(), mother.access).status, 200);
    EXPECT_EQ(post("analytics", event()).status, 200);

    // None are kept past ninety days.
    now_ += 89 * 24 * 3600;
    ASSERT_EQ(post("analytics", event("recent")).status, 200);
    const int64_t recent = storedEvents();
    EXPECT_GT(recent, 700);
    now_ += 2 * 24 * 3600;
    ASSERT_EQ(post("analytics", event("latest")).status, 200);
    EXPECT_EQ(storedEvents(), 2);
}

// One address made accounts and sent large events from each: they pushed every member's real events
// out once a global count was reached, and stored outside the network's allowance.
class EventKeepingTest : public RationTest {
protected:
    void adjust(ServerOptions& options) override {
        RationTest::adjust(options);
        options.eventBytesKept = 32 * 1024;
        options.rates.storedBytesByAddress = {160 * 1024, 3600};
    }
};

TEST_F(EventKeepingTest, OneAccountsUsageEventsPushOutOnlyItsOwnAndCountAgainstTheNetworksStorage) {
    Session mother = demoMother();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(post("analytics", event("mother " + std::to_string(i)), mother.access).status, 200);
    Session stranger = signUpStranger("stranger@cradleway.test");
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(post("analytics", event(std::string(1000, 'x')), stranger.access).status, 200) << i;

    server_->state().pool->flushGathered();
    auto db = server_->state().pool->acquire();
    auto bytesOf = [&](int64_t member) {
        return db->queryInteger("SELECT COALESCE(SUM(bytes), 0) FROM analytics_events WHERE member_id = ?", member)
            .value_or(-1);
    };
    EXPECT_EQ(db->queryInteger("SELECT COUNT(*) FROM analytics_events WHERE member_id = ?", mother.userId), 3);
    EXPECT_LE(bytesOf(stranger.userId), 32 * 1024);
    EXPECT_GT(bytesOf(stranger.userId), 28 * 1024); // its latest, not none
    // The running total agrees with what is kept.
    EXPECT_EQ(db->queryInteger("SELECT bytes FROM event_owners WHERE owner = 'member:' || ?", stranger.userId),
              bytesOf(stranger.userId));

    // What events store is taken from the network's hourly allowance, as pictures and posts are.
    int stored = 0;
    Reply refused;
    for (int i = 0; i < 40 && refused.status != 429; ++i) {
        refused = postFrom("127.0.0.9", "analytics", event(std::string(7 * 1024, 'y')));
        if (refused.status == 200) ++stored;
    }
    EXPECT_EQ(refused.status, 429);
    EXPECT_GE(stored, 20); // 160 KB of events of 7 KB
    EXPECT_LE(stored, 22);
    EXPECT_NE(refused.body["message"].get<std::string>().find("Too much was stored from this network"),
              std::string::npos);
    EXPECT_EQ(postFrom("127.0.0.10", "analytics", event()).status, 200); // another network's is its own
}

TEST_F(RationTest, SignUpsFromOneAddressArePacedAndOtherAddressesAreNot) {
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(post("signup", newMemberForm("member" + std::to_string(i) + "@cradleway.test")).status, 200)
            << i;
    Reply paced = post("signup", newMemberForm("member30@cradleway.test"));
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"],
              "Too many accounts were made from this network. Please try again in 2 minutes.");
    EXPECT_EQ(post("signin", {{"email", "member30@cradleway.test"}, {"password", "new-member-pass"}}).status,
              403);
    EXPECT_EQ(postFrom("127.0.0.2", "signup", newMemberForm("member31@cradleway.test")).status, 200);
    now_ += 120;
    EXPECT_EQ(post("signup", newMemberForm("member30@cradleway.test")).status, 200);
}

TEST_F(RationTest, ResetsArePacedAndAPendingTemporaryPasswordStaysTheOneThatWorks) {
    auto reset = [&](const std::string& email) { return post("member/password/reset", {{"email", email}}); };
    auto temporaryPasswords = [&] {
        std::vector<std::string> found;
        for (const auto& line : consoleLines())
            if (line.find("temporary password ") != std::string::npos &&
                line.find("for demo@cradleway.test") != std::string::npos)
                found.push_back(line);
        return found;
    };
    ASSERT_EQ(reset("demo@cradleway.test").status, 200);
    const std::string first = consoleCapture("for demo@cradleway.test", "temporary password ");
    ASSERT_FALSE(first.empty());
    // Asked again by anyone: the pending password stays the one that works.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(reset("Demo@Cradleway.test").status, 200);
    EXPECT_EQ(temporaryPasswords().size(), 1u);
    Reply paced = reset("demo@cradleway.test");
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"],
              "Too many password resets were asked for. Please try again in 12 minutes.");
    signIn("demo@cradleway.test", first);

    // Addresses without an account cost the network address nothing: it has thirty temporary
    // passwords made an hour (the mother's was the first).
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(reset("nobody" + std::to_string(i) + "@cradleway.test").status, 200) << i;
    {
        auto db = server_->state().pool->acquire();
        for (int i = 0; i < 30; ++i)
            db->prepare("INSERT INTO members (email, full_name, relationship, password_hash, security_code, "
                        "created_at) VALUES (?, 'Member', 'Mother', 'none', 123456, 0)")
                .with("member" + std::to_string(i) + "@cradleway.test")
                .run();
    }
    for (int i = 0; i < 29; ++i)
        EXPECT_EQ(reset("member" + std::to_string(i) + "@cradleway.test").status, 200) << i;
    EXPECT_EQ(reset("member29@cradleway.test").status, 429);
    EXPECT_EQ(postFrom("127.0.0.2", "member/password/reset", {{"email", "member29@cradleway.test"}}).status,
              200);

    // A temporary password that expired unused is replaced by the next reset.
    ASSERT_EQ(postFrom("127.0.0.2", "member/password/reset", {{"email", "partner@cradleway.test"}}).status,
              200);
    const std::string expired = consoleCapture("for partner@cradleway.test", "temporary password ");
    now_ += 3601;
    ASSERT_EQ(reset("partner@cradleway.test").status, 200);
    const std::string fresh = consoleCapture("for partner@cradleway.test", "temporary password ");
    EXPECT_NE(fresh, expired);
    EXPECT_EQ(post("signin", {{"email", "partner@cradleway.test"}, {"password", expired}}).status, 403);
    signIn("partner@cradleway.test", fresh);
}

TEST_F(RationTest, LookUpsWithoutACookieLeaveRowsOnlyWithinTheirAllowance) {
    // A phone there looked Mia up before, and keeps its cookie.
    CookieJar phone;
    ASSERT_EQ(post(phone, "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    // Then look-ups from the same address that never send back the cookie their replies set: each is a
    // new application, forty of which may be named an hour for Mia from that address.
    int found = 0, refused = 0;
    std::string message;
    for (int i = 0; i < 60; ++i) {
        auto reply = client_->Post("/m/api/baby/verify_mrn", R"({"mrn": "CW200001"})", "application/json");
        ASSERT_TRUE(reply);
        found += reply->status == 200;
        if (reply->status == 429) {
            ++refused;
            message = json::parse(reply->body)["message"];
        }
    }
    EXPECT_EQ(found, 39);
    EXPECT_EQ(refused, 21);
    EXPECT_EQ(message, "Too many new phones proved this from this network. Please try again in 90 seconds.");
    // Each look-up found is its application's and its proof; a refused one writes nothing, and a count
    // taken back leaves no row.
    EXPECT_EQ(rows("proofs"), 2 * 40);
    EXPECT_EQ(rows("throttles"), 0);
    // The phone that keeps its cookie, and other addresses, are not held back; its misses are counted.
    EXPECT_EQ(post(phone, "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    EXPECT_EQ(post(phone, "baby/verify_mrn", {{"mrn", "CW299999"}}).status, 404);
    EXPECT_EQ(postFrom("127.0.0.2", "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    EXPECT_EQ(rows("throttles"), 2);

    // An hour later the rows of the hour before go as requests come, a few with each.
    now_ += 3601;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(
            client_->Post("/m/api/baby/verify_mrn", R"({"mrn": "CW200001"})", "application/json")->status,
            200);
    EXPECT_EQ(rows("proofs"), 2 * 10);
    EXPECT_EQ(rows("throttles"), 0);
}

TEST_F(RationTest, VerificationCodesArePacedPerAddressAndPerEmailAndExpire) {
    auto ask = [&](const std::string& email) { return post("validate/email", {{"email", email}}); };
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(ask("new.parent@cradleway.test").status, 200) << i;
    Reply again = ask("new.parent@cradleway.test");
    EXPECT_EQ(again.status, 429);
    EXPECT_EQ(again.body["message"],
              "Too many verification codes were asked for. Please try again in 12 minutes.");
    // Thirty codes an hour from one address; another address is counted apart.
    for (int i = 0; i < 25; ++i)
        ASSERT_EQ(ask("parent" + std::to_string(i) + "@cradleway.test").status, 200) << i;
    EXPECT_EQ(ask("one.more@cradleway.test").status, 429);
    EXPECT_EQ(postFrom("127.0.0.2", "validate/email", {{"email", "one.more@cradleway.test"}}).status, 200);
    // A refusal prints no code.
    size_t printed = 0;
    for (const auto& line : consoleLines())
        printed += line.rfind("e-mail verification: code ", 0) == 0;
    EXPECT_EQ(printed, 31u);
    EXPECT_EQ(rows("email_verifications"), 27);

    // Codes last half an hour; the rows of expired ones go as new codes are asked for.
    now_ += 1801;
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(postFrom("127.0.0.3", "validate/email",
                           {{"email", "later" + std::to_string(i) + "@cradleway.test"}})
                      .status,
                  200);
    EXPECT_EQ(rows("email_verifications"), 4);
}

TEST_F(RationTest, InvitationsArePacedPerParent) {
    Session mother = demoMother();
    auto invite = [&](const std::string& email) {
        return post("invite",
                    {{"full_name", "Guest"},
                     {"relationship", "Friend"},
                     {"email", email},
                     {"user_id", mother.userId}},
                    mother.access);
    };
    // One refused (a member of the family already) costs nothing.
    EXPECT_EQ(invite("partner@cradleway.test").status, 409);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(invite("guest" + std::to_string(i) + "@cradleway.test").status, 200) << i;
    Reply paced = invite("guest20@cradleway.test");
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"],
              "Too many invitations were sent from this account. Please try again in 3 minutes.");
    EXPECT_TRUE(consoleCapture("<guest20@cradleway.test>", "invitation code ").empty());
    // The father's are his own.
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    EXPECT_EQ(post("invite",
                   {{"full_name", "Guest"},
                    {"relationship", "Friend"},
                    {"email", "guest20@cradleway.test"},
                    {"user_id", father.userId}},
                   father.access)
                  .status,
              200);
}

TEST_F(RationTest, AFamilysParentsInvitedByItShareItsInvitations) {
    // As found: each invitee named a parent may invite twenty of her own, and each of those twenty
    // more, so that one family brought in hundreds of accounts within a minute.
    Session mother = demoMother();
    auto invite = [&](const Session& parent, const std::string& email) {
        return post("invite",
                    {{"full_name", "Guest"}, {"relationship", "Mother"}, {"email", email}, {"user_id", parent.userId}},
                    parent.access);
    };
    std::vector<Session> parents = {mother, signIn("partner@cradleway.test", "cradleway-demo")};
    for (int i = 0; i < 2; ++i)
        parents.push_back(signUpInvited(mother, "parent" + std::to_string(i) + "@cradleway.test"));
    // The family's sixty an hour, however many of its parents send them.
    int sent = 2;
    for (const Session& parent : parents)
        for (int i = parent.userId == mother.userId ? 2 : 0; i < 20 && sent < 60; ++i, ++sent)
            ASSERT_EQ(invite(parent, "guest" + std::to_string(sent) + "@cradleway.test").status, 200) << sent;
    Reply paced = invite(parents.back(), "guest60@cradleway.test");
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"], "Too many invitations were sent from this family. Please try again in 60 seconds.");
    EXPECT_TRUE(consoleCapture("<guest60@cradleway.test>", "invitation code ").empty());
    // Another family's are its own.
    EXPECT_EQ(invite(signUpWithRecordNumber("mia-mother@cradleway.test"), "guest60@cradleway.test").status, 200);
}

// A family's invitations counted low enough to reach in a test.
class FamilyInvitationTest : public RationTest {
protected:
    void adjust(ServerOptions& options) override {
        RationTest::adjust(options);
        options.rates.invitationsByFamily = {25, 3600};
    }
};

TEST_F(FamilyInvitationTest, AParentWhoJoinedAFamilyWithABabyOfHerOwnSendsItsInvitationsInItsCount) {
    // As found: parents of babies of their own, older than the family's, joined it as parents, and
    // their invitations counted only in their own families: twenty more each into it.
    Session kim = signUpStranger("kim@cradleway.test");
    Session root = signUpStranger("root@cradleway.test");
    auto invite = [&](const Session& parent, const std::string& email) {
        return post("invite",
                    {{"full_name", "Guest"}, {"relationship", "Mother"}, {"email", email}, {"user_id", parent.userId}},
                    parent.access);
    };
    ASSERT_EQ(invite(root, "kim@cradleway.test").status, 200);
    ASSERT_EQ(post("invite/check",
                   {{"email", "root@cradleway.test"},
                    {"invitation_code", consoleCapture("<kim@cradleway.test>", "invitation code ")}})
                  .status,
              409);
    auto entry = [](const Session& of) {
        return json{{"id", std::to_string(of.reply["babies"][0]["id"].get<int64_t>())},
                    {"full_name", "Other Baby"},
                    {"birthday", "2026-11-01"},
                    {"expected_birthday", "2027-01-01"},
                    {"gender", "Male"}};
    };
    Reply joined = post("baby/update", {{"user_id", kim.userId}, {"babies", {entry(kim), entry(root)}}}, kim.access);
    ASSERT_EQ(joined.status, 200) << joined.raw;
    ASSERT_EQ(joined.body["response"].size(), 2u) << joined.raw;

    for (int i = 1; i < 20; ++i)
        ASSERT_EQ(invite(root, "guest" + std::to_string(i) + "@cradleway.test").status, 200) << i;
    for (int i = 20; i < 25; ++i)
        ASSERT_EQ(invite(kim, "guest" + std::to_string(i) + "@cradleway.test").status, 200) << i;
    Reply paced = invite(kim, "guest25@cradleway.test");
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"], "Too many invitations were sent from this family. Please try again in 3 minutes.");
}

class HashCrowdTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 64;
        options.cheapPasswordHashing = false;
    }
};

TEST_F(HashCrowdTest, ACrowdOfPasswordResetsHashesNoMoreAtOnceThanThereAreCores) {
    // Each temporary password's hash takes 64 MB while it runs; forty-eight at once would take three
    // GB. Forty-eight members, each asked a reset for from an address of its own, as a crowd would.
    constexpr int kCrowd = 48;
    {
        // The members, and a database connection for each worker, as a server that has been busy
        // a while has them: the crowd's requests are not slowed by opening connections.
        std::vector<ConnectionPool::Lease> warm;
        for (int i = 0; i < kCrowd; ++i)
            warm.push_back(server_->state().pool->acquire());
        insertMembers(*warm.front(), "crowd", kCrowd, "none");
    }
    resetPeakResidentSize();
    const int64_t before = residentMegabytes("VmRSS:");
    std::atomic<int> reset{0}, busy{0};
    std::vector<std::thread> crowd;
    for (int i = 0; i < kCrowd; ++i)
        crowd.emplace_back([&, i] {
            Reply reply = postFrom("127.0.0." + std::to_string(10 + i), "member/password/reset",
                                   {{"email", "crowd" + std::to_string(i) + "@cradleway.test"}});
            if (reply.status == 200)
                ++reset;
            else if (reply.status == 429 &&
                     reply.body["message"] == "The server is busy. Please try again in a moment.")
                ++busy;
            else
                ADD_FAILURE() << reply.status << " " << reply.raw;
        });
    for (auto& member : crowd)
        member.join();
    EXPECT_GT(reset.load(), 0);
    EXPECT_EQ(reset + busy, kCrowd);
    const int64_t cores = std::max(1u, std::thread::hardware_concurrency());
    if (residentSizeIsSound()) {
        EXPECT_LT(residentMegabytes("VmHWM:") - before, (cores + 2) * 64);
    }
}

TEST_F(HashCrowdTest, AnotherAddressSignsInAheadOfOneAddresssCrowdOfSignIns) {
    // As found: one address signs in over and over from many threads, and every place for a hash is
    // its own. Its sign-ins are a crowd of accounts, each right.
    constexpr int kCrowd = 20;
    insertMembers(*server_->state().pool->acquire(), "crowd", kCrowd, hashPassword("crowd-password", false));
    const std::string crowdAddress = "127.0.0.2";
    auto held = holdEveryHashPlace(crowdAddress);
    // Its other sign-ins wait for a place, ten before one from another address and ten after it. On a
    // loaded machine a crowd's sign-in may outwait its patience (429, busy): that is no answer ahead.
    std::atomic<int> crowdSignedIn{0}, crowdTurnedAway{0};
    std::vector<std::thread> crowd;
    // Waits until `count` sign-ins wait for a place, counting the crowd's turned away as they were.
    auto untilWaiting = [&](int count) {
        while (passwordHashesWaiting() + crowdTurnedAway < count)
            std::this_thread::yield();
    };
    auto crowdSignsIn = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            crowd.emplace_back([&, i] {
                Reply reply = postFrom(crowdAddress, "signin",
                                       {{"email", "crowd" + std::to_string(i) + "@cradleway.test"},
                                        {"password", "crowd-password"}});
                if (reply.status == 200) {
                    ++crowdSignedIn;
                } else {
                    EXPECT_EQ(reply.status, 429) << reply.raw;
                    ++crowdTurnedAway;
                }
            });
        untilWaiting(to + (to > kCrowd / 2 ? 1 : 0));
    };
    crowdSignsIn(0, kCrowd / 2);
    Reply other;
    int crowdSignedInBefore = -1;
    std::thread signingIn([&] {
        other = postFrom("127.0.0.3", "signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}});
        crowdSignedInBefore = crowdSignedIn;
    });
    untilWaiting(kCrowd / 2 + 1);
    crowdSignsIn(kCrowd / 2, kCrowd);
    // One place comes free: it goes to the other address, which holds none, not to the crowd.
    const int waitingBefore = passwordHashesWaiting();
    held.pop_back();
    while (passwordHashesWaiting() == waitingBefore)
        std::this_thread::yield();
    // The place taken is held back when it comes free again, by one more address with none, so that
    // the crowd answers nobody meanwhile however slowly the rest of her sign-in goes: had the crowd
    // taken the first place, her sign-in would have come after one of theirs.
    Gate::Turn heldBack(passwordHashGate(), std::chrono::seconds(30), "127.0.0.4");
    EXPECT_TRUE(heldBack);
    signingIn.join();
    EXPECT_EQ(other.status, 200) << other.raw;
    EXPECT_EQ(crowdSignedInBefore, 0);
    held.clear();
    for (auto& member : crowd)
        member.join();
}

class WriteTurnTest : public ServerTest {
protected:
    // Every sign-in of the crowd holds a worker while it waits to write.
    void adjust(ServerOptions& options) override {
        options.threads = 32;
        options.costlyWorkers = 32;
    }
};

TEST_F(WriteTurnTest, AnotherAddresssSignInWritesAheadOfOneAddresssQueuedWrites) {
    // As found: one address signs in over and over from many threads, and another address's sign-in
    // waited seconds for the database behind the crowd's writes. Here the crowd's sessions queue
    // behind one write of its own, ten before the other address's sign-in and ten after it.
    constexpr int kCrowd = 20;
    const std::string crowdAddress = "127.0.0.2";
    ConnectionPool& pool = *server_->state().pool;
    insertMembers(*pool.acquire(), "crowd", kCrowd, hashPassword("crowd-password", true));
    auto crowdWrite = pool.acquire(crowdAddress);
    const int64_t earlier = crowdWrite->queryInteger("SELECT COALESCE(MAX(rowid), 0) FROM tokens WHERE ? = 1", 1).value_or(0);
    std::optional<Transaction> held(std::in_place, *crowdWrite);

    std::vector<Reply> replies(kCrowd + 1);
    std::vector<std::thread> signIns;
    auto signIn = [&](size_t reply, const std::string& from, const std::string& email,
                      const std::string& password) {
        const size_t before = pool.writesWaiting();
        signIns.emplace_back([&, reply, from, email, password] {
            replies[reply] = postFrom(from, "signin", {{"email", email}, {"password", password}});
        });
        while (pool.writesWaiting() == before)
            std::this_thread::yield();
    };
    for (int i = 0; i < kCrowd; ++i) {
        if (i == kCrowd / 2) signIn(kCrowd, "127.0.0.3", "demo@cradleway.test", "cradleway-demo");
        signIn(i, crowdAddress, "crowd" + std::to_string(i) + "@cradleway.test", "crowd-password");
    }
    held->commit();
    held.reset();
    for (auto& thread : signIns)
        thread.join();
    for (const Reply& reply : replies)
        EXPECT_EQ(reply.status, 200) << reply.raw;

    // The sessions stand in the order their writes had their turns: the other address's first.
    int crowdAhead = 0;
    {
        auto st = crowdWrite->prepare("SELECT m.email FROM tokens t JOIN members m ON m.id = t.member_id "
                                      "WHERE t.kind = 'access' AND t.rowid > ? ORDER BY t.rowid");
        st.with(earlier);
        while (st.step() && st.text(0) != "demo@cradleway.test")
            ++crowdAhead;
    }
    EXPECT_EQ(crowdAhead, 0);
}

} // namespace
} // namespace cw::server::testing
