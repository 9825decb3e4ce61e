#pragma once

#include "server/Database.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cw::server {

class RequestContext;
class TakenAllowance;

// Guessing is slowed, never locked for long: past a few failures under a key, its next attempt waits a
// delay that doubles up to a ceiling; failures are forgotten a while after the last one (`Attempt`).
struct ThrottlePolicy {
    const char* scope;
    int64_t freeFailures;
    int64_t firstDelay; // seconds
    int64_t maxDelay;
    int64_t forgetAfter;
};

namespace throttle {
// Wrong passwords are counted per account and address, so that one address's guessing keeps the owner
// out of no other, and per account from every address; a phone she signed in on counts on its own.
extern const ThrottlePolicy kPassword;         // per account, from one client address
extern const ThrottlePolicy kPasswordAccount;  // per account, from every address, in each clock hour
extern const ThrottlePolicy kPasswordPhone;    // per account, from one phone that signed in to it
extern const ThrottlePolicy kSignInClient;     // per client address, at addresses with no account
// Wrong invitation codes slow the address that sends them; across addresses each code is renewed
// after a few wrong ones, never guarded by a count someone else's guesses could fill.
extern const ThrottlePolicy kInvitationClient; // per client address
// A verification code is spent after five wrong codes (its own count); wrong codes are counted per
// client address as well.
extern const ThrottlePolicy kEmailCodeClient;
// Record-number look-ups that found nothing to show: per application (its `cw_client` cookie, when it
// sends one) and per client address.
extern const ThrottlePolicy kRecordLookup;
extern const ThrottlePolicy kRecordLookupClient;
} // namespace throttle

struct ThrottleKey {
    const ThrottlePolicy* policy;
    std::string key;
};

// The well-formed value of the cookie `name` among the cookies of a request ("a=1; cw_client=..."),
// when there is one.
std::optional<std::string> cookieIn(std::string_view cookies, std::string_view name);

// The cookie that names a phone (128 random bits issued at a sign-in on it): it only gives the phone's
// guesses at its accounts' passwords a count of their own, and outlives a log-out.
inline constexpr const char* kDeviceCookie = "cw_device";
// The phone the request names by that cookie, when it sends a well-formed one.
std::optional<std::string> requestingPhone(const RequestContext& ctx);
// The request comes from a phone that signed in to this account lately: its cookie is one the server
// gave at a sign-in to it (made up, or another account's, it names no phone of hers).
bool fromPhoneOf(const RequestContext& ctx, int64_t memberId);

// The keys a password for this account is counted under: a phone's that signed in to it lately, or
// the account's from that address and (unless she signed in from there lately) from every address.
std::vector<ThrottleKey> passwordKeys(Connection& db, int64_t memberId, const std::string& client,
                                      const std::optional<std::string>& phone, int64_t now);
// The member signed in from the request's network and phone: both are hers for a while, and the
// phone is named by its cookie with the reply (the one it sent, or a new one). In the caller's write.
void signedInFrom(RequestContext& ctx, int64_t memberId);

// The counts of attempts under their keys, as `Attempt` keeps them: counted in memory before the
// attempt is judged and written with the pool's gathered writes, so that a flood of wrong guesses
// takes a write turn now and then instead of one each. Safe to call from any thread.
class GuessCounts {
public:
    // What one attempt did to one key's count, so that taking it back undoes that and nothing else.
    struct Counted {
        int64_t lastBefore = 0; // the key's last failure before the attempt
        uint64_t serial = 0;    // the attempt's place among the key's counts
    };
    // Counts one attempt under every key; 429, counting nothing, when a key must still wait. Each key's
    // count stays in memory until the attempt is settled.
    std::vector<Counted> count(Connection& db, ConnectionPool& pool, const std::vector<ThrottleKey>& keys,
                               int64_t now);
    // Settles an attempt: kept, it stays a failure; taken back, each key loses that one count (its last
    // failure again the one before if none came since), the first key all of them when `forgetFirst`.
    enum class Settled { Kept, TakenBack, TakenBackForgettingFirst };
    void settle(ConnectionPool& pool, const std::vector<ThrottleKey>& keys,
                const std::vector<Counted>& counted, Settled settled, int64_t now);

private:
    struct Count {
        int64_t failures = 0;
        int64_t last = 0;
        uint64_t serial = 0; // attempts counted while memory held it
        int writes = 0;      // gathered writes of it not made yet
        int open = 0;        // attempts counted in it and not settled yet
    };
    // The key's count, read from the database when memory holds none (mutex_ held).
    Count& held(Connection& db, const ThrottleKey& key);
    // Forgets the keys' counts that no write and no unsettled attempt waits for (mutex_ held).
    void release(const std::vector<ThrottleKey>& keys);
    // Gathers the write of the keys' counts as memory will hold them when it is made.
    void write(ConnectionPool& pool, const std::vector<ThrottleKey>& keys, int64_t now);

    std::mutex mutex_;
    std::unordered_map<std::string, Count> counts_;
};

// One attempt at a guess, counted as a failure under each of its keys before it is judged, so that
// attempts sent together cannot all pass the count (429 when a key must still wait). Settled once;
// taking back undoes this attempt's own count only, so right guesses forgive no wrong ones.
class Attempt {
public:
    Attempt(RequestContext& ctx, std::vector<ThrottleKey> keys);
    ~Attempt();
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;

    // The guess was wrong: it stays counted.
    void keep();
    // The guess was right: its own count is taken back under every key, and when `forgetFirst` the
    // first key forgets its failures altogether.
    void succeeded(bool forgetFirst = false);
    // Refused without being judged (the server too busy to judge it, a right one refused for an
    // allowance): it was no guess, and its count is taken back under every key.
    void notJudged();

private:
    void settle(GuessCounts::Settled settled);

    RequestContext& ctx_;
    std::vector<ThrottleKey> keys_;
    std::vector<GuessCounts::Counted> counted_;
    bool settled_ = false;
};

// What an application showed recently (an invitation code it gave back, a baby it looked up by record
// number), and how long it counts. A proof belongs to the application (by its cookie) or the member,
// never to a network address, which a hospital's Wi-Fi shares among many families.
constexpr int64_t kProofSeconds = 3600;
// The cookie that names the application; it lives as long as a proof does.
inline constexpr const char* kClientCookie = "cw_client";
enum class Proof {
    Invitation, // subject: the invited address; object: the invitation whose code was given back
    Lookup,     // object: a baby looked up by record number
};

// Whose proofs a request may use: the signed-in member's, and its application's (by a cookie the
// server issued, not lapsed), of which a member uses only invitations to her own address.
struct ProofHolders {
    std::optional<std::string> client;
    std::optional<int64_t> member;
};
ProofHolders proofHolders(const RequestContext& ctx, std::optional<int64_t> member);

// The application a request comes from, by its cookie; a new one is named now but issued only by
// `issue`, so that a refused request leaves nothing. It takes one of its network's allowance of new
// applications, or, named for what the request proved, that proof's, so no neighbour keeps it out.
class RequestingApplication {
public:
    enum class NewOne {
        Counted,         // a new one takes the network's allowance: 429 when none is left
        IfTheNetworkHas, // the same, or else the request has none
    };
    explicit RequestingApplication(RequestContext& ctx, NewOne newOne = NewOne::Counted);
    // For a request that proved this: a new one is counted against what it proved.
    RequestingApplication(RequestContext& ctx, Proof kind, int64_t object);
    ~RequestingApplication();
    RequestingApplication(const RequestingApplication&) = delete;
    RequestingApplication& operator=(const RequestingApplication&) = delete;

    bool named() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    // Sets its cookie on the reply and renews it for the hour (nothing when it has no name).
    void issue();

private:
    RequestContext& ctx_;
    std::string name_;
    std::unique_ptr<TakenAllowance> allowance_; // a new one's, until it is issued
};
// Records a proof for the signed-in member, or else for the request's application, which gets its
// cookie with the reply (a new one when it came without one the server issued; renewed otherwise).
void recordProof(RequestContext& ctx, Proof kind, const std::string& subject, int64_t object);
// How an account comes to the application that holds proofs.
enum class AccountArrival {
    SignIn, // an account someone made before: it takes the invitations proven for its address only
    SignUp, // the account the application makes: it takes the application's look-ups as well
};
// The application's proofs that the account may have become the account's, and no longer the
// application's, so that whoever signs in next on the same phone finds none of them.
void handProofsTo(RequestContext& ctx, int64_t memberId, const std::string& email, AccountArrival arrival);
// The holders gave back the code of this invitation, to its address, within the hour.
bool invitationProven(Connection& db, const ProofHolders& holders, int64_t invitationId, int64_t now);
// The request's application proved within the hour what a sign-up for `email` naming `babies` takes
// up: an open invitation's code to the address, or the record number of a named baby with no family.
bool signUpProven(RequestContext& ctx, const std::string& email, const std::vector<int64_t>& babies);
// The request's application proved within the hour the code of an open invitation to `email`.
bool invitationToAddressProven(RequestContext& ctx, const std::string& email);
bool babyLookedUp(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now);
// The holders proved an open invitation from a parent of the baby, to an address that has no account
// yet (whoever typed the code of an address with an account learns nothing of the family).
bool invitedByBabysFamily(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now);

} // namespace cw::server
