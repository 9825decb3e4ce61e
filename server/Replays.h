#pragma once

// Requests done once. A phone that sends a post and loses the answer (a connection reset, a time-out)
// cannot tell whether the post was stored; sent again, it must not be stored twice. A request that
// creates something and carries an `Idempotency-Key` header is therefore done once for that key and
// its sender: the member signed in, or, on a route open to signed-out clients (a sign-up), the
// network address. The same key again, within a day, is answered as the first request was (its
// status and body), without doing anything. A request without the header is done as ever.
//
// The key is taken with the request's write: the row that names it is written in the handler's own
// transaction (RequestContext::commit), so that a request is either done and its key taken, or
// neither, even when the server stops between the two. The answer is stored once the request has been
// answered; a request that wrote nothing (refused before its write) stores nothing, and its key may be
// sent again to be done then. While a request is being answered, the same key again is answered 409.
//
// An answer is kept sealed with a secret derived from the key, which the server does not keep: the
// rows name the key only by a hash, so that the database alone gives no one a sign-up's tokens.
//
// Bounds, per sender: the answers of the last day, at most kRepliesPerSender of them and
// kReplyBytesPerSender of their bodies, the oldest forgotten first; an answer longer than
// kLongestReplyKept keeps its status with a short body.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include <httplib.h>

namespace cw::server {

class RequestContext;

constexpr int64_t kReplayKeptSeconds = 24 * 3600;
constexpr int64_t kRepliesPerSender = 1000;
constexpr int64_t kReplyBytesPerSender = 8 * 1024 * 1024;
constexpr size_t kLongestReplyKept = 1024 * 1024;
// What a key may be: visible ASCII, as a UUID or a random token is written.
constexpr size_t kLongestIdempotencyKey = 255;

// Whether a route (below "m/api/", no slashes at either end) is done once for its key: the requests
// that create something (a post, a comment, a milestone, an invitation, a baby, an account) and those
// that carry pictures.
bool isDoneOnce(std::string_view route);

// The keyed requests being answered now, by the hash that names them.
class RequestsUnderWay {
public:
    bool take(const std::string& id);
    void release(const std::string& id);

private:
    std::mutex mutex_;
    std::set<std::string> ids_;
};

// One keyed request to a route done once, from its arrival to its answer.
class DoneOnce {
public:
    // 400 when the header holds no key; 409 while a request with the same key is being answered.
    DoneOnce(RequestContext& ctx, const std::string& route, const std::string& key);
    ~DoneOnce();
    DoneOnce(const DoneOnce&) = delete;
    DoneOnce& operator=(const DoneOnce&) = delete;

    // Writes the stored answer into the reply when the key was done; true then. A key whose request
    // was done but whose answer was never stored (the server stopped between the two) is 409.
    bool replay(httplib::Response& response);
    // Inside the request's write transaction, before it commits: the key is taken with the write.
    void claim();
    // Once the request is answered: keeps its answer when its write was committed.
    void keep(const httplib::Response& response);

private:
    RequestContext& ctx_;
    std::string owner_;
    std::string id_;
    std::string secret_;
    bool claimed_ = false;
};

} // namespace cw::server
