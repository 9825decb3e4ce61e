#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
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

} // namespace cw::server
