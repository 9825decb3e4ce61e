#pragma once

#include "server/Database.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cw::server {

// Guessing (passwords, invitation codes, e-mail codes, medical record numbers) is slowed, never
// locked for long. Every attempt is counted as a failure under each of its keys (the account or
// address it names, and the client's network address) before it is judged, so that attempts sent
// together cannot all pass the count; a success takes its count back. Past a few failures a key's
// next attempt must wait a delay that doubles up to a ceiling; failures are forgotten a while after
// the last one.
struct ThrottlePolicy {
    const char* scope;
    int64_t freeFailures;
    int64_t firstDelay; // seconds
    int64_t maxDelay;
    int64_t forgetAfter;
};

namespace throttle {
extern const ThrottlePolicy kSignIn;           // per account (e-mail address)
extern const ThrottlePolicy kSignInClient;     // per client address
extern const ThrottlePolicy kInvitation;       // per e-mail address sent with the code
extern const ThrottlePolicy kInvitationClient; // per client address
extern const ThrottlePolicy kEmailCode;        // per address being verified; a new code keeps the count
extern const ThrottlePolicy kEmailCodeClient;  // per client address
extern const ThrottlePolicy kRecordLookup; // record-number look-ups that found nothing to show, per client
} // namespace throttle

struct ThrottleKey {
    const ThrottlePolicy* policy;
    std::string key;
};

// Counts one attempt under every key; 429, counting nothing, when a key must still wait. Runs in the
// caller's transaction when one is open, else in a transaction of its own.
void countAttempt(Connection& db, int64_t now, const std::vector<ThrottleKey>& keys);
// The attempt succeeded: its count is taken back under every key, and when `forgetFirst` the first
// key (the account) forgets its failures altogether.
void attemptSucceeded(Connection& db, const std::vector<ThrottleKey>& keys, bool forgetFirst);

// What a client showed recently, and how long it counts.
constexpr int64_t kProofSeconds = 3600;
enum class Proof {
    Address,    // subject: an e-mail address whose code or invitation code was given back
    Invitation, // subject: a client address that passed an invitation check; object: the inviter
    Lookup,     // subject: a client address that looked a baby up by record number; object: the baby
};
void recordProof(Connection& db, Proof kind, const std::string& subject, int64_t object, int64_t now);
bool addressProven(Connection& db, const std::string& email, int64_t now);
bool babyLookedUp(Connection& db, const std::string& client, int64_t babyId, int64_t now);
// The client passed an invitation check of a member of the baby's family.
bool invitedByBabysFamily(Connection& db, const std::string& client, int64_t babyId, int64_t now);

} // namespace cw::server
