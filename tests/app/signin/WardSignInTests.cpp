// The mother's phone on the ward's Wi-Fi, against the demo server, while a stranger on the same network
// guesses her password: the phone she signed in on before signs her in again, after a logout too.
#include "SignInFixture.h"

#include <httplib.h>

#include <atomic>
#include <thread>

namespace cw::test {

TEST_F(SignInTest, ThePhoneSheSignedInOnBeforeSignsInWhileAStrangerOnItsNetworkGuessesHerPassword) {
    demo->answerFeedQuestions();
    launch();
    signIn("demo@cradleway.test", "cradleway-demo");
    ASSERT_TRUE(waitFor([&] { return showsMainInterface() && host->isShowing("Daily update for Olivia"); }));
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(waitForText("Log In"));

    // A stranger on the same network address guesses her password as fast as the server answers,
    // until she is in.
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0}, slowed{0};
    std::thread stranger([&, url = demo->baseUrl()] {
        httplib::Client client(url);
        const std::string guess = R"({"email": "demo@cradleway.test", "password": "not-her-password"})";
        while (!done) {
            auto reply = client.Post("/m/api/signin", guess, "application/json");
            if (reply && reply->status == 403) ++wrong;
            if (reply && reply->status == 429) ++slowed;
        }
    });
    const bool strangerSlowed = waitFor([&] { return slowed > 0; });
    signIn("demo@cradleway.test", "cradleway-demo");
    const bool in = waitFor([&] { return showsMainInterface(); });
    done = true;
    stranger.join();
    EXPECT_TRUE(strangerSlowed);
    EXPECT_TRUE(in) << "she waits as the stranger does";
    EXPECT_LE(wrong.load(), 10);
}

} // namespace cw::test
