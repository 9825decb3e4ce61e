#include "server/Guards.h"

#include "server/Http.h"
#include "server/Quotas.h"

#include <algorithm>
#include <optional>

namespace cw::server {

namespace throttle {
// Accounts and addresses wait minutes at most, so that someone else's guessing cannot keep their
// owner out for long; a client that keeps failing waits up to an hour. Clients behind one address
// (a hospital's network) share its count, so its free failures are generous.
//                                   scope               free  first  ceiling  forgotten after
const ThrottlePolicy kSignIn = {"signin", 5, 1, 300, 3600};
const ThrottlePolicy kSignInClient = {"signin-client", 30, 1, 3600, 3600};
const ThrottlePolicy kInvitation = {"invitation", 10, 2, 300, 3600};
const ThrottlePolicy kInvitationClient = {"invitation-client", 20, 2, 3600, 3600};
const ThrottlePolicy kEmailCode = {"email-code", 5, 30, 900, 24 * 3600};
const ThrottlePolicy kEmailCodeClient = {"email-code-client", 20, 30, 3600, 24 * 3600};
const ThrottlePolicy kRecordLookup = {"record-lookup-client", 20, 1, 600, 3600};
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

} // namespace

void recordProof(Connection& db, Proof kind, const std::string& subject, int64_t object, int64_t now) {
    db.prepare("INSERT INTO proofs (kind, subject, object, proven_at) VALUES (?1, ?2, ?3, ?4) "
               "ON CONFLICT(kind, subject, object) DO UPDATE SET proven_at = ?4")
        .with(kindName(kind), subject, object, now)
        .run();
    db.prepare("DELETE FROM proofs WHERE proven_at < ?").with(now - kProofSeconds).run();
}

bool addressProven(Connection& db, const std::string& email, int64_t now) {
    auto st = db.prepare("SELECT 1 FROM proofs WHERE kind = 'address' AND subject = ? AND proven_at >= ?");
    st.with(email, now - kProofSeconds);
    return st.step();
}

bool babyLookedUp(Connection& db, const std::string& client, int64_t babyId, int64_t now) {
    auto st = db.prepare(
        "SELECT 1 FROM proofs WHERE kind = 'lookup' AND subject = ? AND object = ? AND proven_at >= ?");
    st.with(client, babyId, now - kProofSeconds);
    return st.step();
}

bool invitedByBabysFamily(Connection& db, const std::string& client, int64_t babyId, int64_t now) {
    auto st =
        db.prepare("SELECT 1 FROM proofs p JOIN member_babies mb ON mb.member_id = p.object "
                   "WHERE p.kind = 'invitation' AND p.subject = ? AND mb.baby_id = ? AND p.proven_at >= ?");
    st.with(client, babyId, now - kProofSeconds);
    return st.step();
}

} // namespace cw::server
