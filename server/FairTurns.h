#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace cw::server {

// Whom a turn at a shared place is taken for: a member of a group. Groups share the place equally,
// and within a group its members divide the group's share equally, so that a crowd of many senders
// in one group has one group's share, however many they are.
//  - A member known by her access token, or a phone by its proven cookie, whose member proved her
//    family by its baby: group = that family; member = "member:N" or the phone's name.
//  - Every other sender: group = `kUnproven`, so that senders who proved nothing, however many,
//    take no more than one group's share from the families. Within it, a sender known only by its
//    address is a member by that address; one known by a token or cookie of an account that proved
//    no family, by the neighbourhood it sends from (IPv4 /24, IPv6 /48 of the /64), so that a
//    stranger's many accounts there have one member's share.
//  - The server's own work ("checkpoints", "gathered writes"): a group of its own.
struct Claimant {
    std::string group;
    std::string member;

    static constexpr const char* kUnproven = "senders who proved no family";

    Claimant() = default;
    // An address ("192.0.2.7", "2001:db8:1:2::/64") among the unproven; any other name is a group
    // of its own.
    Claimant(std::string address); // NOLINT: an address is the usual claimant
    Claimant(const char* address) : Claimant(std::string(address)) {} // NOLINT
    // A sender known by a name of the server's, in `group` (a group of its own when empty).
    static Claimant known(std::string name, std::string group = {});
    bool empty() const { return group.empty() && member.empty(); }
    bool operator==(const Claimant&) const = default;
    // "192.0.2.0/24", "2001:db8:1::/48"; empty for a name that is no address.
    static std::string neighbourhoodOf(const std::string& network);
};

// Hierarchical start-time fair queuing over one place of several servers (the workers, the hash
// cores, the decoding places, the write turn). Two levels: groups, and members within a group;
// every weight 1. A member's turns wait first come, first served behind one another.
//  - ask: when the member had no turn waiting, its start = max(group's virtual time, member's
//    finish); likewise, when the group had no turn waiting, the group's start = max(place's virtual
//    time, group's finish).
//  - next: the group with the smallest start (ties: the one whose waiting turn asked first), within
//    it the member with the smallest start; its first turn is given the place. The place's virtual
//    time becomes that group's start, the group's virtual time that member's start. Finishes move on
//    by the least turn now (the cost is known only as the turn ends); a group or member that still
//    has turns waiting starts again at its new finish. A group or member that came with its turns
//    over (its start was its parent's virtual time) moves that virtual time on by what its turn
//    holds, shared among those waiting beside it and one more, as GPS's virtual time moves, as far
//    as the first start waiting beyond it, so that a stream of claimants each asking once keeps no
//    one waiting for ever.
//  - end: the turn held the place `held`; what it held beyond the least turn is added to its
//    member's and group's finish (and to their starts, if they wait, as max(start, finish)).
//  - A group or member with nothing waiting or held whose finish the virtual time has reached is
//    forgotten (it would start at the virtual time anyway); when the place is idle, all is.
// So a claimant whose turns are over waits behind about one turn of each group that keeps the
// place busy, and past use costs nothing once the others have had as much. Smallest start by
// ordered sets, never a scan. Not safe for use from several threads at once: its owner locks.
class FairTurns {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = Clock::duration;
    using Turn = uint64_t; // a turn's number, never 0, never reused

    explicit FairTurns(Duration leastTurn);

    Turn ask(const Claimant& claimant);
    // The waiting turn that goes first, now given the place; none when no turn waits.
    std::optional<Turn> next();
    // A waiting turn leaves without having had the place.
    void withdraw(Turn turn);
    // A turn given the place (by `next`) has ended, having held it `held`.
    void end(Turn turn, Duration held);

    size_t waiting() const;
    // Groups and members remembered (for tests of forgetting).
    size_t groups() const;
    size_t members() const;

private:
    // What a group and a member keep alike: where its waiting turns start, where its turns end, and
    // its turns waiting (by number, so first come, first served) and held.
    struct Account {
        Duration start{}, finish{};
        std::set<Turn> waiting;
        size_t held = 0;
        // Its waiting turns started at its parent's virtual time, its turns over when it asked.
        bool cameOver = false;
        bool idle() const { return waiting.empty() && held == 0; }
    };
    struct Member : Account {
        std::string name;
    };
    struct Group : Account {
        std::string name;
        Duration virtualTime{};
        std::unordered_map<std::string, Member> members;
        // Members waiting, by start and first waiting turn; idle members remembered, by finish.
        std::set<std::tuple<Duration, Turn, Member*>> ready;
        std::set<std::pair<Duration, Member*>> resting;
    };
    struct Owner {
        Group* group;
        Member* member;
        bool placed = false;
        // Its group, its member came to the place with their turns over.
        bool groupCameOver = false, memberCameOver = false;
    };
    // The key of a waiting account in its ready set.
    template <class A> static std::tuple<Duration, Turn, A*> keyOf(A& account) {
        return {account.start, *account.waiting.begin(), &account};
    }
    // Puts a waiting account back in its ready set after `change` moved its start or its first turn.
    template <class A, class Change>
    static void rekey(std::set<std::tuple<Duration, Turn, A*>>& ready, A& account, Change&& change);
    // An account whose turns are over rests until the virtual time reaches its finish; true when it
    // may be forgotten now.
    template <class A>
    static bool rest(std::set<std::pair<Duration, A*>>& resting, A& account, Duration virtualTime);
    // Forgets the resting accounts the virtual time has reached.
    void forgetReached(Group& group);
    void forgetReached();
    void forgetMember(Group& group, Member& member);
    void forgetGroup(Group& group);
    // After a turn left or ended: rests or forgets its member and group as their turns are over.
    void settle(Group& group, Member& member);
    // A turn that came over held the place `held`: it moves `virtualTime` on by that shared among
    // those waiting in `ready` and one more, as far as the first start waiting beyond it, if any.
    template <class A>
    static void moveOn(Duration& virtualTime, const std::set<std::tuple<Duration, Turn, A*>>& ready,
                       Duration held);

    const Duration leastTurn_;
    Turn turns_ = 0;
    size_t waiting_ = 0, heldTurns_ = 0, members_ = 0;
    Duration virtualTime_{};
    std::unordered_map<std::string, Group> groups_;
    std::set<std::tuple<Duration, Turn, Group*>> ready_;
    std::set<std::pair<Duration, Group*>> resting_;
    std::unordered_map<Turn, Owner> byTurn_;
};

// Work that costs the server dearly (a password hash, a picture's decoding, a write to the database)
// is let through a gate a few at a time, so that a crowd of such requests queues instead of taking
// every core, all the memory or the database at once. A request that finds no place within its
// patience is turned away rather than held: its worker is better spent on the requests behind it.
// Each turn is taken for a claimant, and a place that comes free is handed to the waiting turn that
// falls first by fair queuing (FairTurns), so that neither one client's crowd nor a crowd of
// clients keeps another waiting behind all of theirs.
class Gate {
public:
    explicit Gate(std::ptrdiff_t width, FairTurns::Duration leastTurn = std::chrono::milliseconds(10));
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // A turn that has its place: since when, and where it stands in line.
    struct Placed {
        FairTurns::Clock::time_point since;
        FairTurns::Turn turn;
    };
    // A place held for the life of the turn; false when none came free within the patience.
    class Turn {
    public:
        Turn(Gate& gate, std::chrono::milliseconds patience, Claimant claimant = {});
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        explicit operator bool() const { return placed_.has_value(); }

    private:
        Gate& gate_;
        std::optional<Placed> placed_;
    };

    // Turns waiting for a place at the moment.
    size_t waiting();

private:
    // The turn placed; none when no place came within the patience.
    std::optional<Placed> take(const Claimant& claimant, std::chrono::milliseconds patience);
    void give(const Placed& placed);
    // Hands the free places to the waiting turns that go first (mutex_ held).
    void handOut();

    std::mutex mutex_;
    std::condition_variable placed_;
    std::ptrdiff_t free_;
    FairTurns turns_;
    // Turns asked and not yet taken by their waiters: when each was given its place, if it was.
    std::unordered_map<FairTurns::Turn, std::optional<FairTurns::Clock::time_point>> waiters_;
};

// What the calling thread has waited at gates since it last asked, and from now on nothing: a worker
// counts its request's turn by the time it held the worker, less what it waited for a place (a hash,
// a decoding, a write) whose gate keeps its own turns.
std::chrono::steady_clock::duration takeTimeWaitedAtGates();

// The senders the server has seen prove who they are, by the secret each request of theirs carries
// (an access token, a phone's or an application's cookie), so that a request is known as closely
// as it allows before it is read: a secret the server never saw proven (made up) names nobody, and
// its request is known by its address. Secrets are kept as keyed hashes, never as themselves; at
// most `most`, the least recently seen forgotten first, and at most `mostOfOne` of one owner (the
// sender, unless the learner names another: a session for its tokens, a member for the phones she
// signed in on), its own least recently seen forgotten first, so that a session refreshing its
// tokens over and over, or an account signing in on new phones, forgets only its own. A secret that lapses
// (an access token past its hour) names nobody after. A forgotten secret is learnt again when a request
// proves it. Safe to call from any thread.
class KnownClaimants {
public:
    explicit KnownClaimants(size_t most = 100'000, size_t mostOfOne = 16);
    // `secret` was shown to be `claimant`'s, until `until` when it lapses; it counts among the
    // secrets of `owner` (when empty, the claimant's own).
    void learn(std::string_view secret, const Claimant& claimant,
               std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max(),
               const std::string& owner = {});
    // The claimant `secret` was shown to be, when it was.
    std::optional<Claimant> of(std::string_view secret);

private:
    uint64_t keyOf(std::string_view secret) const;
    // Caller holds `mutex_`.
    void forget(uint64_t key);

    struct Known {
        Claimant claimant;
        std::chrono::steady_clock::time_point until;
        std::string owner;
        std::list<uint64_t>::iterator byUse;
        std::list<uint64_t>::iterator ofOwner;
    };
    const size_t most_;
    const size_t mostOfOne_;
    unsigned char hashKey_[16];
    std::mutex mutex_;
    std::list<uint64_t> byUse_; // least recently seen first
    // Each owner's secrets, least recently seen first.
    std::unordered_map<std::string, std::list<uint64_t>> byOwner_;
    std::unordered_map<uint64_t, Known> known_;
};

} // namespace cw::server
