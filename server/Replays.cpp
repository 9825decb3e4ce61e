#include "server/Replays.h"

#include "server/Http.h"
#include "server/Server.h"

#include <algorithm>
#include <vector>

#include <sodium.h>

namespace cw::server {

namespace {

constexpr std::string_view kDoneOnceRoutes[] = {
    "signup",
    "invite",
    "comments/new",
    "post",
    "baby/update",
    "baby/nicu_journey_add",
    "baby/nicu_journey_edit",
    "member/update",
};

// A keyed hash of the sender, the route and the key, for one use.
std::string digest(std::string_view use, const std::string& owner, const std::string& route,
                   const std::string& key, size_t bytes) {
    std::string input;
    input.reserve(use.size() + owner.size() + route.size() + key.size() + 3);
    input.append(use).append(1, '\0').append(owner).append(1, '\0').append(route).append(1, '\0').append(key);
    std::string out(bytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), bytes,
                       reinterpret_cast<const unsigned char*>(input.data()), input.size(), nullptr, 0);
    return out;
}

std::string toHex(const std::string& bytes) {
    std::string out(bytes.size() * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    out.pop_back();
    return out;
}

std::string sealAnswer(const std::string& secret, const std::string& body) {
    std::vector<unsigned char> sealed(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + body.size());
    randombytes_buf(sealed.data(), crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(sealed.data() + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(body.data()), body.size(), sealed.data(),
                          reinterpret_cast<const unsigned char*>(secret.data()));
    std::string out(sodium_base64_encoded_len(sealed.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), sealed.data(), sealed.size(), sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

std::optional<std::string> openAnswer(const std::string& secret, const std::string& stored) {
    std::vector<unsigned char> sealed(stored.size());
    size_t length = 0;
    if (sodium_base642bin(sealed.data(), sealed.size(), stored.data(), stored.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES)
        return std::nullopt;
    std::string body(length - crypto_secretbox_NONCEBYTES - crypto_secretbox_MACBYTES, '\0');
    if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char*>(body.data()),
                                   sealed.data() + crypto_secretbox_NONCEBYTES,
                                   length - crypto_secretbox_NONCEBYTES, sealed.data(),
                                   reinterpret_cast<const unsigned char*>(secret.data())) != 0)
        return std::nullopt;
    return body;
}

bool isKey(const std::string& key) {
    return !key.empty() && key.size() <= kLongestIdempotencyKey &&
           std::all_of(key.begin(), key.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

std::string errorBody(const std::string& message) {
    return nlohmann::json{{"message", message}, {"status", message}}.dump();
}

} // namespace

bool isDoneOnce(std::string_view route) {
    return std::find(std::begin(kDoneOnceRoutes), std::end(kDoneOnceRoutes), route) != std::end(kDoneOnceRoutes);
}

bool RequestsUnderWay::take(const std::string& id) {
    std::lock_guard lock(mutex_);
    return ids_.insert(id).second;
}

void RequestsUnderWay::release(const std::string& id) {
    std::lock_guard lock(mutex_);
    ids_.erase(id);
}

DoneOnce::DoneOnce(RequestContext& ctx, const std::string& route, const std::string& key) : ctx_(ctx) {
    if (!isKey(key))
        throw HttpError(400, "The Idempotency-Key header must hold 1 to " + std::to_string(kLongestIdempotencyKey) +
                                 " visible characters.");
    owner_ = ctx.memberId ? "member:" + std::to_string(*ctx.memberId) : "network:" + ctx.client();
    id_ = toHex(digest("id", owner_, route, key, 32));
    secret_ = digest("answer", owner_, route, key, crypto_secretbox_KEYBYTES);
    if (!ctx.state.requestsUnderWay.take(id_))
        throw HttpError(409, "This request is still being done. Please try again in a moment.");
}

DoneOnce::~DoneOnce() {
    sodium_memzero(secret_.data(), secret_.size());
    ctx_.state.requestsUnderWay.release(id_);
}

bool DoneOnce::replay(httplib::Response& response) {
    auto st = ctx_.db.prepare("SELECT status, body FROM request_replays WHERE id = ? AND created_at > ?");
    st.with(id_, ctx_.now() - kReplayKeptSeconds);
    if (!st.step()) return false;
    const auto status = st.optionalInteger(0);
    const auto stored = st.optionalText(1);
    st.reset();
    std::optional<std::string> body;
    if (status && stored) body = openAnswer(secret_, *stored);
    if (!body) throw HttpError(409, "This request was done already; its answer was lost.");
    response.status = static_cast<int>(*status);
    response.set_content(*body, "application/json");
    return true;
}

void DoneOnce::claim() {
    if (claimed_) return;
    const int64_t now = ctx_.now();
    ctx_.db.prepare("DELETE FROM request_replays WHERE created_at <= ?").with(now - kReplayKeptSeconds).run();
    ctx_.db
        .prepare("INSERT OR REPLACE INTO request_replays (id, owner, status, body, bytes, created_at) "
                 "VALUES (?, ?, NULL, NULL, 0, ?)")
        .with(id_, owner_, now)
        .run();
    ctx_.db
        .prepare("DELETE FROM request_replays WHERE owner = ?1 AND id IN (SELECT id FROM request_replays WHERE "
                 "owner = ?1 ORDER BY created_at DESC, rowid DESC LIMIT -1 OFFSET ?2)")
        .with(owner_, kRepliesPerSender)
        .run();
    claimed_ = true;
}

void DoneOnce::keep(const httplib::Response& response) {
    if (!claimed_) return;
    // The request is done and answered whatever happens here: a failure to keep its answer leaves
    // the key taken (a retry is told so), never the write undone or the answer changed.
    try {
        const std::string body = response.body.size() <= kLongestReplyKept
                                     ? response.body
                                     : errorBody("This request was done already; its answer was too long to keep.");
        const std::string sealed = sealAnswer(secret_, body);
        Transaction tx(ctx_.db);
        ctx_.db.prepare("UPDATE request_replays SET status = ?, body = ?, bytes = ? WHERE id = ?")
            .with(int64_t{response.status}, sealed, static_cast<int64_t>(sealed.size()), id_)
            .run();
        ctx_.db
            .prepare("DELETE FROM request_replays WHERE id IN (SELECT id FROM (SELECT id, SUM(bytes) OVER "
                     "(ORDER BY created_at DESC, rowid DESC) AS total FROM request_replays WHERE owner = ?1) "
                     "WHERE total > ?2)")
            .with(owner_, kReplyBytesPerSender)
            .run();
        tx.commit();
    } catch (const std::exception& e) {
        ctx_.console(std::string("error: the answer of a request done once could not be kept: ") + e.what());
    }
}

} // namespace cw::server
