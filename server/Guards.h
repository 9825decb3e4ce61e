#pragma once

#include "server/Database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cw::server {

class RequestContext;

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
// Record-number look-ups that found nothing to show: per application (its `cw_client` cookie, when it
// sends one) and per client address.
extern const ThrottlePolicy kRecordLookup;
extern const ThrottlePolicy kRecordLookupClient;
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
// The attempt was refused without being judged (the server was busy, no code was waiting): it was no
// guess, and its count is taken back under every key.
void attemptNotJudged(Connection& db, const std::vector<ThrottleKey>& keys);

// What an application showed recently (an address it owns, an invitation it holds, a baby it looked up
// by record number), and how long it counts. A proof belongs to the application that gave it, named
// by the cookie the reply sets, and to the account that application then makes or signs in to: never
// to a network address, which a hospital's Wi-Fi shares among many families, and never to an account
// that someone else made earlier with the same e-mail address.
constexpr int64_t kProofSeconds = 3600;
// The cookie that names the application; it lives as long as a proof does.
inline constexpr const char* kClientCookie = "cw_client";
enum class Proof {
    Address,    // subject: an e-mail address whose code or invitation code was given back
    Invitation, // object: the inviter whose invitation was checked
    Lookup,     // object: a baby looked up by record number
};

// Whose proofs a request may use: its application's (by the cookie it carries) and its member's.
struct ProofHolders {
    std::optional<std::string> client;
    std::optional<int64_t> member;
};
ProofHolders proofHolders(const RequestContext& ctx, std::optional<int64_t> member);

// The application a request comes from, by its cookie; one that sent none is named now and gets its
// cookie with the reply, so that what it does next is counted as its own.
std::string requestingApplication(RequestContext& ctx);
// Records a proof for the request's application, which gets its cookie with the reply (a new one when
// it came without; renewed otherwise), and for the signed-in member when there is one.
void recordProof(RequestContext& ctx, Proof kind, const std::string& subject, int64_t object);
// The application's proofs become the account's too: the account it has just made or signed in to.
void bindProofs(RequestContext& ctx, int64_t memberId);
bool addressProven(Connection& db, const ProofHolders& holders, const std::string& email, int64_t now);
bool babyLookedUp(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now);
// The holders passed an invitation check of a member of the baby's family.
bool invitedByBabysFamily(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now);

} // namespace cw::server
