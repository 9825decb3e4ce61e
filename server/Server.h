#pragma once

#include "server/Database.h"
#include "server/Gate.h"
#include "server/KnownClaimants.h"
#include "server/Guards.h"
#include "server/Quotas.h"
#include "server/Replays.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

namespace cw::server {

class ConnectionServer;
class RequestContext;

struct ServerOptions {
    std::string databasePath = "cradleway.db";
    // Where pictures are kept; empty means beside the database ("<database>-files").
    std::string filesDirectory;
    std::string host = "127.0.0.1";
    int port = 8080; // 0 = any free port
    // Workers, held only while a whole request is answered (server/Connections.h).
    int threads = 32;
    // How long an idle keep-alive connection stays open; it holds no worker meanwhile.
    int keepAliveSeconds = 5;
    // A request's head must arrive within this time of its first byte (of the connection's opening).
    int headerSeconds = 10;
    // The least paces of a body and of a reply's reading, and the bytes replies waiting to be read and
    // bodies arriving may hold, per address and of all (server/Connections.h); past them, 429.
    int bodyGraceSeconds = 10;
    size_t minBodyBytesPerSecond = 1024;
    int replyGraceSeconds = 10;
    size_t minReplyBytesPerSecond = 1024;
    size_t replyBytesPerAddress = 32 * 1024 * 1024;
    size_t replyBytes = size_t{1024} * 1024 * 1024;
    size_t bodyBytesPerAddress = 64 * 1024 * 1024;
    size_t bodyBytes = 1024 * 1024 * 1024;
    // Workers one network address may hold at once (0: three quarters of `threads`); its other
    // requests wait for their turn without a worker, behind other addresses'.
    int workersPerAddress = 0;
    // Workers that may answer requests waiting for a password hash (0: half of `threads`), and those
    // with pictures to decode (0: a quarter, but more than the decoding places and one sender's waits).
    int costlyWorkers = 0;
    int decodingWorkers = 0;
    // Open connections, and those one address may hold waiting (server/Connections.h).
    size_t maxConnections = 600;
    size_t maxWaitingPerAddress = 256;
    int64_t accessTokenSeconds = 3600;
    int64_t refreshTokenSeconds = 30 * 24 * 3600;
    size_t maxPictureBytes = 8 * 1024 * 1024;
    // Bytes of a request's body as read, after any inflating of a compressed body.
    size_t maxRequestBytes = 24 * 1024 * 1024;
    // Argon2id at its interactive cost; tests may lower it to the minimum to stay fast.
    bool cheapPasswordHashing = false;
    // How often one address or account may ask for work that costs the server: a hospital's Wi-Fi is
    // one address for a ward of phones, so the counts by address are generous.
    struct Rates {
        // Sign-ups that prove nothing; one whose application proved what the account takes up (its
        // invitation's code, its baby's record number) is not counted by its address.
        Rate signUpsByAddress{30, 3600};
        // Resets asked for one e-mail address from one network, and temporary passwords made for a
        // network (not for a phone that signed in to the account, which is counted by the first alone).
        Rate resetsByEmail{5, 3600};
        Rate resetsByAddress{30, 3600};
        Rate eventsByAddress{600, 60}; // usage events sent without a member
        Rate eventsByMember{120, 60};
        Rate babyUpdatesByMember{30, 3600}; // each may carry pictures to decode
        // The bytes a member's requests store (pictures and texts), and the posts, comments, milestones
        // and babies they add: a parent sharing a day's pictures at once stays well inside both.
        Rate storedBytesByMember{200 * 1024 * 1024, 3600};
        Rate itemsByMember{300, 3600};
        // What the members and sign-ups of one network address store together, so that the accounts
        // one address makes do not multiply a member's allowance; a whole ward stays well inside it.
        Rate storedBytesByAddress{2048LL * 1024 * 1024, 3600};
        // New applications named (each a `cw_client` cookie and its proofs' rows); one named for what it
        // proved is counted by what it proved, from that network, instead.
        Rate applicationsByAddress{600, 3600};
        Rate applicationsByProof{60, 3600};
        // E-mail verification codes, each a row and a mail; one asked for by the application that
        // proved an invitation to that address is not counted by its network.
        Rate codesByAddress{30, 3600};
        Rate codesByEmail{5, 3600};
        Rate invitationsByMember{20, 3600}; // each a row and a mail
        // A family's parents' together: an invitee named a parent may invite in turn.
        Rate invitationsByFamily{60, 3600};
    } rates;
    // Usage events kept: each account's latest (each network's, for events sent without a member) up to
    // this many bytes as stored, none older than this many days.
    int64_t eventBytesKept = 16LL * 1024 * 1024;
    int64_t eventDays = 90;
    bool accessLog = true;
    // Seconds since the epoch; replaceable so that tests can move time forward.
    std::function<int64_t()> clock;
    // Where the server prints what it would otherwise send by e-mail, and its access log.
    std::function<void(const std::string&)> console;
    // Called on the worker as each picture's decoding begins, its decoding place taken: tests hold a
    // decoding there to see what the rest of the server does meanwhile.
    std::function<void()> pictureDecoding;
    // How long one picture may take to decode before it is refused as too costly (413).
    std::chrono::milliseconds pictureDecodingTime{5000};
    // How long a picture may wait for its turn to be decoded (its sender's, then a decoding place)
    // before it is refused as the busy server's (429).
    std::chrono::milliseconds pictureWaitingTime{5000};
    // Pages (4 KB) of the database's write-ahead log past which a checkpoint copies it into the
    // database (on a thread of its own); tests lower it to see a checkpoint come soon.
    int checkpointPages = 1000;
};

// The lines the access log writes for each network: a few refused and a few more answered requests a
// minute, the rest counted once the minute ends, so no address can fill the console. Thread-safe.
class RequestLog {
public:
    static constexpr int kRefusalsAMinute = 5;
    static constexpr int kLinesAMinute = 120;
    static constexpr size_t kNetworksFollowed = 1'000;
    // Whether the request from `network` at `now` (seconds), refused or not, is written on a line of its
    // own. `due` gets the lines of the minutes that have ended with requests counted and not written.
    bool admit(const std::string& network, int64_t now, bool refused, std::vector<std::string>& due);

private:
    void endMinutes(int64_t now, std::vector<std::string>& due);

    struct Minute {
        int64_t start = 0;
        int written = 0;
        int refusalsWritten = 0;
        int64_t counted = 0;
        int64_t refusalsCounted = 0;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Minute> minutes_;
    std::deque<std::pair<int64_t, std::string>> byStart_; // each followed network, oldest minute first
};

struct ServerState;

// A member's writes cost her storage allowance what their commits put in the database's log (see
// WriteCosts): a row's few bytes of text take pages of the log with their indexes.
class MemberWriteCosts final : public WriteCosts {
public:
    explicit MemberWriteCosts(ServerState& state) : state_(state) {}
    int64_t waitToWrite(const std::string& member) override;
    void wrote(const std::string& member, int64_t bytes) override;

private:
    RateKey key(const std::string& member, int64_t bytes) const;
    ServerState& state_;
};

// Everything the request handlers share.
struct ServerState {
    ServerOptions options;
    std::filesystem::path uploadDirectory; // pictures members sent
    std::filesystem::path staticDirectory; // pictures that ship with the content
    // Before the pool, which makes its gathered writes of the counts as it goes.
    GuessCounts guesses;
    std::unique_ptr<ConnectionPool> pool;
    // The senders the server has seen prove who they are, by their secrets (server/KnownClaimants.h);
    // mutable, as a token is learnt as it is issued by a handler that only reads the state.
    mutable KnownClaimants claimants;
    std::mutex consoleMutex;
    RequestLog requestLog;
    RateLimiter rateLimiter;
    MemberWriteCosts writeCosts{*this};
    // Requests done once (server/Replays.h) being answered now.
    RequestsUnderWay requestsUnderWay;

    // Takes one request from each key's allowance; 429 with `refusal` and the wait when one has none.
    void takeAllowance(const std::vector<RateKey>& keys, const std::string& refusal);
    // Gives a request taken back to each key's allowance: it was refused after all.
    void giveBackAllowance(const std::vector<RateKey>& keys);

    int64_t now() const;
    // One line on the console, its control characters escaped so that no input can forge a line, cut
    // at about kConsoleLineBytes.
    void print(const std::string& line);
};

// One request taken from each key's allowance (429 with `refusal` and the wait when a key has none),
// that goes back to every key the request does not `keep`, so that a refused request costs nothing.
class TakenAllowance {
public:
    TakenAllowance(ServerState& state, std::vector<RateKey> keys, const std::string& refusal);
    ~TakenAllowance();
    TakenAllowance(const TakenAllowance&) = delete;
    TakenAllowance& operator=(const TakenAllowance&) = delete;
    // The work the key counts was done: its request stays taken.
    void keep(const char* scope);

private:
    ServerState& state_;
    std::vector<RateKey> keys_;
};

enum class Access {
    Public,   // never answers 401 (sign-in, sign-up, look-ups made while signed out)
    Optional, // uses the member when a valid token is sent, but does not demand one
    Member,   // 401 without a valid access token
    Refresh,  // the token refresh: no access token needed, but a bad refresh token is a 401
};

struct Route {
    std::string method;
    std::string path; // below "/m/api/", without slashes at either end
    Access access;
    std::function<nlohmann::json(RequestContext&)> handler;
    // A route that creates something is done once for its Idempotency-Key (server/Replays.h): its
    // answer built again from what the request made (RequestContext::made).
    std::function<nlohmann::json(RequestContext&, const nlohmann::json& made)> answer = nullptr;
    // Its requests wait for a password hash (`ServerOptions::costlyWorkers`).
    bool hashes = false;
    // Its requests sent as forms may carry pictures to decode (`ServerOptions::decodingWorkers`).
    bool decodes = false;
};

// Route tables of each area of the server.
void addAccountRoutes(std::vector<Route>& routes);
void addBabyRoutes(std::vector<Route>& routes);
void addContentRoutes(std::vector<Route>& routes);
void addActivityRoutes(std::vector<Route>& routes);

// The server: routes "/m/api/..." requests to their handlers, serves the pictures and the web
// pages that the replies name, and keeps its data in SQLite.
class CradlewayServer {
public:
    explicit CradlewayServer(ServerOptions options);
    ~CradlewayServer();
    CradlewayServer(const CradlewayServer&) = delete;
    CradlewayServer& operator=(const CradlewayServer&) = delete;

    // Binds and serves on threads of its own. Returns the port in use (the free one chosen for port 0).
    int start();
    // Stops accepting; the requests being answered are finished first.
    void stop();
    int port() const { return port_; }
    std::string baseUrl() const;

    // Loads the demonstration family once (a second call finds it there and does nothing).
    void loadDemo();

    ServerState& state() { return *state_; }

    // Answers the requests in `bytes` as if they had come on one connection from the loopback address,
    // and returns the bytes of the replies. No socket is involved: for the fuzzer.
    std::string answerRaw(std::string bytes);
    // Connections open at the moment.
    size_t openConnections() const;
    // Requests waiting for a worker at the moment, and those waiting for their address's turn.
    size_t queuedRequests() const;
    size_t requestsAwaitingTurn() const;

private:
    void setUp();

    std::unique_ptr<ServerState> state_;
    std::unique_ptr<ConnectionServer> http_;
    std::map<std::string, Route> routes_;
    int port_ = 0;
};

// A server for the application's own executable and for end-to-end tests: its database in `directory`
// (created when missing), the demo family loaded, serving on a free loopback port.
std::unique_ptr<CradlewayServer> startDemoServer(const std::filesystem::path& directory,
                                                 ServerOptions options = {});

// The demonstration data set.
struct DemoAccount {
    std::string email;
    std::string password;
    std::string fullName;
};
std::vector<DemoAccount> demoAccounts();
void seedDemo(Connection& db, ServerState& state);
// The demo accounts that the demo's password still opens: a member who changed hers is not offered
// to the next person with the old password.
std::vector<DemoAccount> demoAccountsThatSignIn(CradlewayServer& server);
// The payload a push of each of the demo family's notifications would carry, in the order they were
// made. The server sends no pushes; a host or a script delivers these.
std::vector<nlohmann::json> demoPushPayloads(Connection& db);
std::vector<nlohmann::json> demoPushPayloads(CradlewayServer& server);
// Pictures that ship with the content (categories, milestone kinds, articles): drawn on start-up when
// missing.
void ensureStaticPictures(ServerState& state);

} // namespace cw::server
