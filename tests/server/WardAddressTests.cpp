// A ward's phones share one network address: what one phone there gets wrong (passwords, codes,
// record numbers, sign-ups and resets refused) slows that phone's guessing where it is aimed, and
// keeps no other family on the ward from signing in, signing up or looking up its baby.

#include "ServerFixture.h"

#include <string>

namespace cw::server::testing {
namespace {

using WardAddressTest = ServerTest;

TEST_F(WardAddressTest, OnePhoneGettingEverythingWrongLocksNoOtherFamilyOut) {
    // Phones on the ward's address: forty wrong passwords for made-up accounts, twenty-five wrong
    // codes of each kind and twenty-five record numbers that name nobody, thirty-five sign-ups refused
    // and thirty-five resets for made-up addresses.
    CookieJar phone, secondPhone;
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(post(phone, "signin",
                       {{"email", "made-up" + std::to_string(i) + "@cradleway.test"}, {"password", "guess-1234"}})
                      .status,
                  403)
            << i;
    for (int i = 0; i < 25; ++i) {
        const std::string email = "guess" + std::to_string(i) + "@cradleway.test";
        ASSERT_EQ(post(phone, "validate/email", {{"email", email}}).status, 200);
        const int sent = std::stoi(consoleCapture("for " + email, "code "));
        ASSERT_EQ(post(phone, "verify/email", {{"email", email}, {"code", sent == 1000 ? 1001 : 1000}}).status,
                  400)
            << i;
        ASSERT_EQ(post(phone, "invite/check", {{"email", email}, {"invitation_code", "11111" + std::to_string(i % 10)}})
                      .status,
                  404)
            << i;
        // Record numbers are slowed per application from the twenty-first miss: the last five come
        // from a second phone.
        ASSERT_EQ(post(i < 20 ? phone : secondPhone, "baby/verify_mrn", {{"mrn", "CW9" + std::to_string(10000 + i)}})
                      .status,
                  404)
            << i;
    }
    for (int i = 0; i < 35; ++i) {
        Reply taken = post(phone, "signup", newMemberForm("demo@cradleway.test"));
        ASSERT_EQ(taken.status, 409) << i << " " << taken.raw;
        ASSERT_EQ(post(phone, "member/password/reset", {{"email", "nobody" + std::to_string(i) + "@cradleway.test"}})
                      .status,
                  200)
            << i;
    }

    // The other families on the ward, each from a phone of its own, at once.
    CookieJar mothers, sarahs, anas, newcomers, forgetful;
    Reply mother = post(mothers, "signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}});
    EXPECT_EQ(mother.status, 200) << mother.raw;
    Reply sarah = post(sarahs, "invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}});
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

TEST_F(WardAddressTest, GuessingOneAccountsPasswordIsStillSlowed) {
    int refused = 0, wrong = 0;
    std::string message;
    for (int i = 0; i < 40; ++i) {
        Reply guess = post("signin", {{"email", "partner@cradleway.test"}, {"password", "guess-" + std::to_string(i)}});
        if (guess.status == 403) ++wrong;
        if (guess.status == 429) {
            ++refused;
            message = guess.body["message"];
        }
    }
    EXPECT_EQ(wrong, 5);
    EXPECT_EQ(refused, 35);
    EXPECT_EQ(message, "Too many attempts. Please try again in 1 second.");
    // From another address too: the account's count is the account's.
    EXPECT_EQ(postFrom("127.0.0.2", "signin", {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}})
                  .status,
              429);
    now_ += 2;
    signIn("partner@cradleway.test", "cradleway-demo");
}

} // namespace
} // namespace cw::server::testing
