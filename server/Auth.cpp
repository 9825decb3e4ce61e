#include "server/Auth.h"

#include "server/Http.h"
#include "server/Quotas.h"
#include "server/Server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <sodium.h>

namespace cw::server {

namespace {

std::string tokenHash(const std::string& token) {
    std::string digest(32, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(digest.data()), digest.size(),
                       reinterpret_cast<const unsigned char*>(token.data()), token.size(), nullptr, 0);
    return toHex(digest);
}

void storeToken(Connection& db, const std::string& token, int64_t memberId, const char* kind,
                int64_t expiresAt, const std::string& session) {
    db.prepare("INSERT INTO tokens (token_hash, member_id, kind, expires_at, session) VALUES (?, ?, ?, ?, ?)")
        .with(tokenHash(token), memberId, kind, expiresAt, session)
        .run();
}

// Argon2 at its interactive cost takes a core and 64 MB for a tenth of a second: no more run at once
// than there are cores, and a crowd queues briefly instead of taking the machine's memory.
constexpr auto kHashPatience = std::chrono::seconds(3);

constexpr int64_t kSessionsPerMember = 50;
// Access tokens one session keeps, so that refreshing over and over leaves no hour's worth of them; a
// request still on its way with the token before a refresh or two is answered, an older one 401.
constexpr int64_t kAccessTokensPerSession = 4;

std::atomic<int> hashesWaiting{0};

// A place among the hashes, or 429 when none came free within the patience. It counts as waiting
// while it waits.
class HashTurn {
public:
    explicit HashTurn(const Claimant& claimant) : turn_(passwordHashGate(), kHashPatience, claimant) {
        waiting_.over();
        if (!turn_) throw HttpError(429, "The server is busy. Please try again in a moment.");
    }

private:
    struct Waiting {
        Waiting() { ++hashesWaiting; }
        ~Waiting() { over(); }
        void over() {
            if (!over_) --hashesWaiting;
            over_ = true;
        }
        bool over_ = false;
    };
    // Before the turn: members are made in this order.
    Waiting waiting_;
    Gate::Turn turn_;
};

std::string familyGroup(int64_t family) {
    return "family of baby " + std::to_string(family);
}

} // namespace

Gate& passwordHashGate() {
    // A hash at its interactive cost takes about a tenth of a second.
    static Gate gate(std::max(1u, std::thread::hardware_concurrency()), std::chrono::milliseconds(50));
    return gate;
}

int passwordHashesWaiting() {
    return hashesWaiting.load();
}

std::string hashPassword(const std::string& password, bool cheap, const Claimant& claimant) {
    HashTurn turn(claimant);
    char out[crypto_pwhash_STRBYTES];
    unsigned long long ops = cheap ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    size_t mem = cheap ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), ops, mem,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw DatabaseError("out of memory while hashing a password");
    return out;
}

bool verifyPassword(const std::string& hash, const std::string& password, const Claimant& claimant) {
    return matchingPassword({hash}, password, claimant).has_value();
}

std::optional<size_t> matchingPassword(const std::vector<std::string>& hashes, const std::string& password,
                                       const Claimant& claimant) {
    HashTurn turn(claimant);
    for (size_t i = 0; i < hashes.size(); ++i)
        if (crypto_pwhash_str_verify(hashes[i].c_str(), password.data(), password.size()) == 0) return i;
    return std::nullopt;
}

void learnAccessToken(const ServerState& state, const std::string& token, const AccessHolder& holder,
                      std::optional<int64_t> family) {
    // However long the server lets tokens live, within what the clock can count.
    constexpr int64_t kLongest = int64_t{10} * 365 * 24 * 3600;
    // A family's members are one group wherever each sends from, apart from whoever shares their
    // network; a member who proved no family takes her turns among the unproven (`claimantOfHead`).
    Claimant claimant;
    claimant.member = "member:" + std::to_string(holder.memberId);
    if (family) claimant.group = familyGroup(*family);
    state.claimants.learn(token, claimant,
                          std::chrono::steady_clock::now() +
                              std::chrono::seconds(std::clamp<int64_t>(holder.expiresAt - state.now(), 0, kLongest)),
                          holder.session ? "session " + *holder.session : std::string());
}

std::string turnGroupOf(Connection& db, int64_t memberId) {
    const auto family = familyOf(db, memberId);
    return family ? familyGroup(*family) : std::string();
}

std::optional<int64_t> familyOf(Connection& db, int64_t memberId) {
    return db.queryInteger("SELECT MIN(b.id) FROM member_babies mb JOIN babies b ON b.id = mb.baby_id "
                           "WHERE mb.member_id = ? AND b.mrn IS NOT NULL",
                           memberId);
}

TokenPair issueTokens(Connection& db, const ServerState& state, int64_t memberId,
                      const std::string& session) {
    int64_t now = state.now();
    TokenPair pair{randomHex(32), randomHex(32)};
    const std::string sessionId = session.empty() ? randomHex(16) : session;
    storeToken(db, pair.accessToken, memberId, "access", now + state.options.accessTokenSeconds, sessionId);
    storeToken(db, pair.refreshToken, memberId, "refresh", now + state.options.refreshTokenSeconds,
               sessionId);
    // Spent and expired tokens are of no further use; dropping them keeps the table small.
    db.prepare("DELETE FROM tokens WHERE member_id = ? AND (revoked = 1 OR expires_at < ?)")
        .with(memberId, now)
        .run();
    // A member keeps her latest sessions, more than her phones ever hold: signing in again and again
    // ends the oldest rather than adding rows without end.
    if (session.empty())
        db.prepare("DELETE FROM tokens WHERE member_id = ?1 AND session NOT IN (SELECT session FROM tokens "
                   "WHERE member_id = ?1 AND kind = 'refresh' AND session IS NOT NULL "
                   "ORDER BY expires_at DESC, rowid DESC LIMIT ?2)")
            .with(memberId, kSessionsPerMember)
            .run();
    else
        db.prepare("DELETE FROM tokens WHERE member_id = ?1 AND session = ?2 AND kind = 'access' AND "
                   "token_hash NOT IN (SELECT token_hash FROM tokens WHERE member_id = ?1 AND session = ?2 "
                   "AND kind = 'access' ORDER BY expires_at DESC, rowid DESC LIMIT ?3)")
            .with(memberId, session, kAccessTokensPerSession)
            .run();
    // Learnt before the reply is sent: a secret only she holds, whether or not this write commits.
    learnAccessToken(state, pair.accessToken,
                     {memberId, sessionId, now + state.options.accessTokenSeconds}, familyOf(db, memberId));
    return pair;
}

std::optional<AccessHolder> holderOfAccessToken(Connection& db, const ServerState& state,
                                                const std::string& token) {
    if (token.empty() || token.size() > 256) return std::nullopt;
    auto st = db.prepare("SELECT member_id, session, expires_at FROM tokens WHERE token_hash = ? AND "
                         "kind = 'access' AND revoked = 0 AND expires_at > ?");
    st.with(tokenHash(token), state.now());
    if (!st.step()) return std::nullopt;
    return AccessHolder{st.integer(0), st.optionalText(1), st.integer(2)};
}

void endSessions(Connection& db, int64_t memberId, const std::optional<std::string>& keep) {
    db.prepare("UPDATE tokens SET revoked = 1 WHERE member_id = ? AND (?2 IS NULL OR session IS NOT ?2)")
        .with(memberId, keep)
        .run();
}

std::optional<TokenPair> rotateTokens(Connection& db, const ServerState& state,
                                      const std::string& refreshToken) {
    if (refreshToken.empty() || refreshToken.size() > 256) return std::nullopt;
    Transaction tx(db);
    int64_t memberId = 0;
    std::string session;
    {
        auto st =
            db.prepare("SELECT member_id, session FROM tokens WHERE token_hash = ? AND kind = 'refresh' "
                       "AND revoked = 0 AND expires_at > ?");
        st.with(tokenHash(refreshToken), state.now());
        if (!st.step()) return std::nullopt;
        memberId = st.integer(0);
        session = st.optionalText(1).value_or("");
    }
    db.prepare("UPDATE tokens SET revoked = 1 WHERE token_hash = ?").with(tokenHash(refreshToken)).run();
    // The refreshed pair continues the session, so that a password change made in it keeps it.
    TokenPair pair = issueTokens(db, state, memberId, session);
    tx.commit();
    return pair;
}

} // namespace cw::server
