// Pictures whose files are small and whose decoding is not: what one may cost is bounded, a few are
// decoded at once, and the rest of the server goes on answering.

#include "ServerFixture.h"

#include "server/Http.h"
#include "server/Pictures.h"
#include "tests/support/JpegBytes.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

using cw::test::progressiveJpegOfScans;

class PictureCostTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 16;
        // What these tests weigh is memory and the decoding places; under the sanitizers a decoding
        // takes many times its time, which must not turn a picture too slow.
        options.pictureDecodingTime = std::chrono::seconds(120);
    }

    // Eight sign-ups at once with `picture` as theirs, each reply within two minutes (status 0 when
    // none came: one address's pictures are read one at a time, each within the decoding time given
    // above), while the terms page is asked for over and over: each time it must be answered.
    std::vector<Reply> eightSignUpsWith(const std::string& picture) {
        std::vector<Reply> replies(8);
        std::atomic<size_t> done{0};
        std::vector<std::thread> senders;
        for (size_t i = 0; i < replies.size(); ++i)
            senders.emplace_back([&, i] {
                httplib::Client client("127.0.0.1", server_->port());
                client.set_read_timeout(120, 0);
                const std::string email = "picture" + std::to_string(signUps_++) + "@cradleway.test";
                auto result = client.Post(
                    "/m/api/signup",
                    httplib::MultipartFormDataItems{{"full_name", "Picture", "", ""},
                                                    {"email", email, "", ""},
                                                    {"relationship", "Mother", "", ""},
                                                    {"password", "picture-password", "", ""},
                                                    {"user_picture", picture, "photo.jpg", "image/jpeg"}});
                if (result) replies[i] = {result->status, json(), result->body};
                ++done;
            });
        for (int asked = 0; asked < 3 || (done < replies.size() && asked < 200); ++asked)
            EXPECT_EQ(get("tandc", {}).status, 200);
        for (auto& sender : senders)
            sender.join();
        return replies;
    }

    std::atomic<int> signUps_{0};
};

TEST_F(PictureCostTest, EightSmallPicturesAtOnceCostLittleAndLeaveTheServerAnswering) {
    // 16384 × 2441 in 2,080 scans: about 400 KB, which a decoder would spread over 240 MB of
    // coefficients and pass over 2,080 times. Refused before the coefficients are taken.
    const std::string costly = progressiveJpegOfScans(16384, 2441, 2080);
    ASSERT_LT(costly.size(), 500u * 1024);
    const auto stored = uploads();
    resetPeakResidentSize();
    // All come from one address, whose pictures are read one at a time: those beyond a few waiting
    // are refused at once.
    int tooLarge = 0;
    for (const auto& reply : eightSignUpsWith(costly)) {
        const bool refused = reply.status == 413 && reply.raw.find("is too large to read") != std::string::npos;
        const bool crowded = reply.status == 429 && reply.raw.find("still being read") != std::string::npos;
        EXPECT_TRUE(refused || crowded) << "no reply within two minutes, or the wrong one: " << reply.raw;
        tooLarge += refused;
    }
    EXPECT_GT(tooLarge, 0);
    EXPECT_EQ(uploads(), stored);
    // 16384 × 960 in ten scans: each within the decoder's memory limit (90 MB of coefficients), but
    // eight decoded at once would hold more than the server may. One address's are decoded one at a
    // time; one that waited too long for its turn, or came beyond those waiting, is refused (429).
    int taken = 0;
    for (const auto& reply : eightSignUpsWith(progressiveJpegOfScans(16384, 960, 10))) {
        EXPECT_TRUE(reply.status == 200 || reply.status == 429) << reply.status << " " << reply.raw;
        taken += reply.status == 200;
    }
    EXPECT_GT(taken, 0);
    if (residentSizeIsSound()) {
        EXPECT_LT(residentMegabytes("VmHWM:"), 600);
    }
}

TEST_F(PictureCostTest, APictureOfThousandsOfScansIsRefusedAndAnOrdinaryProgressiveOneIsTaken) {
    Session s = demoMother();
    auto postPicture = [&](const std::string& bytes) {
        return multipart("post/",
                         {{"user_id", std::to_string(s.userId), "", ""},
                          {"post_text", "A picture", "", ""},
                          {"post_picture_1", bytes, "photo_1.jpg", "image/jpeg"}},
                         s.access);
    };
    // Small enough for the memory limit: only the number of scans gives it away.
    Reply manyScans = postPicture(progressiveJpegOfScans(1024, 768, 2080));
    EXPECT_EQ(manyScans.status, 415) << manyScans.raw;
    EXPECT_NE(manyScans.raw.find("more than 100 scans"), std::string::npos) << manyScans.raw;
    EXPECT_EQ(postPicture(progressiveJpegOfScans(1024, 768, 100)).status, 200);
    EXPECT_EQ(postPicture(progressiveJpegOfScans(1024, 768, 101)).status, 415);
    // Over the pixels allowed: refused as too large, before any decoding.
    Reply tooLarge = postPicture(progressiveJpegOfScans(16384, 2442, 2));
    EXPECT_EQ(tooLarge.status, 413) << tooLarge.raw;
}

// One member's pictures are decoded one at a time, each in her own turn: what she sends beyond a few
// waiting is refused at once, and never takes another member's place.
class PictureTurnTest : public HeldDecodingTest {
protected:
    void adjust(ServerOptions& options) override {
        HeldDecodingTest::adjust(options);
        options.threads = 16;
    }
    // The first picture is slow to decode.
    bool held(int number) const override { return number == 1; }
};

TEST_F(PictureTurnTest, OneMembersSlowPictureHoldsOnlyHerOwnTurn) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    // The mother's first picture is being decoded, slowly.
    postPicture(mother);
    ASSERT_TRUE(waitUntil([this] { return began_ == 1; }));
    // Eight more of hers at once: four wait for her turn, the other four are refused at once.
    for (int i = 0; i < 8; ++i)
        postPicture(mother);
    ASSERT_TRUE(waitUntil([this] { return replies_.size() >= 4; }));
    for (const Reply& refused : replies()) {
        EXPECT_EQ(refused.status, 429);
        EXPECT_EQ(refused.body.value("message", ""), "Your other pictures are still being read. Please try again in a moment.");
    }
    EXPECT_EQ(began(), 1);

    // Meanwhile the father's picture is decoded in a place of its own, and he signs in and comments.
    Reply his = multipart("post", {{"user_id", std::to_string(father.userId), "", ""},
                                   {"post_text", "His picture", "", ""},
                                   {"post_picture_1", jpegBytes(2100), "photo_1.jpg", "image/jpeg"}},
                          father.access);
    EXPECT_EQ(his.status, 200) << his.raw;
    EXPECT_EQ(began(), 2);
    EXPECT_EQ(post("signin", {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}}).status, 200);
    EXPECT_EQ(post("comments/new", {{"comment_text", "Lovely"}, {"post_id", 29}, {"user_id", father.userId}},
                   father.access)
                  .status,
              200);
    EXPECT_EQ(replies().size(), 4u);

    // Once hers is read, those that waited have their turns.
    release();
    joinSenders();
    int taken = 0;
    for (const Reply& reply : replies())
        taken += reply.status == 200;
    EXPECT_EQ(taken, 5);
    EXPECT_EQ(began(), 6);
}

// Each member takes her own turns at the places pictures are decoded in, whatever address she and
// the accounts beside her send from.
class NetworkPictureTurnTest : public PictureTurnTest {
protected:
    void adjust(ServerOptions& options) override {
        PictureTurnTest::adjust(options);
        options.threads = 32;
        // Every picture of the crowd waits at the decoding places, not for a worker.
        options.decodingWorkers = 32;
    }
    // Each decoding holds its place until the test lets that one go.
    bool held(int number) const override { return !allowed_.contains(number); }
    void allow(int number) {
        std::lock_guard lock(mutex_);
        allowed_.insert(number);
        changed_.notify_all();
    }
    // A post with one picture from `from`, sent from a thread of its own; counted in `crowdAnswered_`
    // or kept in `other_` once answered.
    void postPictureFrom(const std::string& from, const Session& who, bool crowd) {
        senders_.emplace_back([this, from, who, crowd] {
            Reply reply = multipartFrom(from, "post",
                                        {{"user_id", std::to_string(who.userId), "", ""},
                                         {"post_picture_1", jpegBytes(2000), "photo_1.jpg", "image/jpeg"}},
                                        who.access);
            std::lock_guard lock(mutex_);
            if (crowd)
                ++crowdAnswered_;
            else
                other_ = reply;
            changed_.notify_all();
        });
    }
    static void waitForWaiting(size_t count) {
        EXPECT_TRUE(eventually([count] { return pictureDecodingGate().waiting() >= count; }))
            << "never " << count << " pictures waiting for a decoding place";
    }

    // Each account sends its first picture, one after the other, from `from(i)`: the first places'
    // worth are being read (held until allowed), the rest wait.
    ::testing::AssertionResult sendFirsts(const std::vector<Session>& accounts,
                                          const std::function<std::string(int)>& from) {
        for (int i = 0; i < static_cast<int>(accounts.size()); ++i) {
            postPictureFrom(from(i), accounts[static_cast<size_t>(i)], true);
            if (i >= kPictureDecodingPlaces)
                waitForWaiting(static_cast<size_t>(i + 1 - kPictureDecodingPlaces));
            else if (!waitUntil([this, i] { return began_ == i + 1; }))
                return ::testing::AssertionFailure() << "picture " << i << " never began";
        }
        return ::testing::AssertionSuccess();
    }
    // The accounts send their firsts from two addresses of one network (the first places' worth
    // read, the rest waiting), then hers comes from `from`: the next place that comes free is hers.
    void expectHersNextAfter(const std::vector<Session>& accounts, const std::string& from, const Session& her) {
        ASSERT_TRUE(sendFirsts(accounts, [](int i) { return "127.0.1." + std::to_string(1 + i % 2); }));
        postPictureFrom(from, her, false);
        waitForWaiting(accounts.size() - kPictureDecodingPlaces + 1);
        allow(1);
        ASSERT_TRUE(waitUntil([this] { return began_ == kPictureDecodingPlaces + 1; }));
        expectHersTaken(kPictureDecodingPlaces + 1);
    }
    // Hers began `number`th: once let through, it is taken.
    void expectHersTaken(int number) {
        allow(number);
        ASSERT_TRUE(waitUntil([this] { return other_.has_value(); }));
        std::lock_guard lock(mutex_);
        EXPECT_EQ(other_->status, 200) << other_->raw;
    }

    std::set<int> allowed_;
    int crowdAnswered_ = 0;
    std::optional<Reply> other_;
};

TEST_F(NetworkPictureTurnTest, AMembersPictureGoesAheadOfTheNextPictureOfAnAccountThatHadOneRead) {
    // Accounts one address made post pictures that are slow to decode: three are read, two more wait.
    std::vector<Session> accounts;
    for (int i = 0; i < 5; ++i)
        accounts.push_back(signUpStranger("slow" + std::to_string(i) + "@cradleway.test"));
    const Session mother = demoMother();
    ASSERT_TRUE(sendFirsts(accounts, [](int) { return std::string("127.0.0.1"); }));
    // The first account's picture is read, and it sends its next; then a member of another network
    // (and neighbourhood) sends hers.
    allow(1);
    ASSERT_TRUE(waitUntil([this] { return began_ == kPictureDecodingPlaces + 1 && crowdAnswered_ == 1; }));
    postPictureFrom("127.0.0.1", accounts[0], true);
    waitForWaiting(2);
    postPictureFrom("127.0.2.2", mother, false);
    waitForWaiting(3);

    // The next place goes to her: the account that asked before her had a turn already, and the one
    // that waited with its first is one of accounts whose network's turns are not over.
    allow(2);
    ASSERT_TRUE(waitUntil([this] { return began_ == kPictureDecodingPlaces + 2; }));
    // Hers is that one: it is answered once that one is read (the next is held until the end).
    expectHersTaken(kPictureDecodingPlaces + 2);
}

TEST_F(NetworkPictureTurnTest, AStrangersAccountsEachNewToThePlacesGoBehindHerPictureOnceHisNeighbourhoodHasTurns) {
    // A stranger's accounts on one network post pictures slow to decode, each its first: three are
    // read, five more wait, and then she sends hers from her own network, with none read before.
    std::vector<Session> accounts;
    for (int i = 0; i < 8; ++i)
        accounts.push_back(signUpStranger("handed" + std::to_string(i) + "@cradleway.test"));
    // Each of his accounts is new to the places, but his network's are not: the next place is hers
    // (before, each of his that asked before her went first).
    expectHersNextAfter(accounts, "127.0.2.2", demoMother());
}

TEST_F(NetworkPictureTurnTest, AFamilysPictureFromTheNetworkAStrangerHandsHisAccountsAroundOnGoesAheadOfThem) {
    // As found: a stranger hands his slow pictures from account to account on the ward's network,
    // each account made with a baby of its own saying but proving nothing; three are read, five wait.
    std::vector<Session> accounts;
    for (int i = 0; i < 8; ++i)
        accounts.push_back(signUpStranger("onward" + std::to_string(i) + "@cradleway.test"));
    // A new family there signs up with their baby's record number, and sends a first picture. Her
    // turns are hers alone wherever she sends from, not his network's count: the next place is hers
    // (before, she waited behind every one of his that asked before her).
    expectHersNextAfter(accounts, "127.0.1.9", signUpWithRecordNumber("ward-parent@cradleway.test"));
}

TEST_F(NetworkPictureTurnTest, AStrangersAccountsInvitedIntoAFamilyOfHisGoBehindHerPictureOnceHisFamilyHasTurns) {
    // As found: a stranger claims a baby of the hospital's by its record number, and invites accounts
    // of his own into that family, each a family's member; they post slow pictures in turn, each its
    // first, from his network (three read, five wait), and then she sends hers from her own.
    const Session inviter = signUpWithRecordNumber("root@cradleway.test");
    std::vector<Session> accounts;
    for (int i = 0; i < 8; ++i)
        accounts.push_back(signUpInvited(inviter, "invited" + std::to_string(i) + "@cradleway.test"));
    // His accounts are counted together as his family's: the next place is hers (before, each of his
    // that asked before her went first, each its family's member alone).
    expectHersNextAfter(accounts, "127.0.2.2", demoMother());
}

// Few workers, each of which a picture that waits holds.
class WorkerTurnTest : public NetworkPictureTurnTest {
protected:
    void adjust(ServerOptions& options) override {
        NetworkPictureTurnTest::adjust(options);
        options.threads = 8;
    }
};

TEST_F(WorkerTurnTest, AWorkerThatComesFreeAnswersASenderWithNoneBeforeTheNextPicturesOfAccountsThatHoldTheRest) {
    // Eight accounts on two addresses send pictures that take long to read, or wait to be read:
    // between them, every worker; then four of them send their next, which wait for a worker.
    std::vector<Session> accounts;
    for (int i = 0; i < 8; ++i)
        accounts.push_back(signUpStranger("holder" + std::to_string(i) + "@cradleway.test"));
    // The test's own connection, kept alive since the sign-ups, closes first (its client goes): the
    // server's open connections are then the pictures' own.
    client_.reset();
    ASSERT_TRUE(eventually([this] { return server_->openConnections() == 0; }));
    for (int i = 0; i < 8; ++i)
        postPictureFrom("127.0.0." + std::to_string(2 + i % 2), accounts[static_cast<size_t>(i)], true);
    ASSERT_TRUE(waitUntil([this] { return began_ == kPictureDecodingPlaces; }));
    waitForWaiting(8 - kPictureDecodingPlaces);
    for (int i = 0; i < 4; ++i)
        postPictureFrom("127.0.0." + std::to_string(2 + i % 2), accounts[static_cast<size_t>(i)], true);
    ASSERT_TRUE(eventually([this] { return server_->queuedRequests() >= 4; }));
    // A sign-in from a third address waits for a worker behind them.
    RawConnection c(server_->port(), "127.0.0.4");
    c.send(partnerSignInRequest());
    ASSERT_TRUE(eventually([this] { return server_->queuedRequests() >= 5; }));
    EXPECT_FALSE(c.waitReadable(300));
    // One picture is read, and its worker comes free: it answers the sign-in.
    allow(1);
    EXPECT_EQ(statusesIn(c.readToClose(20)), std::vector<int>{200});
}

// A picture that takes longer to decode than any should is refused as too costly, as one too large
// is (413: the member sends a smaller one); only one in more scans than a camera writes is no picture
// of the kind taken (415).
TEST(PictureVerdictTest, ADecodingThatRunsOutOfTimeIsRefusedAsTooLarge) {
    PictureBounds outOfTime;
    outOfTime.maxTime = std::chrono::milliseconds(0);
    for (const std::string& picture : {pngBytes(), jpegBytes(2000), progressiveJpegOfScans(1024, 768, 10)}) {
        EXPECT_EQ(checkPicture(picture, *pictureKind(picture), outOfTime), PictureVerdict::TooSlow);
        try {
            requirePicture(picture, "image_file", outOfTime);
            ADD_FAILURE() << "taken";
        } catch (const HttpError& error) {
            EXPECT_EQ(error.status(), 413);
            EXPECT_STREQ(error.what(),
                         "The picture \"image_file\" takes too long to read: at most 0 seconds of "
                         "decoding. Please send a smaller picture.");
        }
    }
    try {
        requirePicture(progressiveJpegOfScans(1024, 768, 2080), "image_file");
        ADD_FAILURE() << "taken";
    } catch (const HttpError& error) {
        EXPECT_EQ(error.status(), 415);
    }
}

} // namespace
} // namespace cw::server::testing
