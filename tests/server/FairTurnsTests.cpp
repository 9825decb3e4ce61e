// Fair turns at the server's shared places: in what order waiting turns are served after what each
// claimant had before, on a clock the test moves; and the gate that hands places out by them.

#include "server/FairTurns.h"

#include <gtest/gtest.h>

#include <chrono>
#include <list>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace cw::server {
namespace {

using namespace std::chrono_literals;

// Turns played on a clock that moves only as the script says. A script is steps separated by ';':
//   turn C MS [xN]  C asks, has its turn at once, and holds it MS milliseconds (N times)
//   hold C          C asks and has a turn it holds to the end
//   wait C MS       C asks and waits; served, it holds its turn MS milliseconds
//   pass MS         the clock moves on
//   serve N         the first N waiting turns are served, one after the other
//   bound           the costly kind of work is at its bound: served turns pass its own until `free`
//   free            turns of the costly kind may be served again
//   let N           a place of the costly kind comes free N times: each time the first waiting
//                   turn, of whichever kind, is served
//   flood C N       C asks N times, each served at once, holding nothing (not written among those
//                   served)
// and then every turn still waiting is served. A claimant written with a '*' (c1*) asks for the
// costly kind of work; one written with an address (s1@203.0.113.1) is known by its name and sends
// from that address. Lengths are multiples of 125 ms, and a turn counts at least 1/128 s, so that
// the virtual times compared are exact.
class Play {
public:
    std::string served(const std::string& script) {
        std::istringstream steps(script);
        for (std::string step; std::getline(steps, step, ';');) {
            std::istringstream words(step);
            std::string op, who, times;
            words >> op;
            if (op == "bound" || op == "free") {
                bound_ = op == "bound";
                continue;
            }
            if (op == "flood") {
                int count = 0;
                words >> who >> count;
                for (int i = 0; i < count; ++i) {
                    waiting_.push_back({turns_.ask(Claimant(who)), 0, true});
                    serveFirst();
                }
                continue;
            }
            if (op == "pass" || op == "serve" || op == "let") {
                int amount = 0;
                words >> amount;
                if (op == "pass") now_ += std::chrono::milliseconds(amount);
                for (int i = 0; op != "pass" && i < amount; ++i)
                    serveFirst(op == "let");
                continue;
            }
            int ms = 0;
            words >> who >> ms >> times;
            const int count = times.empty() ? 1 : std::stoi(times.substr(1));
            const size_t kind = who.ends_with('*') ? 1 : 0;
            if (kind == 1) who.pop_back();
            for (int i = 0; i < count; ++i) {
                auto ticket = turns_.ask(claimantOf(who), kind);
                if (op == "wait") {
                    waiting_.push_back({ticket, ms});
                    continue;
                }
                turns_.begin(ticket, now_);
                if (op == "turn") hold(ticket, ms);
            }
        }
        bound_ = false;
        while (!waiting_.empty())
            serveFirst();
        return served_;
    }

    FairTurns turns_{std::chrono::nanoseconds(7'812'500)};

private:
    static Claimant claimantOf(const std::string& who) {
        const size_t at = who.find('@');
        if (at == std::string::npos) return Claimant(who);
        Claimant known = Claimant::known(who.substr(0, at));
        known.neighbourhood = Claimant::neighbourhoodOf(who.substr(at + 1));
        return known;
    }
    struct Waiting {
        FairTurns::Ticket ticket;
        int ms;
        bool unwritten = false;
    };
    void hold(const FairTurns::Ticket& ticket, int ms) {
        const auto began = now_;
        now_ += std::chrono::milliseconds(ms);
        turns_.end(ticket, began, now_ - began);
    }
    void serveFirst(bool placeFree = false) {
        const auto next = turns_.first(
            waiting_.begin(), waiting_.end(),
            [&](const Waiting& w) { return w.ticket.kind == 0 || !bound_ || placeFree ? &w.ticket : nullptr; }, now_);
        if (next == waiting_.end()) return;
        turns_.begin(next->ticket, now_);
        if (!next->unwritten) served_ += (served_.empty() ? "" : " ") + next->ticket.claimant.member;
        hold(next->ticket, next->ms);
        waiting_.erase(next);
    }

    bool bound_ = false;
    FairTurns::Clock::time_point now_ = FairTurns::Clock::time_point{} + 1000h;
    std::list<Waiting> waiting_;
    std::string served_;
};

TEST(FairTurns, WaitingTurnsAreServedByWhatEachClaimantHadAgainstTheOthers) {
    struct Case {
        const char* what;
        std::string script;
        const char* served;
    };
    // Newcomers' sign-ins, each sent as a place of their kind comes free, among a client's floods.
    std::string newcomers;
    for (int i = 1; i <= 24; ++i)
        newcomers += "; wait 10." + std::to_string(i) + ".0.1* 500" + (i % 3 == 0 ? "; flood cheap 100" : "") + "; let 1";
    std::string cheapStream;
    for (int i = 1; i <= 30; ++i)
        cheapStream += "; wait q" + std::to_string(i) + " 125; serve 1";
    std::string crowdOfNewcomers;
    for (int i = 1; i <= 10; ++i)
        crowdOfNewcomers += "; wait 10." + std::to_string(i) + ".0.1 500";
    std::string streamOfNewcomers;
    for (int i = 11; i <= 30; ++i)
        streamOfNewcomers += "; wait 10." + std::to_string(i) + ".0.1 500; serve 1";
    std::string knownStream;
    for (int i = 1; i <= 40; ++i)
        knownStream += "; wait k" + std::to_string(i) + " 500; serve 1";
    // A stranger's accounts from one neighbourhood, each posting once and handing over to the next.
    std::string handedOver;
    for (int i = 1; i <= 12; ++i)
        handedOver += "; wait s" + std::to_string(i) + "@203.0.113." + std::to_string(1 + i % 2) + " 500; serve 1";
    const Case cases[] = {
        {"as found: her minute of light use sent her behind a crowd; it costs nothing once the others "
         "have had as much",
         "turn mother 125 x58; hold crowd-0; turn crowd-1 500; wait crowd-1 500; turn crowd-2 500; "
         "wait crowd-2 500; wait mother 125",
         "mother crowd-1 crowd-2"},
        {"as found: phones signing in over and over, each asking again as soon as it is answered, kept "
         "her behind every one of them",
         "wait c1 500; wait c2 500; wait c3 500; wait c4 500; serve 1; wait c1 500; serve 1; wait c2 500; "
         "serve 1; wait c3 500; serve 1; wait c4 500; wait mother 125",
         "c1 c2 c3 c4 mother c1 c2 c3 c4"},
        {"a claimant holding no place goes before one holding places, whoever came first",
         "hold crowd; hold crowd; wait crowd 125; wait other 125; wait crowd 125", "other crowd crowd"},
        {"a place held for long counts as it goes, ahead of its end",
         "hold uploads; wait uploads 125; turn quick 250; pass 250; wait quick 125", "quick uploads"},
        {"as found: a crowd of newcomers passes a waiting turn only until the virtual time reaches it",
         "hold crowd; turn mother 1000; wait mother 125; wait n1 750; serve 1; wait n2 750; serve 1; "
         "wait n3 750; serve 1; wait n4 750; serve 1; wait n5 750; serve 1; wait n6 750; serve 1; wait n7 750",
         "n1 n2 n3 mother n4 n5 n6 n7"},
        {"the addresses of an IPv4 /24 share its turns, so a crowd spread over them waits behind "
         "another neighbourhood's address",
         "hold 198.51.100.1; turn 198.51.100.2 500; turn 198.51.100.3 500; wait 198.51.100.4 125; "
         "wait 198.51.100.5 125; wait 192.0.2.7 125",
         "192.0.2.7 198.51.100.4 198.51.100.5"},
        {"and so do the /64s of an IPv6 /48",
         "hold 2001:db8:1:1::/64; turn 2001:db8:1:2::/64 500; wait 2001:db8:1:3::/64 125; "
         "wait 2001:db8:2:1::/64 125",
         "2001:db8:2:1::/64 2001:db8:1:3::/64"},
        {"within a neighbourhood, an address holding places waits behind another address of it",
         "hold 127.0.0.2; hold 127.0.0.2; wait 127.0.0.2 125; wait 127.0.0.3 125; wait 127.0.0.2 125",
         "127.0.0.3 127.0.0.2 127.0.0.2"},
        {"as found: feeds answered while sign-ins were held back at their bound moved the virtual time "
         "past every one of them, and her sign-in then went behind them all",
         "hold b1*; hold b2*; turn c1* 125; turn c2* 250; turn c3* 375; turn c4* 500; bound; wait c1* 125; "
         "wait c2* 125; wait c3* 125; wait c4* 125; wait feeds 125; serve 1; wait feeds 125; serve 1; "
         "wait feeds 125; serve 1; wait feeds 125; serve 1; wait feeds 125; serve 1; wait mother* 125; free",
         "feeds feeds feeds feeds feeds mother c1 c2 c3 c4"},
        {"as found: a client flooding cheap requests while picture posts were held back at their bound "
         "moved the virtual time past every one of them, and her picture post went behind them all",
         "hold b1*; hold b2*; turn c1* 125; turn c2* 250; turn c3* 375; turn c4* 500; bound; wait c1* 125; "
         "wait c2* 125; wait c3* 125; wait c4* 125; flood cheap 4000; wait mother* 125; free",
         "mother c1 c2 c3 c4"},
        {"as found: her next picture post, sent as a place let her first through during a flood, went "
         "behind every picture post waiting",
         "hold b1*; hold b2*; turn c1* 125; turn c2* 250; turn c3* 375; turn c4* 500; bound; wait c1* 125; "
         "wait c2* 125; wait c3* 125; wait c4* 125; flood cheap 4000; wait mother* 125; let 2; wait mother* 125; "
         "flood cheap 4000; free",
         "mother c1 c2 c3 mother c4"},
        {"one address's sign-ups, waiting one behind the other, have their turns among a stream of newcomers' "
         "sign-ins, each sent as a place comes free, the newcomers together weighing as much as the one sender the "
         "line knows, whatever the cheap requests meanwhile",
         "hold b1*; hold b2*; bound; wait 192.0.2.9* 500 x4" + newcomers,
         "192.0.2.9 10.1.0.1 10.2.0.1 192.0.2.9 10.3.0.1 10.4.0.1 10.5.0.1 10.6.0.1 192.0.2.9 10.7.0.1 10.8.0.1 "
         "192.0.2.9 10.9.0.1 10.10.0.1 10.11.0.1 10.12.0.1 10.13.0.1 10.14.0.1 10.15.0.1 10.16.0.1 10.17.0.1 10.18.0.1 "
         "10.19.0.1 10.20.0.1 10.21.0.1 10.22.0.1 10.23.0.1 10.24.0.1"},
        {"a sender's pictures waiting one behind the other have their turns among a stream of others' "
         "cheap requests, by the time each had of the place",
         "hold b1; wait lone* 500 x3" + cheapStream,
         "lone q1 q2 q3 q4 q5 q6 q7 q8 q9 q10 q11 q12 q13 lone q14 q15 q16 q17 q18 q19 q20 q21 q22 q23 q24 q25 q26 "
         "q27 q28 q29 q30 lone"},
        {"as found: her next sign-in, after signing in while a stranger kept the line busy, waited behind "
         "a crowd of newcomers for as long as they kept coming; together they weigh as much as the senders the line "
         "knows",
         "wait stranger 500 x8; wait mother 500; serve 2; wait mother 500; serve 2; wait mother 500; serve 2"
             + crowdOfNewcomers + "; wait mother 500" + streamOfNewcomers,
         "stranger mother stranger mother stranger mother 10.1.0.1 10.2.0.1 stranger 10.3.0.1 mother 10.4.0.1 "
         "stranger 10.5.0.1 stranger 10.6.0.1 stranger 10.7.0.1 stranger 10.8.0.1 10.9.0.1 10.10.0.1 10.11.0.1 "
         "10.12.0.1 10.13.0.1 10.14.0.1 10.15.0.1 10.16.0.1 10.17.0.1 10.18.0.1 10.19.0.1 10.20.0.1 10.21.0.1 "
         "10.22.0.1 10.23.0.1 10.24.0.1 10.25.0.1 10.26.0.1 10.27.0.1 10.28.0.1 10.29.0.1 10.30.0.1"},
        {"as found: while the newcomers' group stood a turn ahead, a stream of senders the line knows, each new to "
         "it, held the virtual time still, and a newcomer waited behind as many of them as came; the virtual time "
         "moves on with what the place gives each sender holding or awaiting turns",
         "hold b1; wait 10.1.0.1 500; wait 10.2.0.1 500; wait 10.3.0.1 500; serve 3; wait 10.4.0.1 500" + knownStream,
         "10.1.0.1 10.2.0.1 10.3.0.1 k1 k2 k3 k4 k5 10.4.0.1 k6 k7 k8 k9 k10 k11 k12 k13 k14 k15 k16 k17 k18 "
         "k19 k20 k21 k22 k23 k24 k25 k26 k27 k28 k29 k30 k31 k32 k33 k34 k35 k36 k37 k38 k39 k40"},
        {"senders whose turns are over and that ask within a mean turn of one another start together, and "
         "the one that had least goes first: moved on by each such turn as it ended, the virtual time had "
         "served them first come, first served, and the ward's first picture posts waited behind a crowd's",
         "hold b1; turn w 500 x40; turn c1 250; turn c2 250; turn c3 250; turn c4 250; pass 5000; wait c1 500; "
         "wait c2 500; wait c3 500; wait c4 500; serve 1; wait mother 500",
         "c1 mother c2 c3 c4"},
        {"as found: a stranger handing his turns from account to account, each new to the place, passed the "
         "senders that kept asking for as long as he went on; his accounts' turns new to the place from one "
         "neighbourhood count together, as many senders as he has asking at once",
         "hold b1; turn h1 500; turn h2 500; wait h1 500 x6; wait h2 500 x6" + handedOver,
         "s1 h1 h2 s2 h1 s3 h2 s4 s5 s6 h1 s7 s8 s9 h2 s10 s11 h1 s12 h2 h1 h2 h1 h2"},
        {"a ward of families on one address, each new to the place, start together ahead of a crowd that "
         "had turns",
         "hold b1; turn w 500 x40; turn c1 500; turn c2 500; wait c1 500; wait c2 500; wait f1@192.0.2.9 125; "
         "wait f2@192.0.2.9 125; wait f3@192.0.2.9 125; wait f4@192.0.2.9 125",
         "f1 f2 f3 f4 c1 c2"},
        {"a member known by her token is hers wherever she is, not her address's neighbourhood's",
         "hold 127.0.0.2; turn 127.0.0.2 500; wait 127.0.0.2 125; wait member:1 125", "member:1 127.0.0.2"},
    };
    for (const Case& c : cases) {
        Play play;
        EXPECT_EQ(play.served(c.script), c.served) << c.what;
    }
}

TEST(FairTurns, ClaimantsAreForgottenOnceTheirTurnsAreMatchedAndWhenNobodyWaits) {
    // A crowd of one-off claimants, each a new neighbourhood's address, while one turn is held all
    // along: those whose turns the others have matched go, so that the table stays small.
    Play play;
    const auto now = FairTurns::Clock::time_point{} + 1000h;
    auto held = play.turns_.ask(Claimant("192.0.2.7"));
    play.turns_.begin(held, now);
    for (int i = 0; i < 20'000; ++i) {
        auto newcomer = play.turns_.ask(Claimant("10." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ".1"));
        play.turns_.begin(newcomer, now);
        play.turns_.end(newcomer, now, 125ms);
    }
    EXPECT_LT(play.turns_.groups(), 2100u);
    play.turns_.end(held, now, 125ms);
    EXPECT_EQ(play.turns_.groups(), 0u);
}

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
         {"+hers m1", "+t1 m2", "+t2 m2", "+t3 m2", "+t4 m2"}, {"hers", "t3", "t4"}, {"t1", "t2"}},
        {"a secret of hers seen again outlasts her older", {"+t1 m2", "+t2 m2", "?t1", "+t3 m2"}, {"t1", "t3"}, {"t2"}},
        {"past the bound, the least recently seen of all goes",
         {"+a m1", "+b m2", "+c m3", "+d m4", "+e m5"}, {"b", "c", "d", "e"}, {"a"}},
        {"one seen again outlasts the bound", {"+a m1", "+b m2", "+c m3", "+d m4", "?a", "+e m5"}, {"a", "c", "d", "e"}, {"b"}},
        {"a secret learnt again as another's counts among that one's",
         {"+a m1", "+a m2", "+b m2", "+c m2"}, {"b", "c"}, {"a"}},
        {"a made-up secret names nobody", {"+a m1"}, {"a"}, {"made-up", ""}},
        {"a session refreshing over and over forgets only its own tokens, not her other phone's",
         {"+phone m2 s2", "+a m2 s1", "+b m2 s1", "+c m2 s1"}, {"phone", "b", "c"}, {"a"}},
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
