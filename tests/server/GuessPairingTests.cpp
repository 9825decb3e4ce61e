// A guesser who pairs each wrong guess with a right one he knows (his own account, a baby with no
// family, the demo's invitation, his own e-mail code), accepted or refused, is slowed exactly as if he
// had sent the wrong ones alone; and the right guesses of the families on his network, once his wait
// is over, go through one after another.

#include "ServerFixture.h"

#include "server/Auth.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>

namespace cw::server::testing {
namespace {

using GuessPairingTest = ServerTest;

bool slowed(const Reply& reply) {
    return reply.status == 429 && reply.raw.find("Too many attempts.") != std::string::npos;
}

// One kind of guess, from an address of its own.
struct GuessKind {
    const char* name;
    int freeMisses;             // the misses its count lets through before the next must wait
    int64_t firstWait;          // seconds the first slowed miss waits
    int missJudged;             // the status of a miss judged wrong
    std::set<int> rightAnswers; // a right guess accepted, or refused for something else than guessing
    std::function<Reply(int)> miss;
    std::function<Reply()> right;
};

TEST_F(GuessPairingTest,
       MissesEachPairedWithARightGuessAreSlowedAsIfAloneAndRightGuessesGoThroughAfterTheWait) {
    CookieJar lookingUp, verifying;
    std::string ownCode; // the e-mail code the guesser asked for his own address
    const std::vector<GuessKind> kinds = {
        // As found: no cookie kept, each miss followed by the record number of the baby with no family;
        // past the sixty new phones that baby allows from one address, each right look-up refused for
        // them took its attempt back twice, and a hundred misses were never slowed.
        {"record numbers, no cookie kept",
         100,
         1,
         404,
         {200, 429},
         [this](int i) {
             return postFrom("127.0.1.1", "baby/verify_mrn", {{"mrn", "CW9" + std::to_string(10000 + i)}});
         },
         [this] {
             return postFrom("127.0.1.1", "baby/verify_mrn", {{"mrn", "CW200001"}});
         }},
        {"record numbers from an application that keeps its cookie",
         20,
         1,
         404,
         {200},
         [this, &lookingUp](int i) {
             return postFrom(lookingUp, "127.0.1.2", "baby/verify_mrn",
                             {{"mrn", "CW9" + std::to_string(20000 + i)}});
         },
         [this, &lookingUp] {
             return postFrom(lookingUp, "127.0.1.2", "baby/verify_mrn", {{"mrn", "CW200001"}});
         }},
        // Wrong codes with an address no invitation names, so that no invitation's code is renewed.
        {"invitation codes, no cookie kept",
         100,
         2,
         404,
         {200, 429},
         [this](int i) {
             return postFrom(
                 "127.0.1.3", "invite/check",
                 {{"email", "nobody@cradleway.test"}, {"invitation_code", std::to_string(9000000 + i)}});
         },
         [this] {
             return postFrom("127.0.1.3", "invite/check",
                             {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}});
         }},
        // Five wrong codes for each of twenty-one addresses' codes, his own code right in between.
        {"e-mail codes",
         100,
         30,
         400,
         {200},
         [this, &verifying](int i) {
             const std::string email = "guess" + std::to_string(i / 5) + "@cradleway.test";
             if (i % 5 == 0) {
                 EXPECT_EQ(postFrom(verifying, "127.0.1.4", "validate/email", {{"email", email}}).status,
                           200);
             }
             const int sent = std::stoi(consoleCapture("for " + email, "code "));
             return postFrom(verifying, "127.0.1.4", "verify/email",
                             {{"email", email}, {"code", sent == 1000 ? 1001 : 1000}});
         },
         [this, &verifying, &ownCode] {
             if (ownCode.empty()) {
                 EXPECT_EQ(
                     postFrom(verifying, "127.0.1.4", "validate/email", {{"email", "own@cradleway.test"}})
                         .status,
                     200);
                 ownCode = consoleCapture("for own@cradleway.test", "code ");
             }
             return postFrom(verifying, "127.0.1.4", "verify/email",
                             {{"email", "own@cradleway.test"}, {"code", std::stoi(ownCode)}});
         }},
        {"passwords for her account",
         5,
         1,
         403,
         {200},
         [this](int) {
             return postFrom("127.0.1.5", "signin",
                             {{"email", "demo@cradleway.test"}, {"password", "guess-1234"}});
         },
         [this] {
             return postFrom("127.0.1.5", "signin",
                             {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}});
         }},
        // While a reset's temporary password is pending, each miss is checked against both passwords.
        {"passwords for her account while her reset is pending",
         5,
         1,
         403,
         {200},
         [this](int i) {
             if (i == 0) {
                 EXPECT_EQ(postFrom("127.0.1.7", "member/password/reset", {{"email", "demo@cradleway.test"}})
                               .status,
                           200);
             }
             return postFrom("127.0.1.7", "signin",
                             {{"email", "demo@cradleway.test"}, {"password", "guess-1234"}});
         },
         [this] {
             return postFrom("127.0.1.7", "signin",
                             {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}});
         }},
        {"passwords for addresses with no account",
         100,
         1,
         403,
         {200},
         [this](int i) {
             return postFrom(
                 "127.0.1.6", "signin",
                 {{"email", "made-up" + std::to_string(i) + "@cradleway.test"}, {"password", "guess-1234"}});
         },
         [this] {
             return postFrom("127.0.1.6", "signin",
                             {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}});
         }},
    };
    for (const GuessKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        for (int i = 0; i < kind.freeMisses; ++i) {
            Reply missed = kind.miss(i);
            ASSERT_EQ(missed.status, kind.missJudged) << i << " " << missed.raw;
            // The last free miss leaves its count where the next attempt, right or not, waits.
            if (i == kind.freeMisses - 1) break;
            Reply right = kind.right();
            ASSERT_EQ(kind.rightAnswers.count(right.status), 1u) << i << " " << right.raw;
            ASSERT_FALSE(slowed(right)) << i;
        }
        // The next miss waits, as it would have without the right guesses between.
        Reply next = kind.miss(kind.freeMisses);
        EXPECT_TRUE(slowed(next)) << next.raw;
        // Once the wait is over, right guesses one after another are each judged at once.
        now_ += kind.firstWait;
        for (int i = 0; i < 2; ++i) {
            Reply right = kind.right();
            EXPECT_EQ(kind.rightAnswers.count(right.status), 1u) << i << " " << right.raw;
            EXPECT_FALSE(slowed(right)) << i << " " << right.raw;
        }
    }
}

// While her reset is pending, a password is checked against hers and then against the temporary one.
// As found, the second check could find every hash place taken once the first was made: the miss,
// already judged wrong against her password, was answered 429 and taken back as never judged, so a
// guesser who kept the places busy guessed at her password uncounted. Both are judged at one place.
TEST_F(GuessPairingTest, AMissWhileHerResetIsPendingIsJudgedWhollyOrNotAtAll) {
    ASSERT_EQ(postFrom("127.0.1.8", "member/password/reset", {{"email", "demo@cradleway.test"}}).status, 200);
    auto held = holdEveryHashPlace("crowd");
    Reply missed;
    std::thread guessing([&] {
        missed =
            postFrom("127.0.1.8", "signin", {{"email", "demo@cradleway.test"}, {"password", "guess-1234"}});
    });
    while (passwordHashesWaiting() < 1)
        std::this_thread::yield();
    // Another sender waits for a place behind the guess, and takes the one the guess lets go.
    std::unique_ptr<Gate::Turn> behind;
    std::thread waiting([&] {
        behind = std::make_unique<Gate::Turn>(passwordHashGate(), std::chrono::seconds(60), "behind");
    });
    while (passwordHashGate().waiting() < 2)
        std::this_thread::yield();
    held.pop_back();
    waiting.join();
    guessing.join();
    EXPECT_EQ(missed.status, 403) << missed.raw;
    held.clear();
    behind.reset();
    // It was counted: four more misses are free, the next waits.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(
            postFrom("127.0.1.8", "signin", {{"email", "demo@cradleway.test"}, {"password", "guess-5678"}})
                .status,
            403);
    EXPECT_TRUE(
        slowed(postFrom("127.0.1.8", "signin", {{"email", "demo@cradleway.test"}, {"password", "guess"}})));
}

} // namespace
} // namespace cw::server::testing
