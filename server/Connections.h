#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include <httplib.h>

#include "server/FairTurns.h"
#include "server/Quotas.h"
#include "server/RequestHeads.h"

namespace cw::server {

struct ConnectionLimits {
    // Workers that answer requests; held only while a request that has fully arrived is answered.
    int workers = 32;
    // A request's head must arrive whole within this time of its first byte (of a new connection's opening).
    int headerSeconds = 10;
    // A kept-alive connection waiting for its next request is closed after this time.
    int idleSeconds = 5;
    // A request that waits for its address's turn with the workers is refused 429 after this time.
    int turnSeconds = 60;
    // What a client has not read yet of a reply is kept with its connection and sent by the watching
    // thread as it reads, so that no reply holds a worker: up to this many bytes in memory, the rest
    // in an unnamed file in `replyDirectory` (all in memory without a directory).
    size_t keptReplyBytes = 256 * 1024;
    std::filesystem::path replyDirectory;
    // What may wait to be read of one address's replies (each of its requests being answered adding the
    // average of its waiting ones), past which its next requests wait, so that slow readers cost their own
    // address only; and of all. A reply larger than memory keeps is counted whole before it is made, and
    // not made (`ReplyNotKept`) past either bound (past its address's only when it has others waiting).
    size_t replyBytesPerAddress = 32 * 1024 * 1024;
    size_t replyBytes = size_t{1024} * 1024 * 1024;
    // Once its first byte is written, a reply must be read at `minReplyBytesPerSecond` on average after
    // `replyGraceSeconds`, or its connection is closed.
    int replyGraceSeconds = 10;
    size_t minReplyBytesPerSecond = 1024;
    // A body is read whole by the watcher before a worker takes its request: up to `keptBodyBytes` in
    // memory, a larger one in an unnamed file in `bodyDirectory`. It is bounded by its size (`setBodyLimit`)
    // and by a least pace since its head, never by a total time; one that falls behind is answered 408.
    size_t keptBodyBytes = 64 * 1024;
    std::filesystem::path bodyDirectory;
    int bodyGraceSeconds = 10;
    size_t minBodyBytesPerSecond = 1024;
    // What bodies arriving or waiting to be answered hold, of one address and of all. An address at its
    // bound is not read until its requests are answered; at the bound of all, the address holding most has
    // its largest arriving body refused 503, so that a crowd of slow senders costs its own bodies only.
    size_t bodyBytesPerAddress = 64 * 1024 * 1024;
    size_t bodyBytes = 1024 * 1024 * 1024;
    // Requests of one address with the workers (queued or answered); its next waits while others go ahead.
    size_t workersPerAddress = 24;
    // Workers answering requests that will wait for a costly place (`setCostly`: 1 for the first bound,
    // 2 for the second; a password hash, a picture's decoding). Such a request holds its worker while it
    // waits: unbounded, a crowd of sign-ins or picture posts would hold every worker. They take turns
    // among their kind first, and join the workers' turns as a place comes free.
    std::vector<size_t> costlyWorkers{16, 8};
    // Bytes of one request head; a longer head is refused with 431.
    size_t maxHeadBytes = 32 * 1024;
    // Bytes read from the network for one request, head and body together.
    size_t maxRequestBytes = 25 * 1024 * 1024;
    // Open connections; beyond them a closing one, or else one of the address holding the most waiting
    // for a head (opened past its pace, or else its longest-waiting) is closed to make room. The library
    // answers 500 for a socket numbered at or above FD_SETSIZE, which this keeps clear of.
    size_t maxConnections = 600;
    // Connections of one address waiting (for a head, a body or its turn with the workers); beyond them
    // that address's own goes in the same order. A ward's phones share one address.
    size_t maxWaitingPerAddress = 256;
    // Connections one address (an IPv6 one by its /64) may open that have not sent a request yet:
    // `openingBurst` at once, refilled at `openingsPerSecond`; a request gives its opening back. This
    // holds back only a process that opens connections as fast as it can and says nothing on them: its
    // next attempts are dropped for a moment in the kernel (the client's system tries again a second
    // later), and one that gets in even so takes a place only while the address has room, going first.
    // The burst stays well below `maxWaitingPerAddress`, so that a phone that speaks at once keeps its place.
    size_t openingBurst = 128;
    size_t openingsPerSecond = 500;
    size_t requestsPerConnection = 1000;
};

// cpp-httplib's request handling behind an acceptor of our own. One thread watches every open
// connection and gathers each request whole, head and body; only then does a worker answer it
// through the library (`process_request`) and hand the connection back to be watched, so slow or idle
// clients hold no worker, and one address holds no more than `workersPerAddress` of them. Handlers,
// error handlers and the logger are set on the library as usual. A chunked body is refused 411, and
// a head whose framing is ambiguous (a length that is not a number, two lengths, a length with a
// transfer coding, a coding other than "chunked") is answered 400 and closed.
//
// The library's own answer to a `Range` header is never given: a handler that serves ranges takes
// them with `requestedRanges()`. A request whose body the handler did not read to its end closes its
// connection after the reply, so that the rest is never read as another request (handlers say so
// with `closeConnectionAfterReply()` and `requestBodyRead()`).
class ConnectionServer : public httplib::Server {
public:
    explicit ConnectionServer(ConnectionLimits limits = {});
    ~ConnectionServer() override;

    // Binds the listening socket; port 0 takes any free port. Returns the port, or -1.
    int bindTo(const std::string& host, int port);
    // Starts watching and answering on threads of its own.
    void start();
    // Stops accepting and closes idle connections; the requests being answered are finished first.
    void stop();

    // The handler that runs before routing (the library's pre-routing handler, after the framing checks).
    void setPreRouting(HandlerWithResponse handler) { preRouting_ = std::move(handler); }
    // The bytes a request's body may hold, by its head; `maxRequestBytes` when not set. A body
    // announced past it is not read, and its request is answered from its head.
    void setBodyLimit(std::function<size_t(std::string_view head)> limit) { bodyLimit_ = std::move(limit); }
    // Whom a request's turns are taken for, by its head and its network address (an IPv6 one by its
    // /64); by its address alone when not set. Called on the watching thread: it must answer at once.
    using ClaimantOf = std::function<Claimant(std::string_view head, const std::string& network)>;
    void setClaimantOf(ClaimantOf claimantOf) { claimantOf_ = std::move(claimantOf); }
    // The kind of costly place a request will wait for (see `costlyWorkers`; 0 for none), by its head.
    void setCostly(std::function<size_t(std::string_view head)> costly) { costly_ = std::move(costly); }

    // Answers the requests in `bytes` as if they had arrived on one connection, and returns what would
    // have been sent back. No socket and no thread: for the fuzzer.
    std::string answer(std::string bytes);

    size_t openConnections() const { return open_; }
    // Requests read whole, waiting for a worker; and those waiting for their address's turn.
    size_t queuedRequests();
    size_t requestsAwaitingTurn() const { return waitingForTurn_; }

private:
    struct Connection;

    void watch();
    void work();
    void acceptNew();
    void readFrom(Connection& connection);
    // Reads what has come on the socket, `most` bytes at most, handing each chunk to `take` (false: unkept).
    enum class Received { Open, PeerClosed, Failed };
    Received receive(Connection& connection, size_t most, const std::function<bool(std::string_view)>& take);
    void arrive(std::unique_ptr<Connection> connection);
    // Watches the connection again, or closes it when it cannot be.
    void watchAgain(std::unique_ptr<Connection> connection);
    // A request's head is in: its body is gathered, then it takes its turn.
    void headArrived(std::unique_ptr<Connection> connection);
    // Reads what has come of a body being gathered, as far as its address's share allows.
    void gather(Connection& connection);
    // Hands the request to the workers when its address has a turn free, or keeps it waiting for one.
    void takeTurn(std::unique_ptr<Connection> connection);
    // Queues a request for the workers: a costly one first in its kind's turns.
    void handOver(std::unique_ptr<Connection> connection);
    // Whether the address may hand another request to the workers.
    bool turnFree(const std::string& network);
    // Bytes the body being gathered may still take of its address's share and of all (takes mutex_).
    size_t bodyRoom(const Connection& connection);
    // Counts a body's bytes against its address as they arrive, and lets them go once answered.
    void countBody(Connection& connection, size_t bytes);
    void releaseBody(Connection& connection);
    // Reads again the held-back bodies that have room; at the bound of all, refuses one (`bodyBytes`).
    void resumeBodies();
    // Hands over the waiting requests whose addresses have a turn free again.
    void giveTurns();
    // Counts what the connection holds of its reply against its address (`recount` with mutex_ held).
    void countReply(Connection& connection);
    void recount(Connection& connection);
    // The connection no longer waits for its address's turn.
    void leaveTurn(Connection& connection);
    void joinWorkerTurns(std::unique_ptr<Connection> connection);
    // Lets the kind's waiting requests join the workers' turns while it has places free (mutex_ held).
    void admitCostly(size_t kind);
    // The request gives up its place of its kind, having held it `held` (mutex_ held).
    void leaveCostly(Connection& connection, std::chrono::steady_clock::duration held);
    // Answers a watched connection with an error of its own and closes it.
    void refuseWatched(std::unique_ptr<Connection> connection, int status, const char* reason,
                       const std::string& message);
    void closeConnection(std::unique_ptr<Connection> connection);
    // Reads and drops what the client still sends for a moment before closing: closing a socket with
    // unread data would reset the connection and could destroy the reply before the client reads it.
    void closeAfterDraining(std::unique_ptr<Connection> connection, bool onWatcher);
    // Hands a connection from a worker back to the watcher.
    void giveBack(std::unique_ptr<Connection> connection);
    void sweep();
    // Closes a watched connection when the new one needs its place; false when the new one must go.
    bool makeRoom(const Connection& arriving);
    // Counts a new connection against its address's pace; false when the address is past it.
    bool withinPace(const sockaddr_storage& remote, const std::string& network);
    // A new connection has sent its first request: its opening is given back to its address.
    void spoke(Connection& connection);
    Rate openingPace() const;
    // The listening socket's filter in the kernel: it drops attempts to connect from `paused_`.
    void filterPausedAddresses();
    // What becomes of a connection after a request.
    enum class After { Keep, Close, Drain };
    // Answers one request whose head is in the connection's buffer.
    After serveOne(Connection& connection, bool lastRequest);
    // Sends what the client can take of a reply left to the watcher, then goes on as `afterSending`.
    void sendMore(Connection& connection);
    // What becomes of a connection once its reply is sent, on the watcher or on a worker.
    void goOn(std::unique_ptr<Connection> connection, After after, bool onWatcher);
    // Stops watching a connection and hands it over, to be closed or given to a worker.
    std::unique_ptr<Connection> unwatch(int fd);
    void wake();
    void finishRoutes();

    ConnectionLimits limits_;
    HandlerWithResponse preRouting_;
    std::function<size_t(std::string_view head)> bodyLimit_;
    ClaimantOf claimantOf_;
    std::function<size_t(std::string_view head)> costly_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<size_t> open_{0};
    std::thread watcher_;
    std::vector<std::thread> workers_;

    // Watched connections, by socket; touched by the watcher thread only.
    std::unordered_map<int, std::unique_ptr<Connection>> watched_;
    std::once_flag routesFinished_;

    std::mutex mutex_;
    std::condition_variable ready_;
    // Requests read whole, waiting for a worker, by their turns in `workerTurns_`.
    std::unordered_map<FairTurns::Turn, std::unique_ptr<Connection>> queued_;
    std::vector<std::unique_ptr<Connection>> returned_; // answered, to be watched again
    // Requests handed to the workers (queued or answered), by address.
    std::unordered_map<std::string, size_t> shares_;
    // Bytes connections hold of one kind, by address (with how many connections hold them) and of all.
    struct Held {
        struct Share {
            size_t bytes = 0;
            size_t holders = 0;
        };
        std::unordered_map<std::string, Share> byAddress;
        size_t all = 0;
        size_t of(const std::string& network) const;
        // A connection of `network` that counted `from` bytes counts `to` now.
        void count(const std::string& network, size_t from, size_t to);
    };
    // What bodies arriving or waiting to be answered hold.
    Held bodies_;
    // Each kind of costly request (`costlyWorkers`): its turns for its places, how many are placed
    // (waiting for a worker or answered), and those waiting for a place.
    struct CostlyKind {
        FairTurns turns{std::chrono::milliseconds(10)};
        size_t placed = 0;
        std::unordered_map<FairTurns::Turn, std::unique_ptr<Connection>> waiting;
    };
    std::deque<CostlyKind> costlyKinds_;
    // What waits to be read of replies, with what is reserved for the replies being made.
    Held unread_;
    // Counts a reply of `bytes` about to be made for the connection's request, when its address's
    // bound and the bound of all allow it (takes mutex_).
    bool reserveReply(Connection& connection, size_t bytes);
    // The workers' turns among the senders of the queued requests, each counted by its worker's time
    // less what it waited at the gates for a hash, a decoding or a write (counted there).
    FairTurns workerTurns_{std::chrono::milliseconds(10)};
    // Requests waiting for their address's turn, and their count as they arrived; changed by the
    // watcher thread only.
    std::atomic<size_t> waitingForTurn_{0};
    uint64_t arrivals_ = 0;

    // New connections by address, and the addresses past their pace whose attempts to connect are
    // dropped until `until`; touched by the watcher thread only.
    struct PausedAddress {
        bool v6 = false;
        uint32_t words[2] = {0, 0}; // an IPv4 address, or an IPv6 /64, as read from the packet
        std::chrono::steady_clock::time_point until;
    };
    RateLimiter openings_;
    std::vector<PausedAddress> paused_;
};

// Within a request's handler: closes the connection once the reply is sent.
void closeConnectionAfterReply();
// Within a request's handler: the request's body has been read to its end.
void requestBodyRead();
// Within a request's handler: answers with the file's bytes, read from disk as the client takes
// them. False (nothing set) when the file cannot be opened.
bool replyWithFile(const httplib::Request& req, httplib::Response& res, const std::filesystem::path& file,
                   const std::string& type);
// A reply that could not be kept for its reader: it would pass what may wait to be read (`byBound`),
// or its file could not be written (the disk is full). Nothing of it is set.
class ReplyNotKept : public std::runtime_error {
public:
    ReplyNotKept(bool byBound, const std::string& what) : std::runtime_error(what), byBound_(byBound) {}
    bool byBound() const { return byBound_; }

private:
    bool byBound_;
};
// Where a handler writes a reply's body as it makes it (see `replyAsMade`).
class ReplyText {
public:
    virtual void write(std::string_view bytes) = 0;

protected:
    ~ReplyText() = default;
};
// Within a request's handler: answers with the body `make` writes, kept as it is written (memory up to
// `keptReplyBytes`, the rest in the reply's own file), so that a reply is never whole in memory. One
// larger than memory keeps is first only counted (`make` runs twice then), and made only once what may
// wait to be read has room for it. Throws `ReplyNotKept` when it could not be kept (nothing set).
void replyAsMade(const httplib::Request& req, httplib::Response& res, const std::string& type,
                 const std::function<void(ReplyText&)>& make);
// Within a request's handler: the byte ranges the request's `Range` header asked for, as the library
// read them (a first byte of -1 counts from the end); none when it asked for none.
const httplib::Ranges& requestedRanges();
// Within a request's handler: whom its turns are taken for (see `setClaimantOf`), so that its turns
// at the other places (a hash, a decoding, a write) are taken for the same sender; empty elsewhere.
const Claimant& requestClaimant();

} // namespace cw::server
