// Fair turns at the server's shared places, tried as properties of the scheduler alone on a
// simulated place of several servers with seeded random arrivals; and the gate that hands places out
// by them.

#include "server/FairTurns.h"
#include "server/Gate.h"
#include "server/KnownClaimants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace cw::server {
namespace {

using namespace std::chrono_literals;
using Turn = FairTurns::Turn;

// A least turn of 1/128 s, and every turn held a whole number of them, so that starts and finishes
// add up exactly however the scheduler keeps them.
constexpr FairTurns::Duration kLeast = 7'812'500ns;

// A place of several servers on a clock of whole least turns. Each tick the turns due end, the
// scenario's claimants ask, and each free server is given the next turn. On the way it checks what
// holds under any load: a member's turns are given first come, first served; a turn is given once,
// never after it was withdrawn; `next` gives none only when nothing waits; and once the place is
// idle nobody is remembered.
class Place {
public:
    struct Asked {
        size_t group, member; // their numbers here
        int held;             // least turns it holds the place once given
        uint64_t givenBefore; // turns given before it asked
        size_t ahead;         // its member's turns waiting ahead of it
    };
    // What a group had and has, by the group's number (numbered as first seen).
    struct Tally {
        int64_t placeTime = 0; // least turns held
        int waiting = 0;
    };

    Place(uint32_t seed, int servers) : random(seed), servers(servers), free_(servers) {}

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(random); }
    void fail(const std::string& what) {
        if (fault.empty()) fault = what + " (tick " + std::to_string(now) + ")";
    }
    void check(bool holds, const char* what) {
        if (!holds) fail(what);
    }
    void atMost(uint64_t bound, uint64_t value, const std::string& what) {
        if (value > bound) fail(what + " " + std::to_string(value) + ", more than " + std::to_string(bound));
    }

    size_t groupOf(const std::string& group) {
        const auto [at, added] = groups_.try_emplace(group, tallies.size());
        if (added) {
            tallies.emplace_back();
            givenTo.push_back(0);
        }
        return at->second;
    }
    Tally& tally(const std::string& group) { return tallies[groupOf(group)]; }
    size_t memberOf(const Claimant& who) {
        const auto [at, added] = members_.try_emplace(who.group + " " + who.member, lines_.size());
        if (added) lines_.emplace_back();
        return at->second;
    }
    size_t waitingOf(size_t member) const { return lines_[member].size(); }

    Turn ask(const Claimant& who, int held) {
        const size_t member = memberOf(who);
        std::deque<Turn>& line = lines_[member];
        const Turn turn = turns.ask(who);
        check(turn != 0 && !asked_.contains(turn), "a turn's number was 0 or used again");
        const size_t group = groupOf(who.group);
        const Asked& asked = asked_[turn] = {group, member, held, given, line.size()};
        line.push_back(turn);
        ++tallies[group].waiting;
        if (onAsked) onAsked(turn, asked);
        return turn;
    }
    // A waiting turn of the member, if any, leaves.
    void withdrawOne(size_t member) {
        std::deque<Turn>& line = lines_[member];
        if (line.empty()) return;
        const auto at = line.begin() + uniform(0, int(line.size()) - 1);
        turns.withdraw(*at);
        --tallies[asked_.at(*at).group].waiting;
        asked_.erase(*at);
        line.erase(at);
    }

    void tick(const std::function<void()>& arrive) {
        std::erase_if(held_, [&](const auto& held) {
            if (held.second != now) return false;
            const Asked asked = asked_.at(held.first);
            turns.end(held.first, asked.held * kLeast);
            asked_.erase(held.first);
            ++free_;
            if (onEnded) onEnded(asked);
            return true;
        });
        arrive();
        check(turns.waiting() == asked_.size() - held_.size(),
              "waiting() counted turns withdrawn, given or never asked");
        for (; free_ > 0; --free_) {
            const size_t waiting = turns.waiting();
            const std::optional<Turn> turn = turns.next();
            check(turn.has_value() == (waiting > 0),
                  "next gave none while turns waited, or one while none did");
            if (!turn) break;
            const auto at = asked_.find(*turn);
            if (at == asked_.end()) {
                check(false, "a turn withdrawn or never asked was given the place");
                break;
            }
            const Asked& asked = at->second;
            std::deque<Turn>& line = lines_[asked.member];
            check(!line.empty() && line.front() == *turn, "a member's turn went ahead of one it asked after");
            std::erase(line, *turn);
            --tallies[asked.group].waiting;
            ++givenTo[asked.group];
            if (onGiven) onGiven(*turn, asked);
            ++given;
            held_.emplace_back(*turn, now + asked.held);
        }
        for (const auto& held : held_)
            ++tallies[asked_.at(held.first).group].placeTime;
        ++now;
    }
    // Nobody asks any more: every turn still waiting is served, and the place forgets everyone.
    void drain() {
        while (fault.empty() && (turns.waiting() > 0 || !held_.empty()))
            tick([] {});
        check(turns.groups() == 0 && turns.members() == 0,
              "claimants were remembered after the place went idle");
        check(asked_.empty(), "a turn asked was never given the place");
    }

    std::mt19937 random;
    const int servers;
    FairTurns turns{kLeast};
    int now = 0;
    uint64_t given = 0;
    std::vector<Tally> tallies;
    std::vector<uint64_t> givenTo; // turns given, by group's number
    std::function<void(Turn, const Asked&)> onAsked, onGiven;
    std::function<void(const Asked&)> onEnded;
    std::string fault;

private:
    int free_;
    std::unordered_map<std::string, size_t> groups_, members_;
    std::vector<std::deque<Turn>> lines_; // each member's waiting turns, by ask
    std::unordered_map<Turn, Asked> asked_;
    std::vector<std::pair<Turn, int>> held_; // and the tick it ends
};

// A population of members of a few groups, each asking by a pattern of its own: backlogged (a few
// turns always waiting) now and then for a while, in bursts, or now and then one turn; and now and
// then withdrawing a waiting turn. With `strangers`, brand-new groups also come in bursts.
struct Load {
    struct Member {
        Claimant who;
        size_t number = 0; // the place's
        int keep = 0;      // turns kept waiting while backlogged
        bool busy = true;  // backlogged now
        double burst = 0;  // the chance each tick of a burst of up to 8 turns
        double oneOff = 0; // the chance each tick of one turn
    };
    std::vector<Member> members;
    int groups = 0, mostMembers = 0, longest = 1;
    double withdrawing = 0.01;
    bool strangers = false;
    int strangersSeen = 0;

    Load(Place& place, bool withStrangers) : strangers(withStrangers) {
        groups = place.uniform(1, 5);
        longest = place.uniform(1, 4);
        for (int g = 0; g < groups; ++g) {
            const int count = place.uniform(1, 4);
            mostMembers = std::max(mostMembers, count);
            for (int m = 0; m < count; ++m) {
                Member member{Claimant::known("m" + std::to_string(g) + "." + std::to_string(m),
                                              "g" + std::to_string(g))};
                member.number = place.memberOf(member.who);
                const int pattern = place.uniform(0, 2);
                member.keep = pattern == 0 ? place.uniform(1, 3) : 0;
                member.burst = pattern == 1 ? 0.01 : 0;
                member.oneOff = pattern == 2 ? 0.05 * place.uniform(1, 4) : 0;
                members.push_back(member);
            }
        }
    }
    int held(Place& place) const { return place.uniform(1, longest); }
    void arrive(Place& place) {
        for (Member& m : members) {
            if (place.chance(0.003)) m.busy = !m.busy;
            while (m.busy && int(place.waitingOf(m.number)) < m.keep)
                place.ask(m.who, held(place));
            const int asking = place.chance(m.burst) ? place.uniform(1, 8) : int(place.chance(m.oneOff));
            for (int n = 0; n < asking; ++n)
                place.ask(m.who, held(place));
            if (place.chance(withdrawing)) place.withdrawOne(m.number);
        }
        if (strangers && place.chance(0.03))
            for (int n = place.uniform(1, 20), s = strangersSeen++; n > 0; --n)
                place.ask(Claimant::known("s" + std::to_string(s), "stranger " + std::to_string(s)),
                          held(place));
    }
};

// Two groups kept busy, `first` from the start and `second` from tick `from` until `ticks`, each
// with `keep` turns waiting (`ask(second)` asks one): over any window of ticks once both ask, neither
// had more of the place than the other by about a longest turn per server (`second` alone checked
// unless `bothWays`).
void share(Place& place, const std::string& first, const std::string& second, int from, int ticks, int keep,
           int longest, bool bothWays, const std::function<void(bool)>& ask) {
    int64_t least = 0, most = 0, overFirst = 0, overSecond = 0, base = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        place.tick([&] {
            for (int side = 0; side < (tick >= from ? 2 : 1); ++side)
                while (place.tally(side == 1 ? second : first).waiting < keep)
                    ask(side == 1);
        });
        if (tick < from) continue;
        const int64_t firstLessSecond = place.tally(first).placeTime - place.tally(second).placeTime;
        if (tick == from) base = firstLessSecond;
        least = std::min(least, firstLessSecond - base);
        most = std::max(most, firstLessSecond - base);
        overFirst = std::max(overFirst, firstLessSecond - base - least);
        overSecond = std::max(overSecond, most - (firstLessSecond - base));
    }
    const uint64_t bound = 2 * (place.servers + 1) * longest;
    place.atMost(bound, overSecond, second + " had beyond " + first);
    if (bothWays) place.atMost(bound, overFirst, first + " had beyond " + second);
}

// One claimant kept busy, and a stream of `stream` turns at a time each from a claimant never seen
// before, for `ticks`; `each` after every tick, `alsoAsk` among the asking of each. Half the seeds
// try it among groups (the busy one a family, each one-off a group of its own), half among the
// members of one group (the neighbourhoods of addresses, which the unproven share).
void oneOffStream(
    Place& place, int longest, int stream, int ticks, const std::function<void()>& each,
    const std::function<void(bool asGroups)>& alsoAsk = [](bool) {}) {
    const bool asGroups = place.chance(0.5);
    const Claimant steady = asGroups ? Claimant::known("a", "steady") : Claimant("192.0.2.1");
    int addresses = 0, inFlight = 0;
    const size_t steadyMember = place.memberOf(steady);
    std::unordered_set<size_t> oneOffs; // members of the stream with a turn not yet ended
    place.onEnded = [&, outer = place.onEnded](const Place::Asked& a) {
        inFlight -= int(oneOffs.erase(a.member));
        if (outer) outer(a);
    };
    for (int tick = 0; tick < ticks; ++tick) {
        place.tick([&] {
            while (int(place.waitingOf(steadyMember)) <= place.servers)
                place.ask(steady, place.uniform(1, longest));
            for (; inFlight < stream; ++inFlight, ++addresses) {
                const std::string n = std::to_string(addresses);
                const Claimant oneOff = asGroups ? Claimant::known("one-off " + n, "one-off " + n)
                                                 : Claimant("10." + std::to_string(addresses / 256 % 256) +
                                                            "." + std::to_string(addresses % 256) + ".1");
                oneOffs.insert(place.memberOf(oneOff));
                place.ask(oneOff, place.uniform(1, longest));
            }
            alsoAsk(asGroups);
        });
        each();
    }
    place.onEnded = nullptr;
}

struct Property {
    const char* what;
    std::function<void(Place&)> run;
};

const std::vector<Property>& properties() {
    static const std::vector<Property> all = {
        {"a group waits, from asking with nothing waiting or from its last turn, behind at most three turns "
         "of each other group (turns of groups that came over move the virtual time on, now and then past "
         "another's next two), and one more for each least turn its own last turns held beyond the least",
         [](Place& place) {
             Load load(place, true);
             // By group: least turns held beyond the least since it was last given a turn (none before
             // its first), and the turns given to each group as it began to wait.
             std::vector<std::optional<int>> beyond;
             std::vector<std::vector<uint64_t>> since;
             place.onAsked = [&](Turn, const Place::Asked& a) {
                 beyond.resize(place.tallies.size());
                 since.resize(place.tallies.size());
                 if (place.tallies[a.group].waiting == 1) since[a.group] = place.givenTo;
             };
             place.onGiven = [&](Turn, const Place::Asked& a) {
                 std::vector<uint64_t>& before = since[a.group];
                 before.resize(place.givenTo.size());
                 for (size_t other = 0; other < before.size(); ++other)
                     if (other != a.group)
                         place.atMost(beyond[a.group] ? 3 + *beyond[a.group] : 3,
                                      place.givenTo[other] - before[other],
                                      "turns of another group went first:");
                 beyond[a.group] = 0;
                 before = place.givenTo;
             };
             place.onEnded = [&](const Place::Asked& a) { *beyond[a.group] += a.held - 1; };
             for (int tick = 0; tick < 1000; ++tick)
                 place.tick([&] { load.arrive(place); });
         }},
        {"a group of any number of members has one group's share",
         [](Place& place) {
             const int members = place.uniform(1, 50), longest = place.uniform(1, 4);
             int asked = 0;
             share(place, "one", "many", 0, 400, place.servers + 1, longest, true, [&](bool many) {
                 place.ask(
                     Claimant::known(many ? std::to_string(asked++ % members) : "a", many ? "many" : "one"),
                     place.uniform(1, longest));
             });
         }},
        {"senders known only by their addresses, however many and from wherever, have one group's share",
         [](Place& place) {
             const int longest = place.uniform(1, 4), keep = place.uniform(place.servers, 2 * place.servers),
                       ticks = 400;
             const Claimant steady = Claimant::known("a", "steady");
             int addresses = 0, streamWaiting = 0;
             char address[40];
             place.onGiven = [&](Turn, const Place::Asked& a) {
                 streamWaiting -= a.group != place.groupOf("steady");
             };
             for (int tick = 0; tick < ticks; ++tick)
                 place.tick([&] {
                     while (place.tally("steady").waiting < keep)
                         place.ask(steady, place.uniform(1, longest));
                     for (; streamWaiting < keep; ++streamWaiting) {
                         std::snprintf(address, sizeof address, "2001:db8:%x:%x::/64", place.uniform(1, 9999),
                                       ++addresses);
                         place.ask(Claimant(address), place.uniform(1, longest));
                     }
                 });
             place.atMost(2 * (place.servers + 1) * longest,
                          std::max(0L, place.servers * ticks / 2 - place.tally("steady").placeTime),
                          "steady had less than half the place by");
         }},
        {"among the unproven, a neighbourhood of any number of busy addresses has one neighbourhood's share: "
         "an address of another, its turns over, waits behind at most two of their turns",
         [](Place& place) {
             const int longest = place.uniform(1, 4);
             std::vector<Claimant> crowd;
             for (int n = place.uniform(1, 50); n > 0; --n)
                 crowd.emplace_back("203.0.113." + std::to_string(n));
             const Claimant quietOne("198.51.100.7");
             const size_t quiet = place.memberOf(quietOne);
             bool quietBusy = false;
             place.onGiven = [&](Turn, const Place::Asked& a) {
                 if (a.member == quiet)
                     place.atMost(2, place.given - a.givenBefore,
                                  "the quiet address waited behind the crowd's turns:");
             };
             place.onEnded = [&](const Place::Asked& a) { quietBusy = quietBusy && a.member != quiet; };
             for (int tick = 0; tick < 1000; ++tick)
                 place.tick([&] {
                     for (const Claimant& address : crowd)
                         if (place.waitingOf(place.memberOf(address)) == 0)
                             place.ask(address, place.uniform(1, longest));
                     if (!quietBusy && place.chance(0.05)) {
                         quietBusy = true;
                         place.ask(quietOne, 1);
                     }
                 });
         }},
        {"a group that had the place alone for long and a newcomer are served alike once both ask",
         [](Place& place) {
             const int longest = place.uniform(1, 4), alone = place.uniform(50, 1000);
             const int members[2] = {place.uniform(1, 3), place.uniform(1, 3)};
             int asked = 0;
             share(place, "old", "new", alone, alone + 400, place.servers + 1, longest, true,
                   [&](bool newcomer) {
                       place.ask(Claimant::known(std::to_string(asked++ % members[newcomer]),
                                                 newcomer ? "new" : "old"),
                                 place.uniform(1, longest));
                   });
         }},
        {"nobody waits for ever: a turn waits behind a number of turns bounded by the numbers of groups and "
         "members and of its member's turns ahead of it, however long the others keep asking",
         [](Place& place) {
             Load load(place, false);
             place.onGiven = [&](Turn, const Place::Asked& a) {
                 // Each other member of its group, and then each other group, at most has a turn for
                 // each least turn it may be ahead, and one more.
                 const uint64_t p = place.servers, h = load.longest;
                 const uint64_t ownGroup =
                     (a.ahead + 1) + (load.mostMembers - 1) * ((a.ahead + 1 + p) * h + 2);
                 place.atMost(ownGroup + (load.groups - 1) * ((ownGroup + p) * h + 2),
                              place.given - a.givenBefore, "a turn waited behind");
             };
             for (int tick = 0; tick < 1500; ++tick)
                 place.tick([&] { load.arrive(place); });
         }},
        {"a member's turns are given first come, first served; a turn withdrawn is never given; with "
         "nothing waiting none is",
         [](Place& place) {
             place.check(!place.turns.next(), "next gave a turn before any was asked");
             Load load(place, false);
             load.withdrawing = 0.3;
             for (int tick = 0; tick < 1000; ++tick)
                 place.tick([&] { load.arrive(place); });
         }},
        {"nobody waits for ever behind a stream of one-off groups or members: one kept busy waits behind "
         "about twice as many of their turns as wait at once, however long each holds the place",
         [](Place& place) {
             const int longest = place.uniform(1, 32), stream = place.uniform(1, 4 * place.servers);
             std::optional<size_t> steady;
             place.onAsked = [&](Turn, const Place::Asked& a) { steady = steady.value_or(a.member); };
             place.onGiven = [&](Turn, const Place::Asked& a) {
                 const uint64_t p = place.servers;
                 if (a.member == steady)
                     place.atMost(2 * (a.ahead + 1 + p) * (stream + 1), place.given - a.givenBefore,
                                  "the group kept busy waited behind");
             };
             oneOffStream(place, longest, stream, 1500, [] {});
         }},
        {"a claimant whose turns are over waits behind at most two turns of one kept busy, however long "
         "the turns of a stream of one-off claimants beside it (they move the virtual time on, never past "
         "a start still waiting)",
         [](Place& place) {
             const int longest = place.uniform(1, 32), stream = place.uniform(1, 4 * place.servers);
             std::optional<size_t> steady, quiet;
             uint64_t steadyGiven = 0, steadyGivenAtAsk = 0;
             bool quietBusy = false;
             place.onAsked = [&](Turn, const Place::Asked& a) {
                 steady = steady.value_or(a.member);
                 if (a.member == quiet) steadyGivenAtAsk = steadyGiven;
             };
             place.onGiven = [&](Turn, const Place::Asked& a) {
                 steadyGiven += a.member == steady;
                 if (a.member == quiet)
                     place.atMost(2, steadyGiven - steadyGivenAtAsk,
                                  "the quiet one waited behind turns of the busy:");
             };
             place.onEnded = [&](const Place::Asked& a) { quietBusy = quietBusy && a.member != quiet; };
             oneOffStream(
                 place, longest, stream, 1500, [] {},
                 [&](bool asGroups) {
                     if (quietBusy || !place.chance(0.02)) return;
                     const Claimant who = asGroups ? Claimant::known("q", "quiet") : Claimant("192.0.2.9");
                     quiet = place.memberOf(who);
                     quietBusy = true;
                     place.ask(who, 1);
                 });
         }},
        {"a long stream of one-off new members is not remembered beyond those waiting or held and those "
         "given within the longest turn",
         [](Place& place) {
             const int longest = place.uniform(1, 4), stream = place.uniform(1, place.servers);
             size_t groups = 0, members = 0;
             oneOffStream(place, longest, stream, 1500, [&] {
                 groups = std::max(groups, place.turns.groups());
                 members = std::max(members, place.turns.members());
             });
             const size_t bound = (stream + 1) + size_t(place.servers + 1) * (longest + 1);
             place.atMost(bound, groups, "groups remembered:");
             place.atMost(bound, members, "members remembered:");
         }},
    };
    return all;
}

// Each property on its own, so that they run side by side.
class FairTurnsProperty : public ::testing::TestWithParam<size_t> {};

TEST_P(FairTurnsProperty, HoldsOverSeededRandomArrivals) {
    const Property& property = properties()[GetParam()];
    int failed = 0;
    std::string faults;
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        Place place(seed, int(seed % 8) + 1);
        property.run(place);
        place.onAsked = place.onGiven = nullptr;
        place.onEnded = nullptr;
        place.drain();
        if (!place.fault.empty() && failed++ < 4)
            faults += "\n  seed " + std::to_string(seed) + ": " + place.fault;
    }
    EXPECT_EQ(failed, 0) << property.what << faults;
}

INSTANTIATE_TEST_SUITE_P(FairTurns, FairTurnsProperty, ::testing::Range<size_t>(0, properties().size()));

// Claimants waiting at a gate, each in its own thread, in the order they were added; `served()`
// lets `freed` give its place up and says in what order their turns were served.
class Line {
public:
    explicit Line(Gate& gate) : gate_(gate) {}
    void wait(const std::string& claimant) {
        const size_t before = gate_.waiting();
        threads_.emplace_back([this, claimant] {
            Gate::Turn turn(gate_, std::chrono::seconds(60), claimant);
            EXPECT_TRUE(turn);
            std::lock_guard lock(mutex_);
            served_.push_back(claimant);
        });
        while (gate_.waiting() == before)
            std::this_thread::yield();
    }
    std::vector<std::string> served(std::optional<Gate::Turn>& freed) {
        freed.reset();
        for (auto& thread : threads_)
            thread.join();
        threads_.clear();
        return served_;
    }

private:
    Gate& gate_;
    std::mutex mutex_;
    std::vector<std::string> served_;
    std::vector<std::thread> threads_;
};

TEST(GateTurns, APlaceThatComesFreeIsHandedToTheTurnThatFallsFirst) {
    // One client holds both places, and has more waiting before and after another client's turn. A
    // place comes free while the crowd still holds the other.
    Gate gate(2, std::chrono::minutes(1));
    std::optional<Gate::Turn> first(std::in_place, gate, std::chrono::milliseconds(0), "crowd");
    Gate::Turn second(gate, std::chrono::milliseconds(0), "crowd");
    Line line(gate);
    for (const char* claimant : {"crowd", "crowd", "other", "crowd"})
        line.wait(claimant);
    // Each passed its place on as it was served, the crowd's own in the order they came.
    EXPECT_EQ(line.served(first), (std::vector<std::string>{"other", "crowd", "crowd", "crowd"}));
}

TEST(GateTurns, TimeWaitedForAPlaceIsNotCountedAsTimeAWorkerWasHeld) {
    // As found: under a crowd a sign-in's worker waited seconds for a core to hash on, and that wait
    // counted as the worker's time against the phone's address, so that each answer made its next
    // wait behind a crowd of new addresses longer. The wait is the gate's to order, once.
    Gate gate(1);
    Gate::Turn held(gate, std::chrono::milliseconds(0), "10.0.0.1");
    takeTimeWaitedAtGates();
    EXPECT_FALSE(Gate::Turn(gate, std::chrono::milliseconds(50), "192.0.2.7"));
    EXPECT_GE(takeTimeWaitedAtGates(), std::chrono::milliseconds(50));
    EXPECT_EQ(takeTimeWaitedAtGates(), std::chrono::steady_clock::duration::zero());
}

TEST(KnownClaimantsTest, SecretsAreForgottenLeastRecentlySeenFirstAmongOnesOwnAndThenAmongAll) {
    // As found: each refresh issues a token learnt as its member's, so one member refreshing over and
    // over could push every other member's token out of the table, and their next requests took their
    // turns as their addresses'. Here four secrets at most, two of one owner; "+t m2" learns the
    // secret t as member 2's, "+t m2 s1" as hers among those of her session 1, "?t" sees t again.
    struct Case {
        const char* what;
        std::vector<std::string> steps;
        std::vector<std::string> known;
        std::vector<std::string> forgotten;
    };
    const std::vector<Case> cases = {
        {"one sender's many secrets forget only its own, oldest first",
         {"+hers m1", "+t1 m2", "+t2 m2", "+t3 m2", "+t4 m2"},
         {"hers", "t3", "t4"},
         {"t1", "t2"}},
        {"a secret of hers seen again outlasts her older",
         {"+t1 m2", "+t2 m2", "?t1", "+t3 m2"},
         {"t1", "t3"},
         {"t2"}},
        {"past the bound, the least recently seen of all goes",
         {"+a m1", "+b m2", "+c m3", "+d m4", "+e m5"},
         {"b", "c", "d", "e"},
         {"a"}},
        {"one seen again outlasts the bound",
         {"+a m1", "+b m2", "+c m3", "+d m4", "?a", "+e m5"},
         {"a", "c", "d", "e"},
         {"b"}},
        {"a secret learnt again as another's counts among that one's",
         {"+a m1", "+a m2", "+b m2", "+c m2"},
         {"b", "c"},
         {"a"}},
        {"a made-up secret names nobody", {"+a m1"}, {"a"}, {"made-up", ""}},
        {"a session refreshing over and over forgets only its own tokens, not her other phone's",
         {"+phone m2 s2", "+a m2 s1", "+b m2 s1", "+c m2 s1"},
         {"phone", "b", "c"},
         {"a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KnownClaimants known(4, 2);
        for (const std::string& step : c.steps) {
            std::istringstream words(step.substr(1));
            std::string secret, member, owner;
            words >> secret >> member >> owner;
            if (step[0] == '+')
                known.learn(secret, Claimant::known("member:" + member.substr(1)),
                            std::chrono::steady_clock::time_point::max(), owner);
            else
                EXPECT_TRUE(known.of(step.substr(1))) << step;
        }
        for (const std::string& secret : c.known)
            EXPECT_TRUE(known.of(secret)) << secret;
        for (const std::string& secret : c.forgotten)
            EXPECT_FALSE(known.of(secret)) << secret;
    }
}

} // namespace
} // namespace cw::server
