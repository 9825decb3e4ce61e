// A ward's phones share one network address: what one phone there gets wrong (passwords, codes,
// record numbers, sign-ups and resets refused) slows that phone's guessing where it is aimed, and
// keeps no other family on the ward from signing in, signing up or looking up its baby.

#include "ServerFixture.h"

#include "server/Auth.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace cw::server::testing {
namespace {

using WardAddressTest = ServerTest;

TEST_F(WardAddressTest, OnePhoneGettingEverythingWrongLocksNoOtherFamilyOut) {
    // Phones on the ward's address: forty wrong passwords for made-up accounts, twenty-five wrong
    // codes of each kind and twenty-five record numbers that name nobody, thirty-five sign-ups refused
    // and thirty-five resets for made-up addresses.
    CookieJar phone, secondPhone;
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(
            post(phone, "signin",
                 {{"email", "made-up" + std::to_string(i) + "@cradleway.test"}, {"password", "guess-1234"}})
                .status,
            403)
            << i;
    for (int i = 0; i < 25; ++i) {
        const std::string email = "guess" + std::to_string(i) + "@cradleway.test";
        ASSERT_EQ(post(phone, "validate/email", {{"email", email}}).status, 200);
        const int sent = std::stoi(consoleCapture("for " + email, "code "));
        ASSERT_EQ(
            post(phone, "verify/email", {{"email", email}, {"code", sent == 1000 ? 1001 : 1000}}).status, 400)
            << i;
        ASSERT_EQ(post(phone, "invite/check",
                       {{"email", email}, {"invitation_code", "11111" + std::to_string(i % 10)}})
                      .status,
                  404)
            << i;
        // Record numbers are slowed per application from the twenty-first miss: the last five come
        // from a second phone.
        ASSERT_EQ(post(i < 20 ? phone : secondPhone, "baby/verify_mrn",
                       {{"mrn", "CW9" + std::to_string(10000 + i)}})
                      .status,
                  404)
            << i;
    }
    for (int i = 0; i < 35; ++i) {
        Reply taken = post(phone, "signup", newMemberForm("demo@cradleway.test"));
        ASSERT_EQ(taken.status, 409) << i << " " << taken.raw;
        ASSERT_EQ(post(phone, "member/password/reset",
                       {{"email", "nobody" + std::to_string(i) + "@cradleway.test"}})
                      .status,
                  200)
            << i;
    }

    // The other families on the ward, each from a phone of its own, at once.
    CookieJar mothers, sarahs, anas, newcomers, forgetful;
    Reply mother =
        post(mothers, "signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}});
    EXPECT_EQ(mother.status, 200) << mother.raw;
    Reply sarah =
        post(sarahs, "invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}});
    EXPECT_EQ(sarah.status, 200) << sarah.raw;
    Reply mia = post(anas, "baby/verify_mrn", {{"mrn", "CW200001"}});
    EXPECT_EQ(mia.status, 200) << mia.raw;
    Reply joined = post(newcomers, "signup", newMemberForm("newcomer@cradleway.test"));
    EXPECT_EQ(joined.status, 200) << joined.raw;
    Reply reset = post(forgetful, "member/password/reset", {{"email", "partner@cradleway.test"}});
    EXPECT_EQ(reset.status, 200) << reset.raw;
    EXPECT_FALSE(consoleCapture("for partner@cradleway.test", "temporary password ").empty());

    // The phone's own record-number guessing is slowed: its twenty-first miss waits.
    EXPECT_EQ(post(phone, "baby/verify_mrn", {{"mrn", "CW900001"}}).status, 429);
}

TEST_F(WardAddressTest, GuessingOneAccountsPasswordFromOneAddressIsStillSlowed) {
    int refused = 0, wrong = 0;
    std::string message;
    for (int i = 0; i < 40; ++i) {
        Reply guess =
            post("signin", {{"email", "partner@cradleway.test"}, {"password", "guess-" + std::to_string(i)}});
        if (guess.status == 403) ++wrong;
        if (guess.status == 429) {
            ++refused;
            message = guess.body["message"];
        }
    }
    EXPECT_EQ(wrong, 5);
    EXPECT_EQ(refused, 35);
    EXPECT_EQ(message, "Too many attempts. Please try again in 1 second.");
    // The guessing address waits, even with the right password; the owner elsewhere does not.
    EXPECT_EQ(post("signin", {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}}).status,
              429);
    EXPECT_EQ(
        postFrom("127.0.0.2", "signin", {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}})
            .status,
        200);
    now_ += 2;
    signIn("partner@cradleway.test", "cradleway-demo");
}

TEST_F(WardAddressTest, GuessesAtAddressesWithNoAccountSlowOnlyThoseFromTheSameAddress) {
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(post("signin",
                       {{"email", "nobody" + std::to_string(i) + "@cradleway.test"}, {"password", "guess"}})
                      .status,
                  403)
            << i;
    const json another = {{"email", "nobody-else@cradleway.test"}, {"password", "guess"}};
    EXPECT_EQ(post("signin", another).status, 429);
    EXPECT_EQ(postFrom("127.0.0.2", "signin", another).status, 403);
    // A member signing in from that address is counted by her account, not by the address.
    demoMother();
}

TEST_F(WardAddressTest, SeventyFamiliesMistypingThreeTimesEachAllSignInFromOneAddress) {
    insertMembers(*server_->state().pool->acquire(), "family", 70, hashPassword("family-password", true));
    for (int i = 0; i < 70; ++i) {
        CookieJar phone;
        const std::string email = "family" + std::to_string(i) + "@cradleway.test";
        for (const char* typed : {"family-pasword", "Family-password", "family-password "})
            ASSERT_EQ(post(phone, "signin", {{"email", email}, {"password", typed}}).status, 403) << email;
        Reply in = post(phone, "signin", {{"email", email}, {"password", "family-password"}});
        ASSERT_EQ(in.status, 200) << email << " " << in.raw;
    }
    demoMother();
}

// `count` requests, one after another over a kept-alive connection from `from`: their statuses.
std::vector<int> postRepeatedly(int port, const std::string& from, const std::string& path, const json& body,
                                int count) {
    RawConnection c(port, from);
    const std::string text = body.dump();
    std::vector<int> statuses;
    for (int i = 0; i < count; ++i) {
        c.send("POST /m/api/" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" +
               "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text);
        for (int status : statusesIn(c.readReply()))
            statuses.push_back(status);
    }
    return statuses;
}

TEST_F(WardAddressTest, AStrangerGuessingTheMothersPasswordKeepsHerOutOfNoOtherAddress) {
    const json guess = {{"email", "demo@cradleway.test"}, {"password", "not-her-password"}};
    const json hers = {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}};
    // A wrong password every 50 ms from one address, for 75 s; the mother signs in from another
    // address every 15 s meanwhile.
    int wrong = 0, refused = 0;
    for (int second = 0; second < 75; ++second, ++now_) {
        for (int status : postRepeatedly(server_->port(), "127.0.0.2", "signin", guess, 20)) {
            wrong += status == 403;
            refused += status == 429;
        }
        if (second % 15 == 0) {
            Reply mother = postFrom("127.0.0.3", "signin", hers);
            EXPECT_EQ(mother.status, 200) << "at " << second << " s: " << mother.raw;
        }
    }
    // The stranger's own guessing is slowed as ever.
    EXPECT_EQ(wrong + refused, 1500);
    EXPECT_LE(wrong, 12);
}

TEST_F(WardAddressTest, GuessesSpreadOverManyAddressesSlowTheAccountEverywhere) {
    // Five wrong passwords from each of twenty addresses: each address is slowed for the account, and
    // the account, a hundred wrong passwords in, from everywhere.
    for (int address = 0; address < 20; ++address)
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(
                postFrom("127.0.1." + std::to_string(address + 1), "signin",
                         {{"email", "partner@cradleway.test"}, {"password", "guess-" + std::to_string(i)}})
                    .status,
                403);
    const json right = {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}};
    Reply slowed = postFrom("127.0.2.1", "signin", right);
    EXPECT_EQ(slowed.status, 429);
    EXPECT_EQ(slowed.body["message"], "Too many attempts. Please try again in 1 second.");
    now_ += 1;
    EXPECT_EQ(postFrom("127.0.2.1", "signin", right).status, 200);
}

TEST_F(WardAddressTest, AStrangerGuessingFromManyAddressesKeepsTheMotherOutOfNoAddressSheSignedInFrom) {
    const json hers = {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}};
    // She has signed in from home before.
    const std::string home = "127.0.0.3";
    ASSERT_EQ(postFrom(home, "signin", hers).status, 200);
    // As found: a stranger with twenty-one addresses sends five wrong passwords from each, and then one
    // from each whenever it may, for five minutes; the mother signs in from home every thirty seconds.
    int wrong = 0;
    for (int address = 0; address < 21; ++address)
        for (int i = 0; i < 5; ++i)
            wrong += postFrom("127.0.1." + std::to_string(address + 1), "signin",
                              {{"email", "demo@cradleway.test"}, {"password", "guess-" + std::to_string(i)}})
                         .status == 403;
    EXPECT_EQ(wrong, 100);
    for (int second = 0; second < 300; ++second, ++now_) {
        postFrom("127.0.1." + std::to_string(second % 21 + 1), "signin",
                 {{"email", "demo@cradleway.test"}, {"password", "guess"}});
        if (second % 30 == 0) {
            Reply mother = postFrom(home, "signin", hers);
            EXPECT_EQ(mother.status, 200) << "at " << second << " s: " << mother.raw;
        }
    }
    // From an address she never signed in from, she waits as the stranger does.
    EXPECT_EQ(postFrom("127.0.2.1", "signin", hers).status, 429);
}

// A ward's address with smaller allowances than a server's, so that a neighbour spends them in a few
// dozen requests.
class NeighbourTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.rates.applicationsByAddress = {40, 3600};
        options.rates.storedBytesByAddress = {3 * 1024 * 1024, 3600};
    }
    Reply sharePicture(const std::string& token, int64_t userId, size_t bytes) {
        return multipart("post",
                         {{"user_id", std::to_string(userId), "", ""},
                          {"post_picture_1", jpegBytes(bytes), "photo.jpg", "image/jpeg"}},
                         token);
    }
};

TEST_F(NeighbourTest,
       ANeighbourSpendingTheWardsAllowancesKeepsOutNoRequestThatProvesItselfNorMembersFromBefore) {
    // The mother signed in on her phone on the ward before (its cookie kept).
    CookieJar mothersPhone;
    Reply mother =
        post(mothersPhone, "signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}});
    ASSERT_EQ(mother.status, 200);
    // As found, with the allowances above: from the ward's address a stranger makes thirty accounts,
    // asks for thirty e-mail codes and thirty resets for his accounts, looks Mia up forty-five times
    // without keeping a cookie, asks resets for the mother's address from five others and five times
    // from the ward, and fills the ward's storage from his accounts.
    std::vector<Reply> accounts;
    for (int i = 0; i < 30; ++i) {
        accounts.push_back(
            post("signup", newMemberForm("neighbour" + std::to_string(i) + "@cradleway.test")));
        ASSERT_EQ(accounts.back().status, 200) << i;
    }
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(client_
                      ->Post("/m/api/validate/email",
                             json({{"email", "code" + std::to_string(i) + "@x.test"}}).dump(),
                             "application/json")
                      ->status,
                  200)
            << i;
        ASSERT_EQ(
            post("member/password/reset", {{"email", "neighbour" + std::to_string(i) + "@cradleway.test"}})
                .status,
            200);
    }
    for (int i = 0; i < 45; ++i)
        client_->Post("/m/api/baby/verify_mrn", R"({"mrn": "CW200001"})", "application/json");
    for (int i = 0; i < 5; ++i) {
        postFrom("127.0.1." + std::to_string(i + 1), "member/password/reset",
                 {{"email", "demo@cradleway.test"}});
        post("member/password/reset", {{"email", "demo@cradleway.test"}});
    }
    Reply filled;
    for (size_t i = 0; i < accounts.size() && filled.status != 429; ++i)
        filled = sharePicture(accounts[i].body["tokens"]["access_token"], accounts[i].body["user"]["id"],
                              1024 * 1024);
    ASSERT_NE(filled.raw.find("Too much was stored from this network"), std::string::npos) << filled.raw;

    // What the others on the ward and the mother at home then ask, each answered.
    CookieJar sarahsNewPhone, newParentsPhone;
    int64_t mia = 0;
    const std::vector<std::pair<const char*, std::function<Reply()>>> asked = {
        {"the mother's picture post from the ward",
         [&] {
             return sharePicture(mother.body["tokens"]["access_token"], mother.body["user"]["id"],
                                 1024 * 1024);
         }},
        {"the mother's reset from home",
         [&] {
             return postFrom("127.0.0.3", "member/password/reset", {{"email", "demo@cradleway.test"}});
         }},
        {"the mother's reset from her phone on the ward",
         [&] {
             return post(mothersPhone, "member/password/reset", {{"email", "demo@cradleway.test"}});
         }},
        {"Sarah's right invitation code",
         [&] {
             return post(sarahsNewPhone, "invite/check",
                         {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}});
         }},
        {"Sarah's look-up of the family's baby",
         [&] {
             return post(sarahsNewPhone, "baby/verify_mrn", {{"mrn", "CW100001"}});
         }},
        {"Sarah's e-mail code",
         [&] {
             return post(sarahsNewPhone, "validate/email", {{"email", "sarah@cradleway.test"}});
         }},
        {"Sarah's sign-up",
         [&] { return post(sarahsNewPhone, "signup", newMemberForm("sarah@cradleway.test")); }},
        {"a new parent's look-up of her baby",
         [&] {
             Reply found = post(newParentsPhone, "baby/verify_mrn", {{"mrn", "CW200001"}});
             mia = found.body.value("id", int64_t{0});
             return found;
         }},
        {"her sign-up with her baby",
         [&] {
             json form = newMemberForm("new.parent@cradleway.test");
             form["babies"] = {{{"id", mia}}};
             return post(newParentsPhone, "signup", form);
         }},
    };
    for (const auto& [what, request] : asked) {
        const Reply reply = request();
        EXPECT_EQ(reply.status, 200) << what << ": " << reply.raw;
    }
    // His own requests of each kind are still held to the address's allowances.
    EXPECT_EQ(post("signup", newMemberForm("neighbour30@cradleway.test")).status, 429);
    EXPECT_EQ(post("validate/email", {{"email", "code30@x.test"}}).status, 429);
    EXPECT_EQ(
        sharePicture(accounts[0].body["tokens"]["access_token"], accounts[0].body["user"]["id"], 1024).status,
        429);
}

TEST_F(WardAddressTest, ADozenNewFamiliesSignUpAndShareTheirFirstPicturesFromOneAddressInAnEvening) {
    {
        auto db = server_->state().pool->acquire();
        for (int i = 0; i < 12; ++i)
            db->prepare("INSERT INTO babies (mrn, full_name, birthday, expected_birthday, gender) "
                        "VALUES (?, 'Baby', '2026-11-01', '2027-01-01', 'Female')")
                .with("CW3000" + std::to_string(10 + i))
                .run();
    }
    for (int i = 0; i < 12; ++i) {
        CookieJar phone;
        const std::string email = "family" + std::to_string(i) + "@cradleway.test";
        Reply found = post(phone, "baby/verify_mrn", {{"mrn", "CW3000" + std::to_string(10 + i)}});
        ASSERT_EQ(found.status, 200) << i;
        ASSERT_EQ(post(phone, "validate/email", {{"email", email}}).status, 200) << i;
        json form = newMemberForm(email);
        form["babies"] = {{{"id", found.body["id"]}}};
        Reply joined = post(phone, "signup", form);
        ASSERT_EQ(joined.status, 200) << i << " " << joined.raw;
        Reply shared =
            multipart("post",
                      {{"user_id", std::to_string(joined.body["user"]["id"].get<int64_t>()), "", ""},
                       {"post_picture_1", jpegBytes(2500 * 1024), "photo.jpg", "image/jpeg"}},
                      joined.body["tokens"]["access_token"]);
        EXPECT_EQ(shared.status, 200) << i << " " << shared.raw;
    }
}

} // namespace
} // namespace cw::server::testing
