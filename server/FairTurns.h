#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace cw::server {

// Whom a turn at a shared place is taken for. Turns are shared fairly among groups first, and within
// a group among its members: a request known by who sent it (a member by her access token, a phone by
// its cookie, an application by its cookie) is a group of its own; one known only by its address
// belongs to the address's neighbourhood (an IPv4 /24, an IPv6 /48, what one holder of many addresses
// usually holds them in), so that a crowd spread over the addresses of a neighbourhood shares one
// group's turns, and within it each address has its own.
struct Claimant {
    std::string group;
    std::string member;
    // Whom a sender known by name is counted with, or nothing: the turns of such senders new to a
    // place stand also in their neighbourhood's count. Usually where it sent its request from (the
    // neighbourhood of its address); for a member who proved her place in a family, that family,
    // wherever she sends from.
    std::string neighbourhood;

    Claimant() = default;
    // A network address as the server counts it ("192.0.2.7", "2001:db8:1:2::/64") in its
    // neighbourhood; any other name is a group of its own.
    Claimant(std::string name); // NOLINT: an address is the usual claimant
    Claimant(const char* name) : Claimant(std::string(name)) {} // NOLINT
    // A sender known by a name of the server's ("member:12"): a group of its own, wherever it is.
    static Claimant known(std::string name);
    bool empty() const { return group.empty() && member.empty(); }
    bool operator==(const Claimant&) const = default;
    // Known by its address alone, nothing it proved.
    bool byAddress() const { return group != member; }

    // The neighbourhood of an address as the server counts it: "192.0.2.0/24", "2001:db8:1::/48";
    // empty for a name that is no address.
    static std::string neighbourhoodOf(const std::string& network);
};

// Start-time fair queuing of the turns at a shared place (the workers, the cores that work out
// password hashes, the places that decode pictures, the database's write turn). Each turn that asks
// is stamped with the place's virtual time; its start is the later of that and the end of its
// claimant's last turn (its finish), and turns go in the order of their starts; among equals the
// one whose claimant had least goes first, then the one that asked first. A turn counts what it
// held its place (at least `leastTurn`, counted as it begins) onto its claimant's finish; a turn
// still held counts what it has held so far, so that a claimant holding places for long waits
// behind one whose turns are over. The virtual time is the start of the latest turn that began, so
// that a claimant whose turns are over goes ahead of every turn of the claimants that have had
// more, one turn behind each at most. A turn that began at the virtual time (its claimant's turns
// were over, by a least turn at least) does not move it on as it begins, so as it ends it moves it
// on by what the place gave each claimant meanwhile: its time shared among the claimants holding or
// awaiting turns, by their weights, as it would go if they all had the place at once, shown a mean
// turn at a time (so that claimants whose turns are over and that ask within one start together,
// the one that had least first). So a stream of claimants each new to the place, each starting at
// the virtual time, passes a waiting turn by a few turns of each claimant busy with the place,
// never for as long as it keeps coming; and a crowd whose turns follow one another by their
// finishes moves it as before, by their starts. So a claimant's past use costs nothing once the
// others have had as much, and nobody goes ahead of a waiting turn by more than one of its own.
// Groups are ordered so first, and within a group its members, by a virtual time of the group's
// own. A kind of work whose places are bounded on their own also stands in a line of its own kind,
// ordered so by a virtual time of its own (`ask`). A sender known only by its address, whose
// neighbourhood the line does not know or whose turns are over, is a newcomer, told from any other
// newcomer by nothing: its turn goes by the place of one group the newcomers share, first come,
// first served among them, which weighs as much as the senders known to the line holding or
// awaiting turns (one at least), so that a crowd whose every request comes from a neighbourhood
// never seen before passes a waiting turn by one turn for each sender the line knows, not by a turn
// each for as long as they keep coming, and has half the place when known senders keep it busy;
// each is counted for its own sender all the same.
//
// A sender known by name is a claimant of its own, but a name costs a holder of many little: one
// who hands his turns from account to account, each new to the place, would start each at the
// virtual time having had least, ahead of every sender that keeps asking, for as long as he went
// on. So the turns of known senders new to the place (their turns over) are also counted by the
// neighbourhood they send from, as one claimant weighing as much as such turns of it held or
// awaited; such a sender's turn starts no earlier than where that count has taken them, less a
// mean turn shared among them, and where that holds it back, first come, first served among them,
// as if it had had as much. So the holder of many accounts has about as many senders as he has
// asking at once, and a ward of families on one address, each new to the place, whose turns
// together come within a mean turn, start at the virtual time, having had least. A sender may name
// another neighbourhood than its network's (`Claimant::neighbourhood`): one it shares with no
// stranger on that network.
//
// Not safe for use from several threads at once: its owner guards it with its own lock.
class FairTurns {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = Clock::duration;

    explicit FairTurns(Duration leastTurn, size_t maxGroups = 100'000);

    // A turn: where it stands in each line it stands in (among every turn at the place, and among its
    // kind's).
    struct Ticket {
        Claimant claimant;
        size_t kind = 0;
        uint64_t order = 0;
        struct InLine {
            // The virtual time of its group's members when it asked. (Where the group's turns start,
            // the group keeps: where its first waiting turn asked.)
            double memberAsked = 0;
            // Its claimant is new to the line: its turn goes by the newcomers' place.
            bool newcomer = false;
            // The turns of the group whose place it goes by, and of its member within its own group,
            // were over when it asked: it starts at their virtual time, and moves it on as it ends.
            bool groupWasOver = false;
            bool memberWasOver = false;
            // A known sender's whose turns were over: counted also in its neighbourhood's count of such.
            bool inNeighbourhood = false;
        };
        std::array<InLine, 2> in{};
    };
    // A turn of a kind of work (`kind`; 0 for the place's usual work). A kind above 0, whose places
    // are bounded on their own (a picture's decoding among the workers), also takes its turns among
    // its own kind, by a virtual time and what each claimant had of that kind: the turns of other
    // kinds its claimants could not have meanwhile (a client's flood of cheap requests while picture
    // posts wait for the picture places) move them not.
    Ticket ask(const Claimant& claimant, size_t kind = 0);
    // The turn leaves the line without having had its place.
    void withdraw(const Ticket& ticket);
    // The turn has its place from `now`.
    void begin(const Ticket& ticket, Clock::time_point now);
    // The turn that began at `began` has ended, counting `held` (what it held its place, less any
    // wait its owner does not count).
    void end(const Ticket& ticket, Clock::time_point began, Duration held);
    // Whether waiting turn `a` goes before waiting turn `b` of the same kind at `now`.
    bool ahead(const Ticket& a, const Ticket& b, Clock::time_point now) const;
    // Of waiting turns of any kinds, the one that goes first at `now` (`ticketOf` gives an item's
    // ticket, or none for one that may not have the place now): each kind's first among its kind,
    // then of those the first among every turn at the place.
    template <class It, class TicketOf>
    It first(It begin, It end, TicketOf&& ticketOf, Clock::time_point now) const {
        std::vector<It> firsts(lines_.size(), end);
        for (It it = begin; it != end; ++it)
            if (const Ticket* ticket = ticketOf(*it)) {
                It& best = firsts[ticket->kind];
                if (best == end || ahead(*ticket, *ticketOf(*best), now)) best = it;
            }
        It next = end;
        for (It it : firsts)
            if (it != end && (next == end || aheadOverAll(*ticketOf(*it), *ticketOf(*next), now))) next = it;
        return next;
    }
    // Puts `items` in the order their turns go in at `now`, as `first` would take them one by one.
    template <class T, class TicketOf>
    void arrange(std::vector<T>& items, TicketOf&& ticketOf, Clock::time_point now) const {
        std::vector<std::vector<T>> byKind(lines_.size());
        for (T& item : items)
            byKind[ticketOf(item)->kind].push_back(std::move(item));
        items.clear();
        std::vector<size_t> taken(byKind.size());
        for (auto& line : byKind)
            std::sort(line.begin(), line.end(),
                      [&](const T& a, const T& b) { return ahead(*ticketOf(a), *ticketOf(b), now); });
        for (;;) {
            size_t next = byKind.size();
            for (size_t kind = 0; kind < byKind.size(); ++kind)
                if (taken[kind] < byKind[kind].size() &&
                    (next == byKind.size() ||
                     aheadOverAll(*ticketOf(byKind[kind][taken[kind]]), *ticketOf(byKind[next][taken[next]]), now)))
                    next = kind;
            if (next == byKind.size()) return;
            items.push_back(std::move(byKind[next][taken[next]++]));
        }
    }

    // Groups remembered: those holding or awaiting turns, and those whose finish the virtual time has
    // not reached yet.
    size_t groups() const;

private:
    // A virtual time: the start of the latest turn that began, or where the turns that began at it
    // took it as they ended, whichever is later (a start that stays still while claimants new to
    // the place keep starting at it would keep a claimant a turn ahead waiting for as long as they
    // come).
    struct VirtualTime {
        double started = 0;
        // Where the turns that began at it took it as they ended; and that, a mean turn at a time.
        double given = 0;
        double shown = 0;
        double meanTurn = 0;
        double now() const { return std::max(started, shown); }
        void began(double start, bool atIt);
        // A turn has ended; one that began at the virtual time moves it on.
        void ended(double counted, double sharedBy, bool atIt);
        // Nobody holds or awaits a turn: nothing had before counts any more.
        void idle(double latestFinish);
    };
    // What a claimant's turns held now have held so far: their number, and the sum of when they
    // began (in seconds of the clock), from which the time held at any moment follows.
    struct Holding {
        size_t turns = 0;
        double began = 0;
        // A turn held from `at`; one that was held from `at` ends.
        void take(double at);
        void give(double at);
        double beyondLeast(double now, double leastTurn) const;
    };
    struct Member {
        size_t busy = 0; // turns held or waiting
        double finish = 0;
        Holding holding;
        // Its waiting turns, by order: each starts a least turn after those it asked after, so that
        // a turn handed a place but not yet begun keeps the member's next behind another member's.
        std::set<uint64_t> waiting;
    };
    struct Group {
        size_t busy = 0; // turns held or waiting
        // Of them, those that go by the newcomers' place (all of the newcomers' group's).
        size_t newcomerTurns = 0;
        bool knownBusy() const { return busy > newcomerTurns; }
        double finish = 0;
        Holding holding;
        VirtualTime clock; // its members' virtual time
        double latestMemberFinish = 0;
        size_t busyMembers = 0;
        std::map<uint64_t, double> waiting; // its waiting turns: order, virtual time asked
        std::unordered_map<std::string, Member> members;
        size_t membersAfterSweep = 0;
        // A known sender's group that came new to the line: the neighbourhood whose count its turns
        // start no earlier than, until its turns are over again.
        std::string neighbourhood;
    };
    struct Place {
        double groupStart;
        // Among groups that start at one virtual time (each had less than it), the one that had least
        // goes first: a claimant new to the place goes ahead of a crowd whose turns fell behind it.
        double groupHad;
        uint64_t groupFirst;
        double memberStart;
        double memberHad; // as for groups
        uint64_t order;
        auto operator<=>(const Place&) const = default;
    };
    // The turns of known senders new to a line from one neighbourhood, counted together: where
    // they have taken it, and how many are held or awaited.
    struct Neighbourhood {
        double finish = 0;
        size_t busy = 0;
        Holding holding;
    };
    // The turns of one line: every turn at the place (0), or a kind's.
    struct Line {
        VirtualTime clock;
        double latestFinish = 0;
        size_t busyGroups = 0;
        // Groups with turns held or waiting that go by their own place.
        size_t knownBusy = 0;
        std::unordered_map<std::string, Group> groups;
        size_t groupsAfterSweep = 0;
        std::unordered_map<std::string, Neighbourhood> neighbourhoods;
        size_t neighbourhoodsAfterSweep = 0;
    };
    // The lines a turn stands in.
    static std::vector<size_t> linesOf(const Ticket& ticket) {
        return ticket.kind == 0 ? std::vector<size_t>{0} : std::vector<size_t>{0, ticket.kind};
    }
    Place placeOf(const Ticket& ticket, size_t line, std::optional<double> now) const;
    bool aheadOverAll(const Ticket& a, const Ticket& b, Clock::time_point now) const;
    // The turn asks in the line: the virtual time of its group's members then.
    double askIn(size_t line, Ticket& ticket);
    // The turn `order` waits in the group's turns, for the member: the virtual time of the group's
    // members then, and whether the group's turns, and the member's, were over.
    struct Joined {
        double asked;
        bool groupWasOver;
        bool memberWasOver;
        bool inNeighbourhood;
    };
    // A known sender's group whose turns are over starts no earlier than its `neighbourhood`'s count.
    Joined join(Line& line, const std::string& group, const std::string& member, uint64_t order, bool newcomerTurn,
                const std::string* neighbourhood = nullptr);
    // What a group's turns count on its finish is divided by its weight: the newcomers' group weighs
    // as much as the senders known to the line that hold or await turns (one at least), any other one.
    static double weightOf(const Line& line, bool amongNewcomers);
    // Whether the turn starts at the line's virtual time (in the group whose place it goes by) and
    // at its group's members' (in its own group), within the group it is counted in: such a turn
    // moves that virtual time on as it ends, not as it begins.
    static std::pair<bool, bool> startsAtClocks(const Ticket& ticket, size_t line, bool amongNewcomers);
    // The weights of the groups that hold or await turns of the line, among which its place is shared.
    static double busyWeight(const Line& line);
    // Where the turn stands among the newcomers' turns, or among its own claimant's.
    Place placeIn(const Ticket& ticket, size_t line, bool amongNewcomers, std::optional<double> now) const;
    // Calls `counted(line, group, member, amongNewcomers)` for each group the turn counts in within the
    // line: the newcomers' first (so that leaving it never empties the line while the turn's own group
    // still counts it), then its claimant's.
    template <class Counted>
    void eachGroupOf(const Ticket& ticket, size_t line, Counted&& counted);
    void beginIn(size_t line, const Ticket& ticket, Clock::time_point now);
    void endIn(size_t line, const Ticket& ticket, Clock::time_point began, Duration held);
    // The count of the turn's neighbourhood, if it is counted in one within the group's pass (none
    // among the newcomers', nor once it has left it).
    static Neighbourhood* countOf(Line& line, const Ticket& ticket, size_t lineIndex, bool amongNewcomers);
    static void leaveNeighbourhood(Line& line, const Ticket& ticket, size_t lineIndex);
    // Where the turns of a neighbourhood's senders new to the line start, while that is not over: where
    // its count has taken it (what it holds counted as far as `held`), less a mean turn shared among
    // its turns held or awaited.
    static double startOf(const Line& line, const Neighbourhood& neighbourhood, double held);
    // Where a ticket stands in `line`.
    static Ticket::InLine& inLine(Ticket& ticket, size_t line) { return ticket.in[line == 0 ? 0 : 1]; }
    static const Ticket::InLine& inLine(const Ticket& ticket, size_t line) { return ticket.in[line == 0 ? 0 : 1]; }
    // A turn no longer held or awaited.
    void leave(Line& line, Group& group, const std::string& member, bool newcomerTurn);
    void sweepGroups(Line& line);
    static void sweepMembers(Group& group);

    const double leastTurn_;
    const size_t maxGroups_;
    uint64_t orders_ = 0;
    std::vector<Line> lines_{1};
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
        FairTurns::Ticket ticket;
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
    struct Waiter {
        FairTurns::Ticket ticket;
        std::optional<FairTurns::Clock::time_point> placed;
    };
    // The turn placed; none when no place came within the patience.
    std::optional<Placed> take(const Claimant& claimant, std::chrono::milliseconds patience);
    void give(const Placed& placed);
    // Hands the free places to the waiting turns that fall first (mutex_ held).
    void handOut();

    std::mutex mutex_;
    std::condition_variable placed_;
    std::ptrdiff_t free_;
    size_t waiting_ = 0;
    FairTurns turns_;
    std::list<Waiter> waiters_;
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
// tokens over and over, or an account signing in on new phones, forgets only its own. A secret that lapses (an access token past its hour) names nobody after.
// A forgotten secret is learnt again when a request proves it. Safe to call from any thread.
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
