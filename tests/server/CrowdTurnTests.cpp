// Crowds of senders, each within its share: another sender is served ahead of the requests they
// queue, whatever it had before, and the work the server refuses them counts as work it did.

#include "ServerFixture.h"

#include "server/Auth.h"
#include "server/Gate.h"
#include "server/Pictures.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

class CrowdTurnTest : public ServerTest {
protected:
    // Four workers, as in every server test.
    static constexpr int kWorkers = 4;
    // The crowd's sign-ins all go to the workers, holding every one while they wait for a core, so
    // that the workers that come free go by turns.
    void adjust(ServerOptions& options) override { options.costlyWorkers = 2 * kWorkers; }

    // A request from `from`, sent on a connection of its own and left for the test to read.
    std::unique_ptr<RawConnection> send(const std::string& from, const std::string& request) {
        auto c = std::make_unique<RawConnection>(server_->port(), from);
        c->send(request);
        return c;
    }
    static std::string jsonRequest(const std::string& path, const json& body,
                                   const std::string& headers = "") {
        const std::string text = body.dump();
        return "POST /m/api/" + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers +
               "Content-Type: application/json\r\nContent-Length: " + std::to_string(text.size()) +
               "\r\n\r\n" + text;
    }
    static std::string signInRequest(const std::string& email, const std::string& password,
                                     const std::string& headers = "") {
        return jsonRequest("signin", {{"email", email}, {"password", password}}, headers);
    }
    static constexpr const char* kPage = "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";

    static void waitUntil(const std::function<bool()>& reached) {
        while (!reached())
            std::this_thread::yield();
    }

    // Eight sign-ins of the crowd's four accounts, two each (the i-th to account i % 4), the i-th
    // from `from(i)` with the headers `headers(i % 4)`, while every core for a hash is busy
    // (`hashes`): the first four hold the workers while they wait for one, and the second four
    // wait for a worker.
    std::vector<std::unique_ptr<RawConnection>> crowdSignsIn(
        const std::function<std::string(int)>& from, std::vector<std::unique_ptr<Gate::Turn>>& hashes,
        const std::function<std::string(int)>& headers = [](int) { return std::string(); }) {
        hashes = holdEveryHashPlace("busy");
        std::vector<std::unique_ptr<RawConnection>> crowd;
        for (int i = 0; i < 8; ++i) {
            crowd.push_back(
                send(from(i), signInRequest(crowdEmail(i % 4), "crowd-password", headers(i % 4))));
            if (i < kWorkers)
                waitUntil([&] { return passwordHashesWaiting() == i + 1; });
            else
                waitUntil([&] { return server_->queuedRequests() == static_cast<size_t>(i + 1 - kWorkers); });
        }
        return crowd;
    }
    static std::string crowdEmail(int account) {
        return "crowd" + std::to_string(account) + "@cradleway.test";
    }
    void fromABusyNeighbourhood(const std::string& headers, int status, bool ahead);
    void SetUp() override {
        ServerTest::SetUp();
        insertMembers(*server_->state().pool->acquire(), "crowd", 4, hashPassword("crowd-password", true));
    }

    // Another request, sent from `from` behind the crowd's queued sign-ins: of the workers that come
    // free as the first four sign-ins give up waiting for a core (429), one answers it while the
    // crowd's queued sign-ins wait for a core in turn. Then the cores come free and the crowd is answered.
    void answeredAheadOf(const std::string& from, const std::string& request,
                         std::vector<std::unique_ptr<RawConnection>>& crowd,
                         std::vector<std::unique_ptr<Gate::Turn>>& hashes) {
        auto other = send(from, request);
        waitUntil([&] { return server_->queuedRequests() == 5; });
        EXPECT_EQ(statusesIn(other->readToClose(20)), std::vector<int>{200});
        for (int i = kWorkers; i < 8; ++i)
            EXPECT_FALSE(crowd[static_cast<size_t>(i)]->waitReadable(0)) << i;
        hashes.clear();
        for (auto& c : crowd)
            EXPECT_FALSE(statusesIn(c->readToClose(20)).empty());
    }
};

TEST_F(CrowdTurnTest, AQuietAddresssRequestIsAnsweredBeforeTheQueuedRequestsOfACrowdThatHoldsTheWorkers) {
    // A crowd of four addresses of one neighbourhood, each holding a worker with one sign-in and
    // waiting for another with its next; then a quiet address of the same neighbourhood asks for a page.
    std::vector<std::unique_ptr<Gate::Turn>> hashes;
    auto crowd = crowdSignsIn([](int i) { return "127.0.0." + std::to_string(10 + i % 4); }, hashes);
    answeredAheadOf("127.0.0.3", kPage, crowd, hashes);
}

TEST_F(CrowdTurnTest, AnAddressOfAnotherNeighbourhoodIsAnsweredBeforeTheQueuedRequestsOfACrowdOfManyAddresses) {
    // As found: while 200 addresses of one neighbourhood signed in over and over, her sign-in from
    // an address of her own waited behind a turn of each of them, 2 to 5 s. Here eight addresses of
    // one neighbourhood, one sign-in each: their neighbourhood has had four turns, hers none.
    std::vector<std::unique_ptr<Gate::Turn>> hashes;
    auto crowd = crowdSignsIn([](int i) { return "127.0.0." + std::to_string(10 + i); }, hashes);
    answeredAheadOf("127.0.5.3", kPage, crowd, hashes);
}

TEST_F(CrowdTurnTest, AnAddressThatHadATurnIsAnsweredBeforeTheRequestsACrowdSendsAfterItEachFromANewAddress) {
    // As found: a crowd that sends every sign-in from an address it never used before kept the
    // queue full of newcomers, and the mother's second request, from the phone that had just signed
    // in, was not answered within a minute. Each of the crowd's addresses is as new as hers: she
    // waits behind those that asked before her, and goes ahead of those that ask after.
    EXPECT_EQ(statusesIn(send("127.0.5.3", kPage)->readToClose(20)), std::vector<int>{200});
    std::vector<std::unique_ptr<Gate::Turn>> hashes;
    auto crowd = crowdSignsIn([](int i) { return "127.0.9." + std::to_string(100 + i); }, hashes);
    auto hers = send("127.0.5.3", kPage);
    waitUntil([&] { return server_->queuedRequests() == 5; });
    for (int i = 0; i < kWorkers; ++i) {
        crowd.push_back(
            send("127.0.9." + std::to_string(200 + i), signInRequest(crowdEmail(i), "crowd-password")));
        waitUntil([&] { return server_->queuedRequests() == static_cast<size_t>(6 + i); });
    }
    EXPECT_EQ(statusesIn(hers->readToClose(20)), std::vector<int>{200});
    for (size_t i = 2 * kWorkers; i < crowd.size(); ++i)
        EXPECT_FALSE(crowd[i]->waitReadable(0)) << i;
    hashes.clear();
    for (auto& c : crowd)
        EXPECT_FALSE(statusesIn(c->readToClose(20)).empty());
}

// Her address and others of her neighbourhood hold every worker with sign-ins that wait for a core;
// her request (its head's headers `headers`) comes from her address, and then sign-ins of phones
// new to the workers, each from a new neighbourhood. Taken as hers, it is answered ahead of them
// (`ahead`); taken as her busy address's, behind some of them.
void CrowdTurnTest::fromABusyNeighbourhood(const std::string& headers, int status, bool ahead) {
    std::vector<std::string> phones;
    for (int account = 0; account < 4; ++account) {
        CookieJar phone;
        ASSERT_EQ(
            post(phone, "signin", {{"email", crowdEmail(account)}, {"password", "crowd-password"}}).status,
            200);
        phones.push_back("Cookie: cw_device=" + phone.cookies.at("cw_device") + "\r\n");
    }
    std::vector<std::unique_ptr<Gate::Turn>> hashes = holdEveryHashPlace("busy");
    std::vector<std::unique_ptr<RawConnection>> crowd;
    for (int i = 0; i < kWorkers; ++i) {
        crowd.push_back(send(i % 2 == 0 ? "127.0.5.3" : "127.0.5." + std::to_string(10 + i),
                             signInRequest(crowdEmail(i), "crowd-password")));
        waitUntil([&] { return passwordHashesWaiting() == i + 1; });
    }
    auto hers = send("127.0.5.3", "GET /m/api/member/notification/settings HTTP/1.1\r\nHost: x\r\n"
                                  "Connection: close\r\n" +
                                      headers + "\r\n");
    waitUntil([&] { return server_->queuedRequests() == 1; });
    for (int i = kWorkers; i < 2 * kWorkers; ++i) {
        crowd.push_back(
            send("127.2." + std::to_string(i) + ".10",
                 signInRequest(crowdEmail(i % 4), "crowd-password", phones[static_cast<size_t>(i % 4)])));
        waitUntil([&] { return server_->queuedRequests() == static_cast<size_t>(i + 2 - kWorkers); });
    }
    // The first four give up waiting for a core; the workers that come free answer hers first, or
    // some of the new neighbourhoods' sign-ins (which give up in their turn) first.
    EXPECT_EQ(statusesIn(hers->readToClose(20)), std::vector<int>{status});
    int answeredBefore = 0;
    for (int i = kWorkers; i < 2 * kWorkers; ++i)
        answeredBefore += crowd[static_cast<size_t>(i)]->waitReadable(0);
    if (ahead)
        EXPECT_EQ(answeredBefore, 0);
    else
        EXPECT_GT(answeredBefore, 0);
    hashes.clear();
    for (auto& c : crowd)
        EXPECT_FALSE(statusesIn(c->readToClose(20)).empty());
}

TEST_F(CrowdTurnTest, ATokenIsItsMembersFromItsFirstRequestOnEveryRoadThatIssuesOne) {
    // As found: an access token was known as its member's only once a request had used it, so her
    // first request after signing in took its turn as her address's neighbourhood's, and her first
    // picture post among a crowd's waited 9-14 s. A head with a made-up token before hers is
    // answered as nobody's, and waits as nobody's. Each proved her family by its baby: her turns are
    // her family's, not her busy address's.
    struct Road {
        const char* name;
        std::function<std::string()> newToken;
        const char* before = ""; // a header the head carries before hers
        int status = 200;
        bool ahead = true;
    };
    // Her phone, known by the cookie it was given as she signed in on it, is her family's too: a
    // request with no token (answered 401) takes its turn as the family's, not her address's.
    const auto herPhone = [this] {
        CookieJar phone;
        EXPECT_EQ(
            post(phone, "signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}}).status,
            200);
        return "Cookie: cw_device=" + phone.cookies.at("cw_device") + "\r\n";
    };
    const auto token = [](std::string access) { return "X-Access-Token: " + access + "\r\n"; };
    const std::vector<Road> roads = {
        {"a sign-in", [&] { return token(demoMother().access); }},
        {"a sign-up",
         [&] {
             return token(postSignUpWithRecordNumber("newcomer@cradleway.test")
                              .body["tokens"]
                              .value("access_token", ""));
         }},
        {"a refresh",
         [&] {
             return token(
                 post("tokens", {{"refresh_token", demoMother().refresh}}).body.value("access_token", ""));
         }},
        {"a made-up token before hers", [&] { return token(demoMother().access); },
         "X-Access-Token: made-up\r\n", 401, false},
        {"an empty token before hers, which is dropped", [&] { return token(demoMother().access); },
         "X-Access-Token: \r\nX-Access-Token:  \r\n"},
        {"the phone she signed in on, without a token", herPhone, "", 401},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        const std::string header = road.newToken();
        ASSERT_NE(header, token(""));
        fromABusyNeighbourhood(road.before + header, road.status, road.ahead);
    }
}

// Access tokens that lapse as they are issued.
class LapsedTokenTurnTest : public CrowdTurnTest {
protected:
    void adjust(ServerOptions& options) override {
        CrowdTurnTest::adjust(options);
        options.accessTokenSeconds = 0;
    }
};

TEST_F(LapsedTokenTurnTest, ALapsedTokenTakesNoTurnAsItsMembers) {
    // As found: requests sent with her lapsed token were answered 401 and took their turns as hers.
    const std::string token =
        post("signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}})
            .body["tokens"]
            .value("access_token", "");
    ASSERT_FALSE(token.empty());
    fromABusyNeighbourhood("X-Access-Token: " + token + "\r\n", 401, false);
}

class CostlyCrowdWorkerTest : public CrowdTurnTest {
protected:
    // Of the four workers, pictures to decode may have as many as there are decoding places.
    void adjust(ServerOptions& options) override { options.decodingWorkers = kPictureDecodingPlaces; }

    // The crowd's requests wait for the places `held` keeps busy: the workers they may have (`bound`
    // of the four) take them and the rest stay queued, so that the terms page and the mother's feed are
    // answered meanwhile and no request of the crowd is; once the places come free, each is answered.
    void othersAnsweredWhileHeld(const Session& mother, std::vector<std::unique_ptr<RawConnection>>& crowd,
                                 std::vector<std::unique_ptr<Gate::Turn>>& held, size_t bound) {
        waitUntil([&] { return server_->queuedRequests() <= crowd.size() - bound; });
        const std::string feed = jsonRequest("content", {{"baby_ids", {1, 2}}, {"user_id", mother.userId}},
                                             "X-Access-Token: " + mother.access + "\r\n");
        for (const std::string& request : {std::string(kPage), feed})
            EXPECT_EQ(statusesIn(send("127.0.5.3", request)->readToClose(20)), std::vector<int>{200});
        for (size_t i = 0; i < crowd.size(); ++i)
            EXPECT_FALSE(crowd[i]->waitReadable(0)) << i;
        held.clear();
        for (auto& c : crowd)
            EXPECT_EQ(statusesIn(c->readToClose(20)), std::vector<int>{200});
    }
};

TEST_F(CostlyCrowdWorkerTest, SignInsWaitingForACoreHoldHalfTheWorkersAndOtherRequestsAreAnsweredMeanwhile) {
    // As found: 200 accounts signing in over and over, each time from a /24 never used before, held
    // every worker waiting for a core, and the mother's feed, her picture post and the terms page
    // waited 5 to 16 s behind them. Here every core is busy and eight sign-ins come from new
    // neighbourhoods, their request line spelt in every way the server answers as a sign-in (a
    // stranger's spaces and tabs around its words and a fragment passed the bound, each answered
    // as a sign-in yet held as none): two of the four workers wait for a core, the others stay queued.
    const Session mother = demoMother();
    std::vector<std::unique_ptr<Gate::Turn>> hashes = holdEveryHashPlace("busy");
    const std::vector<std::string> lines = {
        "POST /m/api/signin HTTP/1.1",     "POST /m/api/signin/ HTTP/1.1",
        "POST /m/api/sign%69n HTTP/1.1",   "POST  /m/api/signin HTTP/1.1",
        " POST /m/api/signin HTTP/1.1",    "POST /m/api/signin\t HTTP/1.1",
        "POST /m/api/signin#top HTTP/1.1", "\tPOST /m/api/signin?a=1  HTTP/1.1"};
    std::vector<std::unique_ptr<RawConnection>> crowd;
    for (int i = 0; i < 8; ++i) {
        const std::string request = signInRequest(crowdEmail(i % 4), "crowd-password");
        crowd.push_back(
            send("127." + std::to_string(10 + i) + ".0.1", lines[i] + request.substr(request.find("\r\n"))));
    }
    othersAnsweredWhileHeld(mother, crowd, hashes, kWorkers / 2);
}

TEST_F(CostlyCrowdWorkerTest, PicturePostsWaitingToBeDecodedLeaveAWorkerForOtherRequests) {
    // The same with picture posts of six members, each from an address of its own, while every place
    // that decodes pictures is busy: three of the four workers take posts, the others stay queued.
    const Session mother = demoMother();
    insertMembers(*server_->state().pool->acquire(), "painter", 6, hashPassword("crowd-password", true));
    std::vector<Session> painters;
    for (int i = 0; i < 6; ++i)
        painters.push_back(signIn("painter" + std::to_string(i) + "@cradleway.test", "crowd-password"));
    std::vector<std::unique_ptr<Gate::Turn>> decoding;
    while (decoding.size() < static_cast<size_t>(kPictureDecodingPlaces))
        decoding.push_back(
            std::make_unique<Gate::Turn>(pictureDecodingGate(), std::chrono::milliseconds(1000), "busy"));
    const std::string boundary = "cw-crowd-boundary";
    auto field = [&](const std::string& name, const std::string& value, const std::string& file = "") {
        return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"" +
               (file.empty() ? "" : "; filename=\"" + file + "\"\r\nContent-Type: image/jpeg") + "\r\n\r\n" +
               value + "\r\n";
    };
    std::vector<std::unique_ptr<RawConnection>> crowd;
    for (const Session& painter : painters) {
        const std::string body =
            field("user_id", std::to_string(painter.userId)) + field("post_text", "A picture") +
            field("post_picture_1", jpegBytes(2048), "photo_1.jpg") + "--" + boundary + "--\r\n";
        crowd.push_back(send(
            "127." + std::to_string(30 + crowd.size()) + ".0.1",
            "POST /m/api/post HTTP/1.1\r\nHost: x\r\nConnection: close\r\nX-Access-Token: " + painter.access +
                "\r\nContent-Type: multipart/form-data; boundary=" + boundary +
                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
    }
    othersAnsweredWhileHeld(mother, crowd, decoding, static_cast<size_t>(kPictureDecodingPlaces));
}

class RefusedPictureTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override { options.rates.signUpsByAddress = {2, 3600}; }

    // A sign-up from `from` with a member picture.
    Reply signUpWithPicture(const std::string& from, const std::string& email, const std::string& picture) {
        httplib::MultipartFormDataItems form = {{"full_name", "New Member", "", ""},
                                                {"email", email, "", ""},
                                                {"relationship", "Mother", "", ""},
                                                {"password", "new-member-pass", "", ""},
                                                {"user_picture", picture, "me.jpg", "image/jpeg"}};
        return multipartFrom(from, "signup", form);
    }
};

TEST_F(RefusedPictureTest, SignUpsWhosePicturesAreReadAndRefusedCountAgainstTheirAddress) {
    // As found: sign-ups whose pictures are read and then refused cost no allowance, so that one
    // address keeps the server decoding for ever. A picture cut off at its end is read to there.
    const std::string whole = jpegBytes(4000);
    const std::string cut = whole.substr(0, whole.size() - 200);
    for (int i = 0; i < 2; ++i) {
        Reply refused = signUpWithPicture("127.0.0.2", "cut" + std::to_string(i) + "@cradleway.test", cut);
        EXPECT_EQ(refused.status, 415) << refused.raw;
    }
    Reply paced = signUpWithPicture("127.0.0.2", "whole@cradleway.test", whole);
    EXPECT_EQ(paced.status, 429) << paced.raw;
    EXPECT_EQ(paced.body.value("message", "").rfind("Too many accounts were made from this network.", 0), 0u)
        << paced.raw;
    // Another address's sign-ups are its own; and one refused before anything is read (an address
    // already in use) costs none.
    EXPECT_EQ(signUpWithPicture("127.0.0.3", "demo@cradleway.test", whole).status, 409);
    EXPECT_EQ(signUpWithPicture("127.0.0.3", "other0@cradleway.test", whole).status, 200);
    EXPECT_EQ(signUpWithPicture("127.0.0.3", "other1@cradleway.test", whole).status, 200);
}

} // namespace
} // namespace cw::server::testing
