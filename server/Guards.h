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

// Guessing (passwords, invitation codes, e-mail codes, medical record numbers) is slowed, never
// locked for long. Every attempt is counted as a failure under each of its keys (the account or
// address it names, and the client's network address) before it is judged, so that attempts sent
// together cannot all pass the count; a success takes its own count back (and forgets no failure
// that may have been a guess at something else). Past a few failures a key's next attempt must wait a
// delay that doubles up to a ceiling; failures are forgotten a while after the last one, and their
// row goes then.
struct ThrottlePolicy {
    const char* scope;
    int64_t freeFailures;
    int64_t firstDelay; // seconds
    int64_t maxDelay;
    int64_t forgetAfter;
};

namespace throttle {
// Wrong passwords for an account are counted per account and client address, so that one address's
// guessing keeps the owner out of no other; and per account from every address at once, in each clock
// hour, against guessing spread over many addresses. A phone that signed in to the account before
// (its `cw_device` cookie) is counted on its own instead, wherever it is, so that no one else's
// guessing from its network, or from many, keeps it out. Only a guess at an address with no account
// is counted per client address alone.
extern const ThrottlePolicy kPassword;         // per account, from one client address
extern const ThrottlePolicy kPasswordAccount;  // per account, from every address, in each clock hour
extern const ThrottlePolicy kPasswordPhone;    // per account, from one phone that signed in to it
extern const ThrottlePolicy kSignInClient;     // per client address, at addresses with no account
// Wrong invitation codes slow the address that sends them. Across addresses each code is guarded by
// the wrong codes it may take before it is renewed (see the invitation check), never by a count
// that someone else's guesses could fill.
extern const ThrottlePolicy kInvitationClient; // per client address
// A verification code belongs to the application that asked for it and takes five wrong codes before
// it is spent (its own count, kept with it: a new code starts one of its own); wrong codes are counted
// per client address as well.
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

// The cookie that names a phone (128 random bits the server issued at a sign-in on it), for the
// accounts that signed in there. It holds no secret of the member's: it only gives the phone's
// guesses at those accounts' passwords a count of their own. The application keeps it when its member
// logs out.
inline constexpr const char* kDeviceCookie = "cw_device";
// The phone the request names by that cookie, when it sends a well-formed one.
std::optional<std::string> requestingPhone(const RequestContext& ctx);
// The request comes from a phone that signed in to this account lately: its cookie is one the server
// gave at a sign-in to it (made up, or another account's, it names no phone of hers).
bool fromPhoneOf(const RequestContext& ctx, int64_t memberId);

// The keys a password for this account is counted under, from this client address and phone at this
// time: from a phone that signed in to the account lately, that phone's own count alone; otherwise the
// account from that address and, unless the member signed in from that network lately, the account
// from every address. Guesses spread over many addresses slow her nowhere she has signed in from, and
// nobody's guesses slow her on a phone she signed in on.
std::vector<ThrottleKey> passwordKeys(Connection& db, int64_t memberId, const std::string& client,
                                      const std::optional<std::string>& phone, int64_t now);
// The member signed in (a sign-in, a sign-up) from the request's network and phone: both are hers for
// a while, and the phone is named by its cookie with the reply (the one it sent, or a new one). Runs
// in the caller's transaction.
void signedInFrom(RequestContext& ctx, int64_t memberId);

// The counts of attempts under their keys, as `Attempt` (below) keeps them: counted in memory at
// once, before the attempt is judged, so that attempts sent together cannot all pass the count; and
// written to the database (the table `throttles`) with the pool's gathered writes, so that a flood of
// wrong guesses takes a write turn now and then instead of one each, and no request waits for the
// write of its count. A count is read from the database only while no write of it waits and no
// attempt counted in it is still unsettled; until then, memory holds the latest. Safe to call from any
// thread.
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
    // Settles an attempt counted so: kept, it stays a failure; taken back, each key loses that one
    // count, and its last failure is again the one before when nothing was counted since; the first
    // key forgets its failures altogether when `forgetFirst`.
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

// One attempt at a guess (a password, an invitation or e-mail code, a record number), counted as a
// failure under each of its keys when it is made (429, counting nothing, when a key must still wait),
// and settled exactly once: kept as a failure (a wrong guess), or taken back (a right one, or one
// refused before it was judged). Whatever the request meets after that (a refusal for something
// else, an error) changes nothing of the counts, and one that nobody settled is kept, as the guess it
// may have been. Taking back undoes this attempt's own count and no other, so that right guesses sent
// between wrong ones forgive none of them, and leave the wait where the wrong ones left it.
class Attempt {
public:
    Attempt(RequestContext& ctx, std::vector<ThrottleKey> keys);
    ~Attempt();
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;

    // The guess was wrong: it stays counted.
    void keep();
    // The guess was right: its own count is taken back under every key, and when `forgetFirst` the
    // first key (a password's account from this phone or address) forgets its failures altogether.
    // A count taken back to nothing leaves no row.
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
// number), and how long it counts. A proof made while signed out belongs to the application that
// gave it, named by the cookie the reply sets (a value the server issued; any other is replaced), until
// an account takes it over; one made while signed in belongs to that member alone. Never to a network
// address, which a hospital's Wi-Fi shares among many families, and never to whoever else signs in
// on the same phone: an invitation's proof serves only the account with the invited address, a
// look-up only the account that made it or the one its application then makes.
constexpr int64_t kProofSeconds = 3600;
// The cookie that names the application; it lives as long as a proof does.
inline constexpr const char* kClientCookie = "cw_client";
enum class Proof {
    Invitation, // subject: the invited address; object: the invitation whose code was given back
    Lookup,     // object: a baby looked up by record number
};

// Whose proofs a request may use: the signed-in member's, and its application's (by the cookie it
// carries, when the server issued it and it has not lapsed). A signed-in member uses the
// application's proofs only of invitations to her own address.
struct ProofHolders {
    std::optional<std::string> client;
    std::optional<int64_t> member;
};
ProofHolders proofHolders(const RequestContext& ctx, std::optional<int64_t> member);

// The application a request comes from, by its cookie; one that sent none (or one the server never
// issued) is named now and gets its cookie with the reply, so that what it does next is counted as its
// own. A new one is named at once but issued (its cookie set, its row written) only by `issue`, so that
// a request refused before then leaves nothing behind. It takes one of its network's allowance of new
// applications (refused, 429, when none is left; or, where the request can go on without, named not
// at all), unless it is named for what the request proved: then it is counted by that (an
// invitation, a baby), so that no neighbour's requests keep a right code or record number out.
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
// The request's application proved within the hour what an account made for `email` naming
// `babies` (by id) would take up: the code of an open invitation to that address, or the record
// number of a named baby that has no family yet. A sign-up so proven is a new family's or an
// invitee's, and the allowance its address has for sign-ups that prove nothing does not count it.
bool signUpProven(RequestContext& ctx, const std::string& email, const std::vector<int64_t>& babies);
// The request's application proved within the hour the code of an open invitation to `email`.
bool invitationToAddressProven(RequestContext& ctx, const std::string& email);
bool babyLookedUp(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now);
// The holders proved an open invitation from a parent of the baby, to an address that has no account
// yet (whoever typed the code of an address with an account learns nothing of the family).
bool invitedByBabysFamily(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now);

} // namespace cw::server
