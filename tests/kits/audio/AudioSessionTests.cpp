#include "kits/audio/AVAudioSession.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class AudioSessionTest : public ::testing::Test {
protected:
    void SetUp() override { AVAudioSession::sharedInstance().reset(); }
    void TearDown() override { AVAudioSession::sharedInstance().reset(); }
};

TEST_F(AudioSessionTest, KeepsTheCategoryAndActiveStateAndRefusesUnknownCategories) {
    auto& session = AVAudioSession::sharedInstance();
    EXPECT_EQ(session.category(), "AVAudioSessionCategorySoloAmbient");
    EXPECT_FALSE(session.isActive());

    NSError error;
    EXPECT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback, &error));
    EXPECT_TRUE(session.setActive(true, &error));
    EXPECT_EQ(session.category(), "AVAudioSessionCategoryPlayback");
    EXPECT_TRUE(session.isActive());
    // Activating twice is no fault.
    EXPECT_TRUE(session.setActive(true));

    EXPECT_FALSE(session.setCategory("Loud", &error));
    EXPECT_EQ(error.domain, "NSOSStatusErrorDomain");
    EXPECT_EQ(error.code, -50);
    EXPECT_EQ(session.category(), "AVAudioSessionCategoryPlayback");

    EXPECT_TRUE(session.setActive(false));
    EXPECT_FALSE(session.isActive());
}

TEST_F(AudioSessionTest, InjectedErrorsFailTheirCallAndChangeNothingUntilCleared) {
    auto& session = AVAudioSession::sharedInstance();
    const NSError busy("NSOSStatusErrorDomain", 560030580); // '!pri': another application holds the audio
    session.injectError(AVAudioSession::Operation::setActive, busy);

    NSError error;
    EXPECT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback, &error));
    EXPECT_FALSE(session.setActive(true, &error));
    EXPECT_EQ(error, busy);
    EXPECT_FALSE(session.isActive());
    EXPECT_FALSE(session.setActive(true)); // without an error to fill in

    session.injectError(AVAudioSession::Operation::setCategory, busy);
    EXPECT_FALSE(session.setCategory(AVAudioSessionCategoryAmbient, &error));
    EXPECT_EQ(session.category(), AVAudioSessionCategoryPlayback);

    session.injectError(AVAudioSession::Operation::setActive, std::nullopt);
    EXPECT_TRUE(session.setActive(true));
    EXPECT_TRUE(session.isActive());
}

TEST_F(AudioSessionTest, CanBeSetFromSeveralThreadsAtOnce) {
    auto& session = AVAudioSession::sharedInstance();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&session, t] {
            for (int i = 0; i < 200; ++i) {
                session.setCategory(t % 2 ? AVAudioSessionCategoryPlayback : AVAudioSessionCategoryAmbient);
                session.setActive(i % 2 == 0);
                (void)session.category();
            }
        });
    for (auto& t : threads) t.join();
    const auto category = session.category();
    EXPECT_TRUE(category == AVAudioSessionCategoryPlayback || category == AVAudioSessionCategoryAmbient);
}

} // namespace
