#pragma once

// Requests done once. A phone that sends a post and loses the answer cannot tell whether it was
// stored; sent again, it must not be stored twice. So a request to a route that creates something (a
// Route with an `answer`) carrying an `Idempotency-Key` is done once for that key, its sender (the
// member; signed out, the application by its cookie, else the client's own address) and its request
// (a fingerprint of what the route reads of it, form boundaries aside; another request is refused 422).
//
// The same key and request again, within a day, is answered from what the first made (its status and
// ids), the answer built again as things stand now; while the first is being answered, 409. The key's
// record is written in the request's own transaction, so that a request is done and its key taken, or
// neither; it is sealed with a secret derived from the key, which the server does not keep. A sender
// keeps the latest kKeysPerSender keys of the last day; what they cost the log counts as hers.

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

    // The answer of the key's request built again when the key was done with this same request; 422
    // when with another. Otherwise nothing, and the key's record is taken from its sender's storage
    // allowance (429 when none is left).
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
