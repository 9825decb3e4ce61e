#include "server/Replays.h"

#include "server/Http.h"
#include "server/Records.h"
#include "server/Server.h"

#include <algorithm>
#include <vector>

#include <sodium.h>

namespace cw::server {

namespace {

// Every this many keys taken, the keys past their day are looked for among the oldest twice as many:
// they go faster than they come, and no key's write pays for the sweep of all.
constexpr int64_t kExpiredSweepEvery = 64;

// A keyed hash of the sender, the request's method and route, and the key, for one use.
std::string keyDigest(std::string_view use, const std::string& owner, const Route& route, const std::string& key,
                      size_t bytes) {
    std::string input;
    for (std::string_view part : {std::string_view(owner), std::string_view(route.method),
                                  std::string_view(route.path), std::string_view(key)})
        input.append(part).append(1, '\0');
    std::string out(bytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), bytes,
                       reinterpret_cast<const unsigned char*>(input.data()), input.size(),
                       reinterpret_cast<const unsigned char*>(use.data()), use.size());
    return out;
}

// What the route reads of the request, keyed with `secret`: its parameters as read (whatever a form's
// boundary), then each picture part as sent.
std::string requestFingerprint(const RequestContext& ctx, const std::string& secret) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, reinterpret_cast<const unsigned char*>(secret.data()), secret.size(), 32);
    auto add = [&state](std::string_view bytes) {
        const uint64_t length = bytes.size();
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(&length), sizeof length);
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    };
    // CBOR writes a text's bytes as they are, valid UTF-8 or not, and an object's keys in order.
    const std::vector<uint8_t> params = json::to_cbor(ctx.params);
    add(std::string_view(reinterpret_cast<const char*>(params.data()), params.size()));
    for (const UploadedFile& file : ctx.files()) {
        add(file.field);
        add(file.fileName);
        add(file.contentType);
        add(*file.content);
    }
    std::string out(32, '\0');
    crypto_generichash_final(&state, reinterpret_cast<unsigned char*>(out.data()), out.size());
    return toHex(out);
}

std::string seal(const std::string& secret, const std::string& text) {
    std::vector<unsigned char> sealed(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + text.size());
    randombytes_buf(sealed.data(), crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(sealed.data() + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(text.data()), text.size(), sealed.data(),
                          reinterpret_cast<const unsigned char*>(secret.data()));
    std::string out(sodium_base64_encoded_len(sealed.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), sealed.data(), sealed.size(), sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

std::optional<std::string> unseal(const std::string& secret, const std::string& stored) {
    std::vector<unsigned char> sealed(stored.size());
    size_t length = 0;
    if (sodium_base642bin(sealed.data(), sealed.size(), stored.data(), stored.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES)
        return std::nullopt;
    std::string text(length - crypto_secretbox_NONCEBYTES - crypto_secretbox_MACBYTES, '\0');
    if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char*>(text.data()),
                                   sealed.data() + crypto_secretbox_NONCEBYTES,
                                   length - crypto_secretbox_NONCEBYTES, sealed.data(),
                                   reinterpret_cast<const unsigned char*>(secret.data())) != 0)
        return std::nullopt;
    return text;
}

bool isKey(const std::string& key) {
    return !key.empty() && key.size() <= kLongestIdempotencyKey &&
           std::all_of(key.begin(), key.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// Who sends the request: the member by her account; signed out, the application the server named,
// or else the client's own address (not its network: a ward's families share that).
std::string senderOf(const RequestContext& ctx) {
    if (ctx.memberId) return "member:" + std::to_string(*ctx.memberId);
    if (auto application = proofHolders(ctx, std::nullopt).client) return "application:" + *application;
    return "address:" + ctx.request.remote_addr;
}

} // namespace

bool RequestsUnderWay::take(const std::string& id) {
    std::lock_guard lock(mutex_);
    return ids_.insert(id).second;
}

void RequestsUnderWay::release(const std::string& id) {
    std::lock_guard lock(mutex_);
    ids_.erase(id);
}

DoneOnce::DoneOnce(RequestContext& ctx, const Route& route, const std::string& key) : ctx_(ctx), route_(route) {
    if (!isKey(key))
        throw HttpError(400, "The Idempotency-Key header must hold 1 to " + std::to_string(kLongestIdempotencyKey) +
                                 " visible characters.");
    owner_ = senderOf(ctx);
    id_ = toHex(keyDigest("id", owner_, route, key, 32));
    secret_ = keyDigest("answer", owner_, route, key, crypto_secretbox_KEYBYTES);
    fingerprint_ = requestFingerprint(ctx, keyDigest("request", owner_, route, key, 32));
    if (!ctx.state.requestsUnderWay.take(id_))
        throw HttpError(409, "This request is still being done. Please try again in a moment.");
}

DoneOnce::~DoneOnce() {
    sodium_memzero(secret_.data(), secret_.size());
    ctx_.state.requestsUnderWay.release(id_);
}

std::optional<json> DoneOnce::replay() {
    int64_t status = 0;
    std::optional<std::string> made;
    {
        // Among the sender's own keys, a thousand at most.
        auto st = ctx_.db.prepare("SELECT fingerprint, status, made FROM request_replays "
                                  "WHERE owner = ? AND id = ? AND created_at > ?");
        st.with(owner_, id_, ctx_.now() - kReplayKeptSeconds);
        if (!st.step()) {
            storage_ = std::make_unique<MemberStorage>(ctx_, ctx_.memberId, kKeptBytesPerKey, 0);
            return std::nullopt;
        }
        if (st.text(0) != fingerprint_)
            throw HttpError(422, "This Idempotency-Key was sent before with another request; this one was not done.");
        status = st.integer(1);
        made = unseal(secret_, st.text(2));
    }
    const json what = made ? parseStoredJson(*made) : json();
    if (!what.is_object())
        throw HttpError(409, "This request was done already; its answer could not be made again.");
    json answer = route_.answer(ctx_, what);
    ctx_.response.status = static_cast<int>(status);
    return answer;
}

void DoneOnce::claim() {
    if (claimed_) return;
    const int64_t now = ctx_.now();
    // The same key past its day, if its row is still there.
    ctx_.db.prepare("DELETE FROM request_replays WHERE owner = ? AND id = ?").with(owner_, id_).run();
    ctx_.db
        .prepare("INSERT INTO request_replays (owner, id, fingerprint, status, made, created_at) "
                 "VALUES (?, ?, ?, ?, ?, ?)")
        .with(owner_, id_, fingerprint_, int64_t{ctx_.response.status}, seal(secret_, ctx_.made.dump()), now)
        .run();
    const int64_t taken = ctx_.db.lastInsertId();
    // The sender's oldest key beyond its bound, found through its index: one at most, as each write
    // adds one.
    ctx_.db
        .prepare("DELETE FROM request_replays WHERE seq = (SELECT seq FROM request_replays WHERE owner = ? "
                 "ORDER BY seq DESC LIMIT 1 OFFSET ?)")
        .with(owner_, kKeysPerSender)
        .run();
    // Keys past their day, from the table's front, now and then a batch: the oldest come first.
    if (taken % kExpiredSweepEvery == 0)
        ctx_.db
            .prepare("DELETE FROM request_replays WHERE seq IN (SELECT seq FROM request_replays ORDER BY seq "
                     "LIMIT ?) AND created_at <= ?")
            .with(kExpiredSweepEvery * 2, now - kReplayKeptSeconds)
            .run();
    if (storage_) storage_->keep();
    claimed_ = true;
}

} // namespace cw::server
