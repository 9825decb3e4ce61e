#include "server/Guards.h"

#include "server/Auth.h"
#include "server/Http.h"
#include "server/Quotas.h"
#include "server/Server.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

namespace cw::server {

namespace throttle {
// Waits are minutes at most, so that someone else's guessing cannot keep an owner out for long. The
// count of an account from every address is generous, since a stranger's guesses from one address
// must not fill it, and a network's only catches what no ward of phones mistypes in an hour.
//                                   scope                    free  first  ceiling  forgotten after
const ThrottlePolicy kPassword = {"password", 5, 1, 300, 3600};
const ThrottlePolicy kPasswordAccount = {"password-account", 100, 1, 300, 3600};
const ThrottlePolicy kPasswordPhone = {"password-phone", 5, 1, 300, 3600};
const ThrottlePolicy kSignInClient = {"signin-client", 100, 1, 600, 3600};
const ThrottlePolicy kInvitationClient = {"invitation-client", 100, 2, 600, 3600};
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

// Seconds a key with these failures, the last at `last`, must still wait; 0 when it may try now.
int64_t waitAfter(const ThrottlePolicy& policy, int64_t failures, int64_t last, int64_t now) {
    if (failures <= 0 || now - last >= policy.forgetAfter) return 0;
    return std::max<int64_t>(0, last + delayAfter(policy, failures) - now);
}

std::string countName(const ThrottleKey& key) {
    return std::string(key.policy->scope) + '\n' + key.key;
}

// How long a network or phone the member signed in from stays hers, and how many of each she keeps:
// more than the places (home, the ward, work) and phones she signs in from in a season.
constexpr int64_t kSignInNetworkSeconds = 90LL * 24 * 3600;
constexpr int64_t kSignInNetworksPerMember = 20;
constexpr int64_t kSignInPhonesPerMember = 20;

// The member signed in now from `value` (a network or a phone, by `column`), kept among her latest
// `most` of them in `table`.
void rememberSignIn(Connection& db, const std::string& table, const std::string& column, int64_t memberId,
                    const std::string& value, int64_t most, int64_t now) {
    db.prepare("INSERT INTO " + table + " (member_id, " + column + ", signed_in_at) VALUES (?1, ?2, ?3) " +
               "ON CONFLICT(member_id, " + column + ") DO UPDATE SET signed_in_at = ?3")
        .with(memberId, value, now)
        .run();
    db.prepare("DELETE FROM " + table + " WHERE member_id = ?1 AND " + column + " NOT IN (SELECT " + column +
               " FROM " + table + " WHERE member_id = ?1 ORDER BY signed_in_at DESC LIMIT ?2)")
        .with(memberId, most)
        .run();
    removeExpired(db, table, "signed_in_at", now - kSignInNetworkSeconds);
}

// The member signed in from `value` (by `column` of `table`) within the time it stays hers.
bool signedInLately(Connection& db, const std::string& table, const std::string& column, int64_t memberId,
                    const std::string& value, int64_t now) {
    auto st = db.prepare("SELECT 1 FROM " + table + " WHERE member_id = ? AND " + column +
                         " = ? AND signed_in_at >= ?");
    st.with(memberId, value, now - kSignInNetworkSeconds);
    return st.step();
}

bool phoneSignedIn(Connection& db, int64_t memberId, const std::optional<std::string>& phone, int64_t now) {
    return phone && signedInLately(db, "signin_phones", "phone", memberId, *phone, now);
}

// 128 random bits in lower-case hexadecimal, as the server makes them.
bool wellFormedName(std::string_view value) {
    return value.size() == 32 && value.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The name a phone or an application is known by at the server's shared places: the first half of
// its cookie, enough to tell it from others and too little to stand for it.
Claimant knownBy(const char* kind, const std::string& cookie) {
    Claimant claimant;
    claimant.member = std::string(kind) + ":" + cookie.substr(0, 16);
    return claimant;
}

} // namespace

std::optional<std::string> cookieIn(std::string_view cookies, std::string_view name) {
    while (!cookies.empty()) {
        size_t end = cookies.find(';');
        std::string_view pair = cookies.substr(0, end);
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
        size_t first = pair.find_first_not_of(' ');
        if (first == std::string_view::npos) continue;
        pair.remove_prefix(first);
        size_t equals = pair.find('=');
        if (equals == std::string_view::npos || pair.substr(0, equals) != name) continue;
        std::string_view value = pair.substr(equals + 1);
        while (!value.empty() && value.back() == ' ')
            value.remove_suffix(1);
        if (wellFormedName(value)) return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> requestingPhone(const RequestContext& ctx) {
    for (size_t i = 0, n = ctx.request.get_header_value_count("Cookie"); i < n; ++i)
        if (auto phone = cookieIn(ctx.request.get_header_value("Cookie", i), kDeviceCookie)) return phone;
    return std::nullopt;
}

bool fromPhoneOf(const RequestContext& ctx, int64_t memberId) {
    return phoneSignedIn(ctx.db, memberId, requestingPhone(ctx), ctx.now());
}

std::vector<ThrottleKey> passwordKeys(Connection& db, int64_t memberId, const std::string& client,
                                      const std::optional<std::string>& phone, int64_t now) {
    const std::string account = std::to_string(memberId);
    // A name the server never gave this account's sign-ins (made up, or another account's phone) is no
    // phone of hers: its guesses are counted as anybody's.
    if (phoneSignedIn(db, memberId, phone, now)) return {{&throttle::kPasswordPhone, account + " " + *phone}};
    std::vector<ThrottleKey> keys = {{&throttle::kPassword, account + " " + client}};
    if (!signedInLately(db, "signin_networks", "network", memberId, client, now))
        keys.push_back({&throttle::kPasswordAccount, account + " " + std::to_string(now / 3600)});
    return keys;
}

void signedInFrom(RequestContext& ctx, int64_t memberId) {
    Connection& db = ctx.db;
    const std::string& client = ctx.client();
    const int64_t now = ctx.now();
    rememberSignIn(db, "signin_networks", "network", memberId, client, kSignInNetworksPerMember, now);
    const std::string phone = requestingPhone(ctx).value_or(randomHex(16));
    rememberSignIn(db, "signin_phones", "phone", memberId, phone, kSignInPhonesPerMember, now);
    // From now on its requests take their turns as this phone's, in her family's group where she proved
    // one, sharing none with whoever else is on the ward's network; counted among the member's phones,
    // so that an account signing in on new phones over and over forgets only its own.
    Claimant claimant = knownBy("phone", phone);
    claimant.group = turnGroupOf(db, memberId);
    ctx.state.claimants.learn(phone, claimant, std::chrono::steady_clock::time_point::max(),
                              "phones of member " + std::to_string(memberId));
    ctx.response.set_header("Set-Cookie",
                            std::string(kDeviceCookie) + "=" + phone + "; Path=/m/api; Max-Age=" +
                                std::to_string(kSignInNetworkSeconds) + "; HttpOnly; SameSite=Strict");
}

GuessCounts::Count& GuessCounts::held(Connection& db, const ThrottleKey& key) {
    auto [found, added] = counts_.try_emplace(countName(key));
    if (added) {
        // No write of it waits, so the database holds the latest.
        auto st = db.prepare("SELECT failures, last_failure FROM throttles WHERE scope = ? AND key = ?");
        st.with(key.policy->scope, key.key);
        if (st.step()) {
            found->second.failures = st.integer(0);
            found->second.last = st.integer(1);
        }
    }
    return found->second;
}

void GuessCounts::release(const std::vector<ThrottleKey>& keys) {
    for (const auto& key : keys)
        if (auto found = counts_.find(countName(key));
            found != counts_.end() && found->second.writes == 0 && found->second.open == 0)
            counts_.erase(found);
}

std::vector<GuessCounts::Counted> GuessCounts::count(Connection& db, ConnectionPool& pool,
                                                     const std::vector<ThrottleKey>& keys, int64_t now) {
    std::vector<Counted> counted;
    {
        std::lock_guard lock(mutex_);
        int64_t wait = 0;
        for (const auto& key : keys) {
            const Count& held = this->held(db, key);
            wait = std::max(wait, waitAfter(*key.policy, held.failures, held.last, now));
        }
        if (wait > 0) {
            release(keys);
            throw HttpError::tooManyRequests("Too many attempts.", wait);
        }
        for (const auto& key : keys) {
            Count& held = counts_.at(countName(key));
            counted.push_back({held.last, ++held.serial});
            held.failures = now - held.last >= key.policy->forgetAfter ? 1 : held.failures + 1;
            held.last = now;
            ++held.writes;
            ++held.open;
        }
    }
    try {
        write(pool, keys, now);
    } catch (...) {
        settle(pool, keys, counted, Settled::Kept, now);
        throw;
    }
    return counted;
}

void GuessCounts::settle(ConnectionPool& pool, const std::vector<ThrottleKey>& keys,
                         const std::vector<Counted>& counted, Settled settled, int64_t now) {
    std::vector<ThrottleKey> changed;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < keys.size(); ++i) {
            // Held in memory since the attempt was counted.
            Count& held = counts_.at(countName(keys[i]));
            --held.open;
            if (settled == Settled::Kept || held.failures <= 0) continue;
            const bool forget = i == 0 && settled == Settled::TakenBackForgettingFirst;
            held.failures = held.failures <= 1 || forget ? 0 : held.failures - 1;
            // Nothing was counted since: the wait is measured again from the failure before, as if
            // this attempt had never been made. Otherwise the later attempts' time stands.
            if (held.serial == counted[i].serial) held.last = counted[i].lastBefore;
            ++held.writes;
            changed.push_back(keys[i]);
        }
        release(keys);
    }
    if (!changed.empty()) write(pool, changed, now);
}

void GuessCounts::write(ConnectionPool& pool, const std::vector<ThrottleKey>& keys, int64_t now) {
    auto written = [this, keys] {
        std::lock_guard lock(mutex_);
        for (const auto& key : keys)
            if (auto found = counts_.find(countName(key)); found != counts_.end()) --found->second.writes;
        release(keys);
    };
    struct Unwritten {
        std::function<void()> give;
        ~Unwritten() {
            if (give) give();
        }
    } unwritten{written}; // a count whose write finds no room is given up with its request (429)
    pool.gather(
        [this, keys, now](Connection& db) {
            for (const auto& key : keys) {
                Count latest;
                {
                    std::lock_guard lock(mutex_);
                    latest = counts_.at(countName(key));
                }
                // A count taken back to nothing leaves no row: attempts that were no guesses add none.
                if (latest.failures <= 0) {
                    db.prepare("DELETE FROM throttles WHERE scope = ? AND key = ?")
                        .with(key.policy->scope, key.key)
                        .run();
                    continue;
                }
                db.prepare("INSERT INTO throttles (scope, key, failures, last_failure, forget_at) "
                           "VALUES (?1, ?2, ?3, ?4, ?4 + ?5) ON CONFLICT(scope, key) DO UPDATE SET "
                           "failures = ?3, last_failure = ?4, forget_at = ?4 + ?5")
                    .with(key.policy->scope, key.key, latest.failures, latest.last, key.policy->forgetAfter)
                    .run();
            }
            // Counts forgotten are of no further use.
            removeExpired(db, "throttles", "forget_at", now + 1);
        },
        written);
    unwritten.give = nullptr;
}

Attempt::Attempt(RequestContext& ctx, std::vector<ThrottleKey> keys)
    : ctx_(ctx), keys_(std::move(keys)),
      counted_(ctx.state.guesses.count(ctx.db, *ctx.state.pool, keys_, ctx.now())) {}

Attempt::~Attempt() {
    // Keeping writes nothing (the count's write was gathered as it was counted), so it cannot throw.
    if (!settled_)
        ctx_.state.guesses.settle(*ctx_.state.pool, keys_, counted_, GuessCounts::Settled::Kept, ctx_.now());
}

void Attempt::settle(GuessCounts::Settled settled) {
    if (settled_) return;
    settled_ = true;
    ctx_.state.guesses.settle(*ctx_.state.pool, keys_, counted_, settled, ctx_.now());
}

void Attempt::keep() {
    settle(GuessCounts::Settled::Kept);
}

void Attempt::succeeded(bool forgetFirst) {
    settle(forgetFirst ? GuessCounts::Settled::TakenBackForgettingFirst : GuessCounts::Settled::TakenBack);
}

void Attempt::notJudged() {
    settle(GuessCounts::Settled::TakenBack);
}

namespace {

// The application's own row among the proofs: the server issued its cookie and renewed it then.
constexpr const char* kIssuedKind = "application";

const char* kindName(Proof kind) {
    return kind == Proof::Invitation ? "invitation" : "lookup";
}

// The application this reply names already, among the cookies it sets (a phone's may come first).
std::optional<std::string> clientSetInReply(const RequestContext& ctx) {
    for (size_t i = 0, n = ctx.response.get_header_value_count("Set-Cookie"); i < n; ++i)
        if (auto named = cookieIn(ctx.response.get_header_value("Set-Cookie", i), kClientCookie))
            return named;
    return std::nullopt;
}

std::string clientHolder(const std::string& client) {
    return "client:" + client;
}

std::string memberHolder(int64_t member) {
    return "member:" + std::to_string(member);
}

// The application the request names, when the server issued that cookie within the hour: no one
// chooses the name under which proofs are kept.
std::optional<std::string> issuedClient(const RequestContext& ctx) {
    for (size_t i = 0, n = ctx.request.get_header_value_count("Cookie"); i < n; ++i) {
        auto client = cookieIn(ctx.request.get_header_value("Cookie", i), kClientCookie);
        if (!client) continue;
        auto st = ctx.db.prepare("SELECT 1 FROM proofs WHERE kind = ? AND holder = ? AND subject = '' "
                                 "AND object = 0 AND proven_at >= ?");
        st.with(kIssuedKind, clientHolder(*client), ctx.now() - kProofSeconds);
        if (st.step()) {
            ctx.state.claimants.learn(*client, knownBy("application", *client));
            return client;
        }
    }
    return std::nullopt;
}

void insertProof(Connection& db, const char* kind, const std::string& holder, const std::string& subject,
                 int64_t object, int64_t now) {
    db.prepare("INSERT INTO proofs (kind, holder, subject, object, proven_at) VALUES (?1, ?2, ?3, ?4, ?5) "
               "ON CONFLICT(kind, holder, subject, object) DO UPDATE SET proven_at = ?5")
        .with(kind, holder, subject, object, now)
        .run();
    removeExpired(db, "proofs", "proven_at", now - kProofSeconds);
}

// Binds the two holders to parameters `first` and `first + 1` (NULL, matching nothing, for one it
// lacks). Unless `clientForMember`, a phone's proofs from before she signed in serve no member.
void bindHolders(Statement& st, int first, const ProofHolders& holders, bool clientForMember = false) {
    const bool client = holders.client && (!holders.member || clientForMember);
    st.bind(first, client ? std::optional(clientHolder(*holders.client)) : std::nullopt);
    st.bind(first + 1, holders.member ? std::optional(memberHolder(*holders.member)) : std::nullopt);
}

// The application this reply names already, else the one the request names when the server issued it.
std::optional<std::string> knownClient(const RequestContext& ctx) {
    if (auto named = clientSetInReply(ctx)) return named;
    return issuedClient(ctx);
}

} // namespace

// The application a proof is recorded for: the one this reply already named, else the one the
// request names when the server issued it, else a new one; its cookie goes with the reply, once.
RequestingApplication::RequestingApplication(RequestContext& ctx, NewOne newOne) : ctx_(ctx) {
    if (auto known = knownClient(ctx)) {
        name_ = *known;
        return;
    }
    // Each new application is a row for the hour, and the rows of what it proves: a client that never
    // keeps its cookie would otherwise add them with every request.
    try {
        allowance_ = std::make_unique<TakenAllowance>(
            ctx.state,
            std::vector<RateKey>{
                {"applications", ctx.client(), ctx.state.options.rates.applicationsByAddress}},
            "Too many requests came from this network.");
    } catch (const HttpError&) {
        if (newOne == NewOne::Counted) throw;
        return;
    }
    name_ = randomHex(16);
}

RequestingApplication::RequestingApplication(RequestContext& ctx, Proof kind, int64_t object) : ctx_(ctx) {
    if (auto known = knownClient(ctx)) {
        name_ = *known;
        return;
    }
    // What the request proved bounds the rows it leaves: whoever sends a right code again and again
    // without keeping the cookie spends that proof's allowance, not the network's other families'.
    allowance_ = std::make_unique<TakenAllowance>(
        ctx.state,
        std::vector<RateKey>{{"proven-applications",
                              std::string(kindName(kind)) + " " + std::to_string(object) + " " + ctx.client(),
                              ctx.state.options.rates.applicationsByProof}},
        "Too many new phones proved this from this network.");
    name_ = randomHex(16);
}

RequestingApplication::~RequestingApplication() = default;

void RequestingApplication::issue() {
    if (name_.empty() || clientSetInReply(ctx_)) return;
    insertProof(ctx_.db, kIssuedKind, clientHolder(name_), "", 0, ctx_.now());
    ctx_.state.claimants.learn(name_, knownBy("application", name_));
    ctx_.response.set_header("Set-Cookie", std::string(kClientCookie) + "=" + name_ +
                                               "; Path=/m/api; Max-Age=" + std::to_string(kProofSeconds) +
                                               "; HttpOnly; SameSite=Strict");
    if (allowance_) {
        allowance_->keep("applications");
        allowance_->keep("proven-applications");
    }
}

ProofHolders proofHolders(const RequestContext& ctx, std::optional<int64_t> member) {
    return {issuedClient(ctx), member};
}

void recordProof(RequestContext& ctx, Proof kind, const std::string& subject, int64_t object) {
    std::string holder;
    if (ctx.memberId) {
        holder = memberHolder(*ctx.memberId);
    } else {
        RequestingApplication application(ctx, kind, object);
        application.issue();
        holder = clientHolder(application.name());
    }
    insertProof(ctx.db, kindName(kind), holder, subject, object, ctx.now());
}

void handProofsTo(RequestContext& ctx, int64_t memberId, const std::string& email, AccountArrival arrival) {
    auto client = issuedClient(ctx);
    if (!client) return;
    // The proofs the account takes: invitations to its own address and, for the account this
    // application makes, its look-ups.
    const char* const taken = "holder = ?1 AND proven_at >= ?3 AND ((kind = 'invitation' AND subject = ?4) "
                              "OR (kind = 'lookup' AND ?5))";
    ctx.db
        .prepare(std::string("INSERT INTO proofs (kind, holder, subject, object, proven_at) "
                             "SELECT kind, ?2, subject, object, proven_at FROM proofs WHERE ") +
                 taken +
                 " ON CONFLICT(kind, holder, subject, object) DO UPDATE SET "
                 "proven_at = MAX(proven_at, excluded.proven_at)")
        .with(clientHolder(*client), memberHolder(memberId), ctx.now() - kProofSeconds, email,
              int64_t{arrival == AccountArrival::SignUp})
        .run();
    ctx.db.prepare(std::string("DELETE FROM proofs WHERE ") + taken)
        .with(clientHolder(*client), memberHolder(memberId), ctx.now() - kProofSeconds, email,
              int64_t{arrival == AccountArrival::SignUp})
        .run();
}

bool invitationProven(Connection& db, const ProofHolders& holders, int64_t invitationId, int64_t now) {
    // The application's proof of an invitation serves the member it invited, signed in there: the
    // account with the invited address, and no other.
    auto st =
        db.prepare("SELECT 1 FROM proofs p JOIN invitations i ON i.id = p.object AND i.email = p.subject "
                   "WHERE p.kind = 'invitation' AND p.holder IN (?1, ?2) AND p.object = ?3 "
                   "AND p.proven_at >= ?4 "
                   "AND (?5 IS NULL OR i.email = (SELECT email FROM members WHERE id = ?5))");
    bindHolders(st, 1, holders, true);
    st.bind(3, invitationId).bind(4, now - kProofSeconds).bind(5, holders.member);
    return st.step();
}

bool invitationToAddressProven(RequestContext& ctx, const std::string& email) {
    const ProofHolders holders = proofHolders(ctx, std::nullopt);
    if (!holders.client) return false;
    std::vector<int64_t> open;
    {
        auto st = ctx.db.prepare("SELECT id FROM invitations WHERE email = ? AND accepted_member_id IS NULL");
        st.with(email);
        while (st.step())
            open.push_back(st.integer(0));
    }
    return std::any_of(open.begin(), open.end(), [&](int64_t invitation) {
        return invitationProven(ctx.db, holders, invitation, ctx.now());
    });
}

bool signUpProven(RequestContext& ctx, const std::string& email, const std::vector<int64_t>& babies) {
    const ProofHolders holders = proofHolders(ctx, std::nullopt);
    if (!holders.client) return false;
    for (int64_t baby : babies)
        if (babyLookedUp(ctx.db, holders, baby, ctx.now()) &&
            !ctx.db.queryInteger("SELECT 1 FROM member_babies WHERE baby_id = ? LIMIT 1", baby))
            return true;
    return invitationToAddressProven(ctx, email);
}

bool babyLookedUp(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now) {
    auto st = db.prepare("SELECT 1 FROM proofs WHERE kind = 'lookup' AND holder IN (?1, ?2) AND object = ?3 "
                         "AND proven_at >= ?4");
    bindHolders(st, 1, holders);
    st.bind(3, babyId).bind(4, now - kProofSeconds);
    return st.step();
}

bool invitedByBabysFamily(Connection& db, const ProofHolders& holders, int64_t babyId, int64_t now) {
    auto st = db.prepare(
        "SELECT 1 FROM proofs p JOIN invitations i ON i.id = p.object AND i.email = p.subject "
        "AND i.accepted_member_id IS NULL "
        "JOIN member_babies mb ON mb.member_id = i.inviter_id AND mb.parent = 1 "
        "WHERE p.kind = 'invitation' AND p.holder IN (?1, ?2) AND mb.baby_id = ?3 AND p.proven_at >= ?4 "
        "AND NOT EXISTS (SELECT 1 FROM members m WHERE m.email = i.email)");
    bindHolders(st, 1, holders);
    st.bind(3, babyId).bind(4, now - kProofSeconds);
    return st.step();
}

} // namespace cw::server
