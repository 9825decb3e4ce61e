#include "server/Guards.h"

#include "server/Http.h"
#include "server/Quotas.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace cw::server {

namespace throttle {
// Guessing is slowed where it is aimed: at an account, at the address a code was sent to, at what one
// application tries. Accounts and addresses wait minutes at most, so that someone else's guessing
// cannot keep their owner out for long. A network address is counted too, against guessing spread
// over many accounts or addresses; but a ward's phones share one, so its count only catches what no
// ward mistypes in an hour, and waits a few minutes at most.
//                                   scope                    free  first  ceiling  forgotten after
const ThrottlePolicy kSignIn = {"signin", 5, 1, 300, 3600};
const ThrottlePolicy kSignInClient = {"signin-client", 100, 1, 600, 3600};
const ThrottlePolicy kInvitation = {"invitation", 10, 2, 300, 3600};
const ThrottlePolicy kInvitationClient = {"invitation-client", 100, 2, 600, 3600};
const ThrottlePolicy kEmailCode = {"email-code", 5, 30, 900, 24 * 3600};
const ThrottlePolicy kEmailCodeClient = {"email-code-client", 100, 30, 600, 3600};
const ThrottlePolicy kRecordLookup = {"record-lookup", 20, 1, 600, 3600};
const ThrottlePolicy kRecordLookupClient = {"record-lookup-client", 100, 1, 600, 3600};
} // namespace throttle

namespace {

int64_t delayAfter(const ThrottlePolicy& policy, int64_t failures) {
    if (failures < policy.freeFailures) return 0;
    int64_t doublings = std::min<int64_t>(failures - policy.freeFailures, 30);
    return std::min(policy.maxDelay, policy.firstDelay << doublings);
}

// Seconds the key must still wait; 0 when it may try now.
int64_t waitFor(Connection& db, const ThrottleKey& key, int64_t now) {
    auto st = db.prepare("SELECT failures, last_failure FROM throttles WHERE scope = ? AND key = ?");
    st.with(key.policy->scope, key.key);
    if (!st.step()) return 0;
    int64_t failures = st.integer(0), last = st.integer(1);
    if (now - last >= key.policy->forgetAfter) return 0;
    return std::max<int64_t>(0, last + delayAfter(*key.policy, failures) - now);
}

void count(Connection& db, const ThrottleKey& key, int64_t now) {
    db.prepare("INSERT INTO throttles (scope, key, failures, last_failure) VALUES (?1, ?2, 1, ?3) "
               "ON CONFLICT(scope, key) DO UPDATE SET "
               "failures = CASE WHEN ?3 - last_failure >= ?4 THEN 1 ELSE failures + 1 END, last_failure = ?3")
        .with(key.policy->scope, key.key, now, key.policy->forgetAfter)
        .run();
}

} // namespace

void countAttempt(Connection& db, int64_t now, const std::vector<ThrottleKey>& keys) {
    std::optional<Transaction> own;
    if (!db.inTransaction()) own.emplace(db);
    int64_t wait = 0;
    for (const auto& key : keys)
        wait = std::max(wait, waitFor(db, key, now));
    if (wait > 0) throw HttpError(429, "Too many attempts. Please try again in " + waitText(wait) + ".");
    for (const auto& key : keys)
        count(db, key, now);
    // Rows forgotten for a day are of no further use.
    db.prepare("DELETE FROM throttles WHERE last_failure < ?").with(now - 2 * 24 * 3600).run();
    if (own) own->commit();
}

void attemptNotJudged(Connection& db, const std::vector<ThrottleKey>& keys) {
    attemptSucceeded(db, keys, false);
}

void attemptSucceeded(Connection& db, const std::vector<ThrottleKey>& keys, bool forgetFirst) {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 && forgetFirst)
            db.prepare("DELETE FROM throttles WHERE scope = ? AND key = ?")
                .with(keys[i].policy->scope, keys[i].key)
                .run();
        else
            db.prepare("UPDATE throttles SET failures = MAX(failures - 1, 0) WHERE scope = ? AND key = ?")
                .with(keys[i].policy->scope, keys[i].key)
                .run();
    }
}

namespace {

const char* kindName(Proof kind) {
    switch (kind) {
    case Proof::Address:
        return "address";
    case Proof::Invitation:
        return "invitation";
    case Proof::Lookup:
        return "lookup";
    }
    return "";
}

// 128 random bits in lower-case hexadecimal, as the server makes them.
bool wellFormedClient(std::string_view value) {
    return value.size() == 32 && value.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The application named by the cookies of a request ("a=1; cw_client=..."), when one is.
std::optional<std::string> clientInCookies(std::string_view cookies) {
    while (!cookies.empty()) {
        size_t end = cookies.find(';');
        std::string_view pair = cookies.substr(0, end);
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
        size_t first = pair.find_first_not_of(' ');
        if (first == std::string_view::npos) continue;
        pair.remove_prefix(first);
        size_t equals = pair.find('=');
        if (equals == std::string_view::npos || pair.substr(0, equals) != kClientCookie) continue;
        std::string_view value = pair.substr(equals + 1);
        while (!value.empty() && value.back() == ' ')
            value.remove_suffix(1);
        if (wellFormedClient(value)) return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> presentedClient(const httplib::Request& request) {
    for (size_t i = 0, n = request.get_header_value_count("Cookie"); i < n; ++i)
        if (auto client = clientInCookies(request.get_header_value("Cookie", i))) return client;
    return std::nullopt;
}

std::string clientHolder(const std::string& client) {
    return "client:" + client;
}

std::string memberHolder(int64_t member) {
    return "member:" + std::to_string(member);
}

// The application a proof is recorded for: the one the request names, else the one this reply
// already named, else a new one; its cookie goes with the reply, once.
std::string applicationOf(RequestContext& ctx) {
    std::optional<std::string> client = presentedClient(ctx.request);
    if (ctx.response.has_header("Set-Cookie")) {
        if (auto named = clientInCookies(ctx.response.get_header_value("Set-Cookie"))) return *named;
    }
    if (!client) client = randomHex(16);
    ctx.response.set_header("Set-Cookie", std::string(kClientCookie) + "=" + *client +
                                              "; Path=/m/api; Max-Age=" + std::to_string(kProofSeconds) +
                                              "; HttpOnly; SameSite=Strict");
    return *client;
}

void insertProof(Connection& db, Proof kind, const std::string& holder, const std::string& subject,
                 int64_t object, int64_t now) {
    db.prepare("INSERT INTO proofs (kind, holder, subject, object, proven_at) VALUES (?1, ?2, ?3, ?4, ?5) "
               "ON CONFLICT(kind, holder, subject, object) DO UPDATE SET proven_at = ?5")
        .with(kindName(kind), holder, subject, object, now)
        .run();
}

// Binds the two holders to parameters `first` and `first + 1`; a holder the request lacks is NULL,
// which matches nothing.
void bindHolders(Statement& st, int first, const ProofHolders& holders) {
    st.bind(first, holders.client ? std::optional(clientHolder(*holders.client)) : std::nullopt);
    st.bind(first + 1, holders.member ? std::optional(memberHolder(*holders.member)) : std::nullopt);
}

} // namespace

std::string requestingApplication(RequestContext& ctx) {
    return applicationOf(ctx);
}

ProofHolders proofHolders(const RequestContext& ctx, std::optional<int64_t> member) {
    return {presentedClient(ctx.request), member};
}

void recordProof(RequestContext& ctx, Proof kind, const std::string& subject, int64_t object) {
    const int64_t now = ctx.now();
    insertProof(ctx.db, kind, clientHolder(applicationOf(ctx)), subject, object, now);
    if (ctx.memberId) insertProof(ctx.db, kind, memberHolder(*ctx.memberId), subject, object, now);
    ctx.db.prepare("DELETE FROM proofs WHERE proven_at < ?").with(now - kProofSeconds).run();
}

void bindProofs(RequestContext& ctx, int64_t memberId) {
    auto client = presentedClient(ctx.request);
    if (!client) return;
    ctx.db
        .prepare(
            "INSERT INTO proofs (kind, holder, subject, object, proven_at) "
            "SELECT kind, ?2, subject, object, proven_at FROM proofs WHERE holder = ?1 AND proven_at >= ?3 "
            "ON CONFLICT(kind, holder, subject, object) DO UPDATE SET "
            "proven_at = MAX(proven_at, excluded.proven_at)")
        .with(clientHolder(*client), memberHolder(memberId), ctx.now() - kProofSeconds)
        .run();
}

bool addressProven(Connection& db, const ProofHolders& holders, const std::string& email, int64_t now) {
    auto st =
        db.prepare("SELECT 1 FROM proofs WHERE kind = 'address' AND holder IN (?1, ?2) AND subject = ?3 "
                   "AND proven_at >= ?4");
    bindHolders(st, 1, holders);
    st.bind(3, email).bind(4, now - kProofSeconds);
    return st.step();
}

bool babyLookedUp(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now) {
    auto st = db.prepare("SELECT 1 FROM proofs WHERE kind = 'lookup' AND holder IN (?1, ?2) AND object = ?3 "
                         "AND proven_at >= ?4");
    bindHolders(st, 1, holders);
    st.bind(3, babyId).bind(4, now - kProofSeconds);
    return st.step();
}

bool invitedByBabysFamily(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now) {
    auto st = db.prepare("SELECT 1 FROM proofs p JOIN member_babies mb ON mb.member_id = p.object "
                         "WHERE p.kind = 'invitation' AND p.holder IN (?1, ?2) AND mb.baby_id = ?3 "
                         "AND p.proven_at >= ?4");
    bindHolders(st, 1, holders);
    st.bind(3, babyId).bind(4, now - kProofSeconds);
    return st.step();
}

} // namespace cw::server
