#pragma once

#include <array>
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
//    take no more than one group's share from the families. Within it, each neighbourhood (IPv4 /24,
//    IPv6 /48 of the /64) has an equal share, and within that each member: an address, or an account
//    or phone that proved no family. A crowd of one neighbourhood, however many its addresses or
//    accounts, has one neighbourhood's share; the others' neighbourhoods are not behind it.
//  - The server's own work ("checkpoints", "gathered writes"): a group of its own.
struct Claimant {
    std::string group;
    std::string neighbourhood; // empty outside the unproven
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
// cores, the decoding places, the write turn). A tree: the place, its groups, within the unproven
// their neighbourhoods, and the members; every weight 1. A member's turns wait first come, first
// served behind one another. At each node of the tree, for its children:
//  - ask: a child that had no turn waiting starts at max(the node's virtual time, its own finish).
//  - next: from the place down, the child with the smallest start (ties: the one whose waiting turn
//    asked first); the member reached gives its first turn the place. Each node's virtual time
//    becomes the start of its child on that path; each finish moves on by the least turn now (the
//    cost is known only as the turn ends), and a child that still has turns waiting starts again at
//    its new finish. A child that came with its turns over (its start was the virtual time) moves
//    that virtual time on by what its turn holds, shared among those waiting beside it and one more,
//    as GPS's virtual time moves, as far as the first start waiting beyond it, so that a stream of
//    claimants each asking once keeps no one waiting for ever.
//  - end: the turn held the place `held`; what it held beyond the least turn is added to the finish
//    of each node on its path (and to their starts, if they wait, as max(start, finish)).
//  - A child with nothing waiting or held whose finish the virtual time has reached is forgotten (it
//    would start at the virtual time anyway); when the place is idle, all is.
// So a claimant whose turns are over waits behind about one turn of each sibling that keeps the
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
    // The place, a group, a neighbourhood or a member: where its waiting turns start, where its turns
    // end, its turns waiting (by number, so first come, first served) and held; and of its children,
    // their virtual time, those waiting by start and first waiting turn, those idle by finish.
    struct Node {
        std::string name;
        Duration start{}, finish{};
        std::set<Turn> waiting;
        size_t held = 0;
        // Its waiting turns started at its parent's virtual time, its turns over when it asked.
        bool cameOver = false;
        Duration virtualTime{};
        std::unordered_map<std::string, Node> children;
        std::set<std::tuple<Duration, Turn, Node*>> ready;
        std::set<std::pair<Duration, Node*>> resting;
        bool idle() const { return waiting.empty() && held == 0; }
        size_t leaves() const;
    };
    static constexpr size_t kLevels = 3;
    struct Owner {
        // The nodes below the place down to its member, and whether each came with its turns over.
        std::array<Node*, kLevels> path{};
        std::array<bool, kLevels> cameOver{};
        size_t levels = 0;
        bool placed = false;
        Node& parentOf(size_t level, Node& place) const { return level == 0 ? place : *path[level - 1]; }
    };
    static std::tuple<Duration, Turn, Node*> keyOf(Node& node) {
        return {node.start, *node.waiting.begin(), &node};
    }
    // Puts a waiting child back in its parent's ready set after `change` moved its start or first turn.
    template <class Change> static void rekey(Node& parent, Node& child, Change&& change);
    // Forgets the idle children of `node` its virtual time has reached.
    static void forgetReached(Node& node);
    // After a turn left or ended: rests or forgets each node of its path as its turns are over.
    void settle(const Owner& owner);
    // A turn of a child that came over held the place `held`: it moves `node`'s virtual time on by
    // that shared among those waiting and one more, as far as the first start waiting beyond it.
    static void moveOn(Node& node, Duration held);

    const Duration leastTurn_;
    Turn turns_ = 0;
    size_t waiting_ = 0, heldTurns_ = 0;
    Node place_;
    std::unordered_map<Turn, Owner> byTurn_;
};

} // namespace cw::server
