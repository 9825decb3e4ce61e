#pragma once

#include "server/Quotas.h"
#include "server/Server.h"
#include "tests/support/ResidentSize.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace cw::server::testing {

using json = nlohmann::json;

struct Reply {
    int status = 0;
    json body;
    std::string raw;
    httplib::Headers headers = {};
};

// The refusal says how long to wait, and its `Retry-After` says the same.
void expectWaitTold(const Reply& refused);

// The cookies one application keeps for the server, as a phone's HTTP session does: what replies set
// is sent back with its later requests. Another application (on the same network address or not)
// has a jar of its own.
struct CookieJar {
    std::map<std::string, std::string> cookies;
    httplib::Headers headers(const std::string& token) const;
    void take(const httplib::Result& result);
};

// A server on a free loopback port with its own database in a fresh directory, a clock the test moves,
// and a console the test reads (invitation and verification codes are printed there). The test's
// requests come from one application, whose cookies are in `app_`, unless they name another jar.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void adjust(ServerOptions&) {}
    // Stops the server and starts it again on the same database, as a later launch does.
    void restart();

    Reply post(const std::string& path, const json& body, const std::string& token = "");
    Reply post(CookieJar& app, const std::string& path, const json& body, const std::string& token = "");
    Reply postRaw(const std::string& path, const std::string& body, const std::string& type,
                  const std::string& token = "");
    Reply get(const std::string& path, const httplib::Params& params, const std::string& token = "");
    Reply multipart(const std::string& path, const httplib::MultipartFormDataItems& items,
                    const std::string& token = "");

    struct Session {
        int64_t userId = 0;
        int64_t code = 0;
        std::string access;
        std::string refresh;
        json reply;
    };
    Session signIn(const std::string& email, const std::string& password);
    Session demoMother() { return signIn("demo@cradleway.test", "cradleway-demo"); }
    // A new member with one new baby of their own: what the sign-up sends, and the member signed in.
    static json strangerSignUp(const std::string& email);
    Session signUpStranger(const std::string& email);
    // A new parent who registers the hospital's baby with no family yet (the demo's Mia, record number
    // CW200001) by its record number from an application of her own, as the application does; signed in.
    Session signUpWithRecordNumber(const std::string& email);
    Reply postSignUpWithRecordNumber(const std::string& email);
    // A new member who took up `inviter`'s invitation as a mother, from an application of her own
    // that checked its code; signed in.
    Session signUpInvited(const Session& inviter, const std::string& email);
    // Members "<prefix><i>@cradleway.test" for i below `count`, written straight into the database with
    // the password hash given, as a server that has been running a while holds them.
    void insertMembers(Connection& db, const std::string& prefix, int count, const std::string& passwordHash);

    // From the last console line that holds `needle`, the word that follows `marker`.
    std::string consoleCapture(const std::string& needle, const std::string& marker);
    std::vector<std::string> consoleLines();
    // Waits up to `seconds` for the console to satisfy `done`: the access log is written once a reply
    // has gone, so its line may come just after the client has read the reply.
    bool awaitConsole(const std::function<bool(const std::vector<std::string>&)>& done, int seconds = 10);

    // An invitation check and its success, as the invited road starts (the server's proof of the address).
    void checkInvitation(const std::string& email, const std::string& code);
    // A JSON POST sent over a connection of its own from `from` (another loopback address stands
    // for another client), read to the server's close.
    Reply postFrom(const std::string& from, const std::string& path, const json& body);
    // The same from the application whose cookies are in `app`: it sends them and takes what the reply sets.
    Reply postFrom(CookieJar& app, const std::string& from, const std::string& path, const json& body);
    // A multipart POST sent so, with the member's token when one is given.
    Reply multipartFrom(const std::string& from, const std::string& path,
                        const httplib::MultipartFormDataItems& items, const std::string& token = "");
    // The files of the upload directory.
    std::vector<std::string> uploads() const;

    void start();

    std::filesystem::path dir_;
    std::atomic<int64_t> now_{1'800'000'000};
    std::mutex consoleMutex_;
    std::condition_variable consoleGrew_;
    std::vector<std::string> console_;
    std::unique_ptr<CradlewayServer> server_;
    std::unique_ptr<httplib::Client> client_;
    CookieJar app_;
};

// A server whose pictures' decodings are held where they begin, their decoding places taken, until the
// test lets them go, so that the test sees where every other picture and request stands meanwhile.
// Decodings are numbered from 1 as they begin; pictures are posted from threads of their own.
class HeldDecodingTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override;
    void TearDown() override;
    // Whether the decoding that began `number`th waits until the test lets it go; asked with `mutex_`
    // held. Every one does, unless a test says otherwise.
    virtual bool held(int) const { return true; }
    // Lets every decoding go, those held and those to come, until `holdAgain`.
    void release();
    // Holds decodings again from now on, numbered afresh.
    void holdAgain();
    // Waits, within a generous bound, until `done` holds; asked with `mutex_` held, each time a
    // decoding begins, a reply comes or the test changes what is held.
    bool waitUntil(const std::function<bool()>& done);
    int began();
    // A post of `who` with one picture, sent from a thread of its own; its reply is kept in `replies_`.
    void postPicture(const Session& who);
    std::vector<Reply> replies();
    void joinSenders();

    std::mutex mutex_;
    std::condition_variable changed_;
    int began_ = 0;
    bool released_ = false;
    std::vector<Reply> replies_;
    std::vector<std::thread> senders_;
};

// The "comment_text" of each comment of a reply's list, in order.
std::vector<std::string> commentTexts(const json& comments);

// The sign-up form of a new member with no babies, her password "new-member-pass".
json newMemberForm(const std::string& email);

// A real JPEG picture of about `size` bytes (padded with comment segments), different for each size.
std::string jpegBytes(size_t size = 64);
// A real PNG picture.
std::string pngBytes();

// A TCP socket from loopback address `from` connected to the server on `port`, `prepare` having set
// its options before it connected; -1 when it could not connect.
int connectFrom(int port, const std::string& from, const std::function<void(int fd)>& prepare = nullptr);

// A connection of the test's own, for what an HTTP client library would not send: heads cut short,
// bodies that lie about their length, requests from another loopback address. Every wait is
// bounded by a generous limit, never by a measured time.
class RawConnection {
public:
    RawConnection(int port, const std::string& from = "127.0.0.1");
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(const std::string& bytes);
    // Everything the server sends until it closes the connection (or `seconds` pass).
    std::string readToClose(int seconds = 60);
    // One reply, its head and the body its Content-Length gives (or what came within `seconds`); the
    // connection stays open.
    std::string readReply(int seconds = 60);
    // Waits up to `milliseconds` for the server to send something or close; true when it did.
    bool waitReadable(int milliseconds);

private:
    // What the server sends until `done` holds for it, the server closes, or `seconds` pass.
    std::string readUntil(int seconds, const std::function<bool(const std::string&)>& done);

    int fd_ = -1;
};

// The resident size of this process, which holds the server.
using cw::test::residentMegabytes;
using cw::test::residentSizeIsSound;
using cw::test::resetPeakResidentSize;

// Every place for a password hash, taken for `claimant` until the turns go.
std::vector<std::unique_ptr<Gate::Turn>> holdEveryHashPlace(const std::string& claimant);

// The demo partner's sign-in as the bytes of one request that closes its connection once answered,
// for a connection of the test's own.
std::string partnerSignInRequest();

// A connection from `from` that sends the first half of a request head and no more.
std::unique_ptr<RawConnection> halfSentHead(int port, const std::string& from);

// Asks `done` over and over until it holds, within a generous bound: for what the server's threads
// change without telling the test. Whether it came to hold.
bool eventually(const std::function<bool()>& done, int seconds = 60);

// A client's result as a Reply: status 0 and no body when nothing came back.
Reply toReply(const httplib::Result& result);
// The status of each reply in `bytes`, in order.
std::vector<int> statusesIn(const std::string& bytes);
// The body of the last reply in `bytes`.
std::string lastBody(const std::string& bytes);

} // namespace cw::server::testing
