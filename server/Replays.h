#pragma once

// Requests done once. A phone that sends a post and loses the answer (a connection reset, a time-out)
// cannot tell whether the post was stored; sent again, it must not be stored twice. A request to a
// route that creates something (a Route with an `answer`) that carries an `Idempotency-Key` header is
// therefore done once for that key, its sender and its request; any other request ignores the header.
//
// - Its sender: the member signed in; signed out (a sign-up), the application by its `cw_client`
//   cookie when the server issued one, else the client's own address. Never a network that a ward's
//   families share, never another member.
// - Its request: a fingerprint of its method, its route and what the route reads of it (its
//   parameters, and each picture part's name, file name, type and bytes), so that a retry whose form
//   has another boundary is the same request. The same key with another request is refused with 422
//   and does nothing.
//
// The same key and request again, within a day, is answered from what the first made: its status and
// the ids of what it made (and a sign-up's tokens), from which the route builds its answer again as
// things stand now (a retried comment gets the card's current comments); nothing is done. While a
// request is being answered, the same key again is answered 409.
//
// The key's record is written in the request's own write transaction (RequestContext::commit), so that
// a request is done and its key taken, or neither, even when the server is killed between the two. A
// request refused before its write takes no key; sent again, it is done then.
//
// What a key keeps is small and bounded (two hashes, the sender's name, a few ids), and it counts in
// its sender's storage as kKeptBytesPerKey. It is sealed with a secret derived from the key, which the
// server does not keep: the rows name the key only by a hash and its fingerprint is keyed with another,
// so that the database alone gives away neither a sign-up's tokens nor what a request sent.
//
// Bounds, per sender: the keys of the last day, the latest kKeysPerSender of them; the oldest is
// forgotten first, and a request sent again with it is done again.
//
// A key's bookkeeping is written with its request, so a flood of keyed writes writes it again and
// again into the database's log: keys are kept in the order they were taken (the table's own key),
// with one index by sender through which a key is found among its sender's and its sender's oldest
// goes, so that a key writes a page at the table's end and one of its sender's index; keys past their
// day go from the table's front now and then, a batch at a time. What the write costs the log is
// counted in the sender's allowance besides (WriteCosts).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace cw::server {

class MemberStorage;
class RequestContext;
struct Route;

constexpr int64_t kReplayKeptSeconds = 24 * 3600;
constexpr int64_t kKeysPerSender = 1000;
// What each kept key counts in its sender's storage: more than its row takes.
constexpr size_t kKeptBytesPerKey = 1024;
// What a key may be: visible ASCII, as a UUID or a random token is written.
constexpr size_t kLongestIdempotencyKey = 255;

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
    // Reads the request's parameters and pictures, which must be in the context already.
    DoneOnce(RequestContext& ctx, const Route& route, const std::string& key);
    ~DoneOnce();
    DoneOnce(const DoneOnce&) = delete;
    DoneOnce& operator=(const DoneOnce&) = delete;

    // The answer of the key's request built again, its status set on the context's response, when the
    // key was done with this same request; 422 when it was done with another. Otherwise nothing, and
    // the key's record is taken from its sender's storage allowance (429 when none is left).
    std::optional<nlohmann::json> replay();
    // Inside the request's write transaction, before it commits: the key is taken with the write, and
    // with it what the request made (RequestContext::made).
    void claim();

private:
    RequestContext& ctx_;
    const Route& route_;
    std::string owner_;
    std::string id_;
    std::string secret_;
    std::string fingerprint_;
    std::unique_ptr<MemberStorage> storage_;
    bool claimed_ = false;
};

} // namespace cw::server
