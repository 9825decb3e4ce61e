// A stranger's guesses (invitation codes, e-mail codes, passwords), from any number of addresses, spend
// his own allowance: they close, spend or block nothing of the family's, and the invitee's, the new
// parent's or the mother's right answer is taken.

#include "ServerFixture.h"

#include "server/Http.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace cw::server::testing {
namespace {

using InvitationGuessTest = ServerTest;

// The pending invitations (name and address) a parent sees among her family.
std::set<std::string> pendingInvitations(const Reply& family) {
    std::set<std::string> pending;
    for (const auto& member : family.body["members"])
        if (member["connected"] == false) pending.insert(member["email"].get<std::string>());
    return pending;
}

json invitationOf(const std::string& name, const std::string& email, int64_t by) {
    return {{"full_name", name}, {"relationship", "Relative"}, {"email", email}, {"user_id", by}};
}

TEST_F(InvitationGuessTest, AStrangersWrongCodesCloseNoInvitationAndRefuseNoRightCode) {
    Session mother = demoMother();
    ASSERT_EQ(
        post("invite", invitationOf("Kate", "kate@cradleway.test", mother.userId), mother.access).status,
        200);
    const std::string katesCode = consoleCapture("<kate@cradleway.test>", "invitation code ");
    // As found: a stranger with no account sends fifteen wrong codes with the mother's address, from an
    // address of his own.
    for (int i = 0; i < 15; ++i) {
        Reply guess =
            postFrom("127.0.0.2", "invite/check",
                     {{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(100000 + i)}});
        ASSERT_EQ(guess.status, 404) << i << " " << guess.raw;
    }
    // Her invitees' right codes, sent as the application sends them (with her address), are taken.
    CookieJar sarahsPhone, katesPhone;
    Reply sarah = postFrom(sarahsPhone, "127.0.0.3", "invite/check",
                           {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}});
    EXPECT_EQ(sarah.status, 200) << sarah.raw;
    Reply kate = postFrom(katesPhone, "127.0.0.4", "invite/check",
                          {{"email", "demo@cradleway.test"}, {"invitation_code", katesCode}});
    EXPECT_EQ(kate.status, 200) << kate.raw;
    // Both stay open and listed, and nothing was closed.
    Reply family = get("invite/data", {{"user_id", std::to_string(mother.userId)}}, mother.access);
    EXPECT_EQ(pendingInvitations(family),
              (std::set<std::string>{"sarah@cradleway.test", "kate@cradleway.test"}))
        << family.raw;
    for (const auto& line : consoleLines())
        EXPECT_EQ(line.find("closed"), std::string::npos) << line;

    // The stranger's address is slowed: its hundred-and-first wrong code in the hour waits. As found,
    // ninety of them renewed every invitation she had open; they renew the demo's six-digit code, but
    // a code she sends now is one of eight digits, which takes more wrong codes than one address has.
    int wrong = 15;
    for (int i = 15; i < 110; ++i)
        wrong += postFrom("127.0.0.2", "invite/check",
                          {{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(100000 + i)}})
                     .status == 404;
    EXPECT_EQ(wrong, 100);
    EXPECT_EQ(katesCode.size(), 8u);
    EXPECT_EQ(consoleCapture("a new code for Kate", "invitation code "), "");
    EXPECT_NE(consoleCapture("a new code for Sarah", "invitation code "), "");
    Reply slowed = postFrom("127.0.0.2", "invite/check",
                            {{"email", "demo@cradleway.test"}, {"invitation_code", katesCode}});
    EXPECT_EQ(slowed.status, 429);
    // Sarah, elsewhere, signs up into the family with the code she proved.
    Reply joined = postFrom(sarahsPhone, "127.0.0.3", "signup", newMemberForm("sarah@cradleway.test"));
    ASSERT_EQ(joined.status, 200) << joined.raw;
    EXPECT_EQ(joined.body["babies"].size(), 2u);
}

TEST_F(InvitationGuessTest, ACodeWhoseGuessesAreSpentIsRenewedForItsInviteeAndTheInvitationStaysOpen) {
    Session mother = demoMother();
    // A stranger guesses at the mother's invitations from nine addresses: eighty-nine wrong codes
    // leave Sarah's code as it was.
    int sent = 0;
    auto guess = [&] {
        const std::string from = "127.0.4." + std::to_string(sent % 9 + 1);
        Reply reply =
            postFrom(from, "invite/check",
                     {{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(300000 + sent)}});
        ++sent;
        return reply.status;
    };
    for (int i = 0; i < 89; ++i)
        ASSERT_EQ(guess(), 404) << i;
    EXPECT_EQ(consoleCapture("<sarah@cradleway.test>", "invitation code "), "");
    // The ninetieth spends it: Sarah is sent a new code, longer, and the old one brings nothing.
    ASSERT_EQ(guess(), 404);
    const std::string renewed = consoleCapture("<sarah@cradleway.test>", "invitation code ");
    ASSERT_EQ(renewed.size(), 10u);
    bool told = false;
    for (const auto& line : consoleLines())
        told = told || line == "invitation: a new code for Sarah Hart <sarah@cradleway.test> from Emma Hart "
                               "<demo@cradleway.test>, since the last took 90 wrong codes: invitation code " +
                                   renewed;
    EXPECT_TRUE(told);
    // As found, the code mailed to her before answered that it matched no open invitation.
    CookieJar sarahsPhone;
    Reply old = postFrom(sarahsPhone, "127.0.0.3", "invite/check",
                         {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}});
    EXPECT_EQ(old.status, 404);
    EXPECT_EQ(old.body["message"], "This invitation's code was replaced: a new code was sent to "
                                   "sarah@cradleway.test. Please enter the new code.");
    // The invitation is still open, listed among her family, and the new code brings Sarah in.
    Reply family = get("invite/data", {{"user_id", std::to_string(mother.userId)}}, mother.access);
    EXPECT_EQ(pendingInvitations(family), std::set<std::string>{"sarah@cradleway.test"}) << family.raw;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(guess(), 404) << i;
    Reply check = postFrom(sarahsPhone, "127.0.0.3", "invite/check",
                           {{"email", "demo@cradleway.test"}, {"invitation_code", renewed}});
    ASSERT_EQ(check.status, 200) << check.raw;
    Reply joined = postFrom(sarahsPhone, "127.0.0.3", "signup", newMemberForm("sarah@cradleway.test"));
    ASSERT_EQ(joined.status, 200) << joined.raw;
    EXPECT_EQ(joined.body["babies"].size(), 2u);
}

// A renewed code was one of the first 410 million ten-digit numbers, not of all nine billion: the
// draw kept the low 32 bits of its span.
TEST(InvitationCodes, ATenDigitCodeIsDrawnFromEveryTenDigitNumber) {
    int64_t highest = 0;
    for (int i = 0; i < 64; ++i)
        highest = std::max(highest, randomNumber(1'000'000'000, 9'999'999'999));
    EXPECT_GT(highest, 5'000'000'000);
}

TEST_F(InvitationGuessTest, AnInviteesTyposAtOneFamilysCodeLeaveAnotherFamilysInvitationToHerOpen) {
    Session emma = demoMother();
    Session mallory = signUpStranger("mallory@cradleway.test");
    ASSERT_EQ(
        post("invite", invitationOf("Lisa", "lisa@cradleway.test", mallory.userId), mallory.access).status,
        200);
    const std::string mallorysCode = consoleCapture("<lisa@cradleway.test>", "invitation code ");
    ASSERT_EQ(post("invite", invitationOf("Lisa", "lisa@cradleway.test", emma.userId), emma.access).status,
              200);
    const std::string emmasCode = consoleCapture("<lisa@cradleway.test>", "invitation code ");

    // Lisa mistypes Mallory's code five times, with her own address.
    CookieJar lisasPhone;
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(
            post(lisasPhone, "invite/check",
                 {{"email", "lisa@cradleway.test"}, {"invitation_code", mallorysCode + std::to_string(i)}})
                .status,
            404);
    // Both invitations to her are open, and each of their codes is taken.
    EXPECT_EQ(
        post(lisasPhone, "invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", emmasCode}})
            .status,
        200);
    EXPECT_EQ(post(lisasPhone, "invite/check",
                   {{"email", "mallory@cradleway.test"}, {"invitation_code", mallorysCode}})
                  .status,
              200);
    Reply lisa = post(lisasPhone, "signup", newMemberForm("lisa@cradleway.test"));
    ASSERT_EQ(lisa.status, 200) << lisa.raw;
    EXPECT_EQ(lisa.body["babies"].size(), 3u) << lisa.raw;
}

using EmailCodeGuessTest = ServerTest;

TEST_F(EmailCodeGuessTest, AStrangersRequestsAndGuessesForHerAddressSpendHisAllowanceNotHers) {
    const std::string hers = "new.parent@cradleway.test";
    const json asked = {{"email", hers}};
    std::set<int> codes;
    // As found: five requests for a code for her address, from five other addresses; each stranger
    // keeps his cookies.
    std::vector<CookieJar> strangers(5);
    for (int a = 0; a < 5; ++a) {
        Reply sent = postFrom(strangers[a], "127.0.5." + std::to_string(a + 1), "validate/email", asked);
        ASSERT_EQ(sent.status, 200) << a << " " << sent.raw;
        codes.insert(std::stoi(consoleCapture("for " + hers, "code ")));
    }
    // Her own request, from her network, is answered with a code of her own.
    CookieJar phone;
    Reply mine = postFrom(phone, "127.0.0.9", "validate/email", asked);
    ASSERT_EQ(mine.status, 200) << mine.raw;
    const int code = std::stoi(consoleCapture("for " + hers, "code "));
    codes.insert(code);
    int wrong = 1000;
    while (codes.count(wrong))
        ++wrong;

    // Five wrong codes from the strangers' addresses; then one stranger goes on guessing.
    for (int a = 0; a < 5; ++a) {
        Reply guessed = postFrom(strangers[a], "127.0.5." + std::to_string(a + 1), "verify/email",
                                 {{"email", hers}, {"code", wrong}});
        EXPECT_EQ(guessed.status, 400) << a << " " << guessed.raw;
    }
    int refused = 0;
    for (int i = 0; i < 6; ++i)
        refused +=
            postFrom(strangers[0], "127.0.5.1", "verify/email", {{"email", hers}, {"code", wrong}}).status ==
            429;
    EXPECT_GE(refused, 2);
    // A stranger who never asked for a code has no code to guess at.
    Reply none = postFrom("127.0.5.7", "verify/email", {{"email", hers}, {"code", code}});
    EXPECT_EQ(none.status, 404) << none.raw;

    // Her right code is taken, from whatever network her phone is on by then.
    Reply verified = postFrom(phone, "127.0.0.10", "verify/email", {{"email", hers}, {"code", code}});
    EXPECT_EQ(verified.status, 200) << verified.raw;
    // Her network keeps its own allowance of codes for her address, after the strangers spent theirs.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(postFrom(strangers[1], "127.0.5.2", "validate/email", asked).status, 200) << i;
    EXPECT_EQ(postFrom(strangers[1], "127.0.5.2", "validate/email", asked).status, 429);
    EXPECT_EQ(postFrom(phone, "127.0.0.9", "validate/email", asked).status, 200);
}

using PhoneSignInTest = ServerTest;

// `count` wrong passwords from `from`, one after another over a kept-alive connection: how many were
// judged wrong (403) and how many refused (429).
std::pair<int, int> guessPasswords(int port, const std::string& from, const json& body, int count) {
    RawConnection c(port, from);
    const std::string text = body.dump();
    int wrong = 0, refused = 0;
    for (int i = 0; i < count; ++i) {
        c.send("POST /m/api/signin HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
               "Content-Length: " +
               std::to_string(text.size()) + "\r\n\r\n" + text);
        for (int status : statusesIn(c.readReply())) {
            wrong += status == 403;
            refused += status == 429;
        }
    }
    return {wrong, refused};
}

TEST_F(PhoneSignInTest, HerPhoneSignsInOnTheWardWhileAStrangerGuessesHerPasswordThere) {
    const std::string ward = "127.0.0.2";
    const json hers = {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}};
    CookieJar phone;
    ASSERT_EQ(postFrom(phone, ward, "signin", hers).status, 200);
    // As found: a stranger on the ward's address sends a wrong password every 50 ms for a minute, and
    // she signs in from her phone there every three seconds.
    const json guess = {{"email", "demo@cradleway.test"}, {"password", "not-her-password"}};
    int wrong = 0, refused = 0, hersRefused = 0;
    for (int second = 0; second < 60; ++second, ++now_) {
        auto [judged, slowed] = guessPasswords(server_->port(), ward, guess, 20);
        wrong += judged;
        refused += slowed;
        if (second % 3 == 0) {
            Reply mother = postFrom(phone, ward, "signin", hers);
            hersRefused += mother.status != 200;
            EXPECT_EQ(mother.status, 200) << "at " << second << " s: " << mother.raw;
        }
    }
    EXPECT_EQ(hersRefused, 0);
    // The stranger is slowed as ever.
    EXPECT_EQ(wrong + refused, 1200);
    EXPECT_LE(wrong, 12);
}

TEST_F(PhoneSignInTest, HerPhoneSignsInFromANewAddressWhileAStrangerGuessesFromTwentyFour) {
    const json hers = {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}};
    CookieJar phone;
    ASSERT_EQ(postFrom(phone, "127.0.0.3", "signin", hers).status, 200);
    // A stranger signed in to an account of his own on his phone: it names his phone for his account.
    Session own = signUpStranger("stranger@cradleway.test");
    CookieJar strangersPhone;
    ASSERT_EQ(postFrom(strangersPhone, "127.0.1.1", "signin",
                       {{"email", "stranger@cradleway.test"}, {"password", "stranger-pass"}})
                  .status,
              200);
    // As found: five wrong passwords from each of twenty-four addresses.
    int wrong = 0;
    for (int address = 0; address < 24; ++address)
        for (int i = 0; i < 5; ++i)
            wrong += postFrom(strangersPhone, "127.0.1." + std::to_string(address + 1), "signin",
                              {{"email", "demo@cradleway.test"}, {"password", "guess-" + std::to_string(i)}})
                         .status == 403;
    EXPECT_EQ(wrong, 100);
    // Her phone signs in from an address she never used; a phone that never signed in to her account
    // waits there as the stranger does.
    Reply mother = postFrom(phone, "127.0.2.1", "signin", hers);
    EXPECT_EQ(mother.status, 200) << mother.raw;
    CookieJar newPhone;
    EXPECT_EQ(postFrom(newPhone, "127.0.2.2", "signin", hers).status, 429);

    // Her phone's own allowance is bounded like any other: five wrong passwords, then it waits.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(
            postFrom(phone, "127.0.2.1", "signin", {{"email", "demo@cradleway.test"}, {"password", "typo"}})
                .status,
            403);
    EXPECT_EQ(postFrom(phone, "127.0.2.1", "signin", hers).status, 429);
    now_ += 1;
    EXPECT_EQ(postFrom(phone, "127.0.2.1", "signin", hers).status, 200);
}

} // namespace
} // namespace cw::server::testing
