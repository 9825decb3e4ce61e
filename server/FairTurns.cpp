#include "server/FairTurns.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sodium.h>

namespace cw::server {

namespace {

// Groups and members are looked over for forgetting once their number has doubled since the last
// look, so that forgetting costs a constant share of each turn; these many are kept without a look.
constexpr size_t kGroupsUnswept = 1024;
constexpr size_t kMembersUnswept = 64;
// A group's members at most: past them, idle members are forgotten though the group's virtual time
// has not reached their finish (each comes back as a newcomer of the group, ahead by one turn at most).
constexpr size_t kMaxMembersPerGroup = 10'000;
// The group of the senders new to a line (no claimant's name holds a line break), and its one member.
const std::string kNewcomers = "\nnewcomers";
const std::string kNewcomer;

double secondsOf(FairTurns::Duration duration) {
    return std::chrono::duration<double>(duration).count();
}

double secondsAt(FairTurns::Clock::time_point at) {
    return secondsOf(at.time_since_epoch());
}

} // namespace

Claimant::Claimant(std::string name) : member(std::move(name)) {
    group = neighbourhoodOf(member);
    if (group.empty()) group = member;
}

Claimant Claimant::known(std::string name) {
    Claimant claimant;
    claimant.group = name;
    claimant.member = std::move(name);
    return claimant;
}

std::string Claimant::neighbourhoodOf(const std::string& network) {
    in_addr v4{};
    if (::inet_pton(AF_INET, network.c_str(), &v4) == 1) {
        const uint32_t prefix = ntohl(v4.s_addr) & 0xFFFFFF00u;
        return std::to_string(prefix >> 24) + "." + std::to_string((prefix >> 16) & 0xFF) + "." +
               std::to_string((prefix >> 8) & 0xFF) + ".0/24";
    }
    const size_t slash = network.find('/');
    in6_addr v6{};
    if (slash == std::string::npos || ::inet_pton(AF_INET6, network.substr(0, slash).c_str(), &v6) != 1) return {};
    std::fill(std::begin(v6.s6_addr) + 6, std::end(v6.s6_addr), 0);
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/48";
}

FairTurns::FairTurns(Duration leastTurn, size_t maxGroups)
    : leastTurn_(std::max(secondsOf(leastTurn), 1e-6)), maxGroups_(std::max<size_t>(1, maxGroups)) {}

FairTurns::Ticket FairTurns::ask(const Claimant& claimant, size_t kind) {
    if (kind >= lines_.size()) lines_.resize(kind + 1);
    Ticket ticket{claimant, kind, ++orders_};
    for (size_t line : linesOf(ticket))
        inLine(ticket, line).memberAsked = askIn(line, ticket);
    return ticket;
}

double FairTurns::askIn(size_t lineIndex, Ticket& ticket) {
    Line& line = lines_[lineIndex];
    // A sender known only by an address of a neighbourhood the line does not know, or whose turns
    // are over, is told from any other such by nothing: every request of a crowd may come from a
    // neighbourhood never seen before. Such newcomers' turns also stand in one group of theirs,
    // and go by its place, first come, first served among them (the group weighs as much as the
    // senders the line knows, `weightOf`): a crowd of them passes a waiting turn by one of theirs
    // for each sender the line knows, not by one each for as long as they keep coming.
    // Each turn is counted for its own sender all the same, so that its next, asked while it
    // waits or once it has had its turn, goes by its own sender's place.
    const auto own = line.groups.find(ticket.claimant.group);
    const bool newcomer = ticket.claimant.byAddress() &&
                          (own == line.groups.end() || (own->second.busy == 0 && own->second.finish <= line.clock.now()));
    Ticket::InLine& in = inLine(ticket, lineIndex);
    in.newcomer = newcomer;
    const std::string& neighbourhood = ticket.claimant.neighbourhood;
    const Joined joined = join(line, ticket.claimant.group, ticket.claimant.member, ticket.order, newcomer,
                               neighbourhood.empty() ? nullptr : &neighbourhood);
    // Whether its turn starts at the line's virtual time goes by the group whose place it goes by.
    in.groupWasOver = joined.groupWasOver;
    if (newcomer) in.groupWasOver = join(line, kNewcomers, kNewcomer, ticket.order, true).groupWasOver;
    in.memberWasOver = joined.memberWasOver;
    in.inNeighbourhood = joined.inNeighbourhood;
    return joined.asked;
}

FairTurns::Joined FairTurns::join(Line& line, const std::string& groupName, const std::string& memberName,
                                  uint64_t order, bool newcomerTurn, const std::string* neighbourhood) {
    auto [found, added] = line.groups.try_emplace(groupName);
    Group& group = found->second;
    auto [foundMember, memberAdded] = group.members.try_emplace(memberName);
    Member& member = foundMember->second;
    // Over by a least turn at least: claimants whose turns end together with the virtual time's
    // moving on do not count as over, and so do not move it on again.
    bool groupWasOver = group.busy == 0 && (added || group.finish + leastTurn_ <= line.clock.now());
    // A known sender new to the line is counted also in its neighbourhood's count of such senders'
    // turns: one who hands his turns from account to account is as many senders as he has asking.
    bool inNeighbourhood = false;
    bool neighbourhoodAdded = false;
    if (groupWasOver && neighbourhood) {
        auto [foundCount, countAdded] = line.neighbourhoods.try_emplace(*neighbourhood);
        neighbourhoodAdded = countAdded;
        Neighbourhood& counted = foundCount->second;
        ++counted.busy;
        inNeighbourhood = true;
        // It starts no earlier than where they have taken it (less a mean turn among them), as that
        // stands while it waits (`placeIn`).
        group.neighbourhood = *neighbourhood;
        // Unless that is over too (by a least turn at least): then it starts at the virtual time.
        groupWasOver = startOf(line, counted, 0) + leastTurn_ <= line.clock.now();
    }
    const bool memberWasOver = member.busy == 0 && (memberAdded || member.finish + leastTurn_ <= group.clock.now());
    const bool wasKnownBusy = group.knownBusy();
    if (group.busy++ == 0) ++line.busyGroups;
    group.newcomerTurns += newcomerTurn;
    line.knownBusy += group.knownBusy() && !wasKnownBusy;
    if (member.busy++ == 0) ++group.busyMembers;
    group.waiting.emplace(order, line.clock.now());
    member.waiting.insert(order);
    const double asked = group.clock.now();
    if (added || neighbourhoodAdded) sweepGroups(line);
    return {asked, groupWasOver, memberWasOver, inNeighbourhood};
}

void FairTurns::VirtualTime::began(double start, bool atIt) {
    started = std::max(started, start);
    if (atIt) given = std::max(given, start);
}

void FairTurns::VirtualTime::ended(double counted, double sharedBy, bool atIt) {
    // A mean over the last few dozen turns.
    meanTurn += (counted - meanTurn) / 32;
    if (!atIt) return;
    given += counted / std::max(1.0, sharedBy);
    shown = std::max(shown, std::floor(given / meanTurn) * meanTurn);
}

void FairTurns::VirtualTime::idle(double latestFinish) {
    started = given = shown = std::max({started, given, latestFinish});
}

void FairTurns::Holding::take(double at) {
    ++turns;
    began += at;
}

void FairTurns::Holding::give(double at) {
    if (turns == 0) return;
    --turns;
    began = turns == 0 ? 0.0 : began - at;
}

double FairTurns::Holding::beyondLeast(double now, double leastTurn) const {
    return std::max(0.0, static_cast<double>(turns) * (now - leastTurn) - began);
}

FairTurns::Place FairTurns::placeOf(const Ticket& ticket, size_t line, std::optional<double> now) const {
    return placeIn(ticket, line, inLine(ticket, line).newcomer, now);
}

FairTurns::Place FairTurns::placeIn(const Ticket& ticket, size_t line, bool amongNewcomers,
                                    std::optional<double> now) const {
    const Group& group = lines_[line].groups.at(amongNewcomers ? kNewcomers : ticket.claimant.group);
    // The group's turns start where its first waiting turn asked, or where its turns end, those it
    // holds counted as far as they have gone `now`.
    const auto& [firstOrder, firstAsked] = *group.waiting.begin();
    auto held = [&](const Holding& holding) { return now ? holding.beyondLeast(*now, leastTurn_) : 0.0; };
    double groupHad = group.finish + held(group.holding) / weightOf(lines_[line], amongNewcomers);
    double groupStart = std::max(firstAsked, groupHad);
    if (amongNewcomers) return {groupStart, groupHad, firstOrder, 0, 0, ticket.order};
    // A known sender that came new to the line goes no earlier than its neighbourhood's such turns,
    // and where they hold it back, first come, first served among them, as if it had had as much
    // (by what each had itself, a member who posts often would go after every one of them, for as
    // long as they kept coming).
    if (!group.neighbourhood.empty())
        if (auto counted = lines_[line].neighbourhoods.find(group.neighbourhood);
            counted != lines_[line].neighbourhoods.end()) {
            const double start = startOf(lines_[line], counted->second, held(counted->second.holding));
            if (start > groupStart) groupStart = groupHad = start;
        }
    const Member& member = group.members.at(ticket.claimant.member);
    // Its member's turns that asked before it and still wait (counted up to a bound: what a member
    // may have waiting is bounded by its owner).
    size_t before = 0;
    for (auto it = member.waiting.begin(); it != member.waiting.end() && *it < ticket.order && before < 256; ++it)
        ++before;
    const double memberHad = member.finish + held(member.holding) + leastTurn_ * static_cast<double>(before);
    const double memberAsked = inLine(ticket, line).memberAsked;
    return {groupStart, groupHad, firstOrder, std::max(memberAsked, memberHad), memberHad, ticket.order};
}

bool FairTurns::ahead(const Ticket& a, const Ticket& b, Clock::time_point now) const {
    return placeOf(a, a.kind, secondsAt(now)) < placeOf(b, b.kind, secondsAt(now));
}

bool FairTurns::aheadOverAll(const Ticket& a, const Ticket& b, Clock::time_point now) const {
    return placeOf(a, 0, secondsAt(now)) < placeOf(b, 0, secondsAt(now));
}

template <class Counted>
void FairTurns::eachGroupOf(const Ticket& ticket, size_t lineIndex, Counted&& counted) {
    Line& line = lines_[lineIndex];
    for (bool amongNewcomers : {true, false}) {
        if (amongNewcomers && !inLine(ticket, lineIndex).newcomer) continue;
        auto group = line.groups.find(amongNewcomers ? kNewcomers : ticket.claimant.group);
        const std::string& member = amongNewcomers ? kNewcomer : ticket.claimant.member;
        if (group != line.groups.end()) counted(line, group->second, member, amongNewcomers);
    }
}

void FairTurns::withdraw(const Ticket& ticket) {
    for (size_t lineIndex : linesOf(ticket))
        eachGroupOf(ticket, lineIndex, [&](Line& line, Group& group, const std::string& member, bool amongNewcomers) {
            group.waiting.erase(ticket.order);
            group.members.at(member).waiting.erase(ticket.order);
            if (!amongNewcomers) leaveNeighbourhood(line, ticket, lineIndex);
            leave(line, group, member, inLine(ticket, lineIndex).newcomer);
        });
}

void FairTurns::begin(const Ticket& ticket, Clock::time_point now) {
    for (size_t line : linesOf(ticket))
        beginIn(line, ticket, now);
}

void FairTurns::beginIn(size_t lineIndex, const Ticket& ticket, Clock::time_point now) {
    eachGroupOf(ticket, lineIndex, [&](Line& line, Group& group, const std::string& memberName, bool amongNewcomers) {
        // Its start as far as the turns ended count: what the claimant's turns still held have
        // held so far is counted as they end.
        const Place place = placeIn(ticket, lineIndex, amongNewcomers, std::nullopt);
        Member& member = group.members.at(memberName);
        group.waiting.erase(ticket.order);
        member.waiting.erase(ticket.order);
        group.holding.take(secondsAt(now));
        member.holding.take(secondsAt(now));
        // A turn that starts at the virtual time (its claimant's turns were over) does not move it
        // on as it begins: it does as it ends (`endIn`).
        const auto [lineClockMoves, groupClockMoves] = startsAtClocks(ticket, lineIndex, amongNewcomers);
        line.clock.began(place.groupStart, lineClockMoves);
        group.clock.began(place.memberStart, groupClockMoves);
        // Counted at least once as it begins; what it holds beyond that is counted as it goes and
        // as it ends.
        group.finish = place.groupStart + leastTurn_ / weightOf(line, amongNewcomers);
        member.finish = place.memberStart + leastTurn_;
        line.latestFinish = std::max(line.latestFinish, group.finish);
        if (Neighbourhood* counted = countOf(line, ticket, lineIndex, amongNewcomers)) {
            counted->finish = std::max(counted->finish, place.groupStart) + leastTurn_ / static_cast<double>(counted->busy);
            line.latestFinish = std::max(line.latestFinish, counted->finish);
            counted->holding.take(secondsAt(now));
        }
        group.latestMemberFinish = std::max(group.latestMemberFinish, member.finish);
    });
}

void FairTurns::end(const Ticket& ticket, Clock::time_point began, Duration held) {
    for (size_t line : linesOf(ticket))
        if (line < lines_.size()) endIn(line, ticket, began, held);
}

void FairTurns::endIn(size_t lineIndex, const Ticket& ticket, Clock::time_point began, Duration held) {
    const double counted = std::max(secondsOf(held), leastTurn_);
    // Shared among the senders as they stood while it was held: the newcomers' group may leave the
    // line before the turn's own group is counted.
    const double sharedBy = busyWeight(lines_[lineIndex]);
    eachGroupOf(ticket, lineIndex, [&](Line& line, Group& group, const std::string& memberName, bool amongNewcomers) {
        auto member = group.members.find(memberName);
        if (member == group.members.end() || line.busyGroups == 0 || group.busyMembers == 0) return;
        group.holding.give(secondsAt(began));
        member->second.holding.give(secondsAt(began));
        group.finish += (counted - leastTurn_) / weightOf(line, amongNewcomers);
        member->second.finish += counted - leastTurn_;
        line.latestFinish = std::max(line.latestFinish, group.finish);
        if (Neighbourhood* neighbourhood = countOf(line, ticket, lineIndex, amongNewcomers)) {
            neighbourhood->holding.give(secondsAt(began));
            neighbourhood->finish += (counted - leastTurn_) / static_cast<double>(neighbourhood->busy);
            line.latestFinish = std::max(line.latestFinish, neighbourhood->finish);
            leaveNeighbourhood(line, ticket, lineIndex);
        }
        group.latestMemberFinish = std::max(group.latestMemberFinish, member->second.finish);
        // A turn that started at the virtual time moves it on by what the place gave each claimant
        // holding or awaiting turns meanwhile, by their weights (within a group, each of its members),
        // counted once, as its own claimant's, so that claimants each new to the place, one
        // after the other, do not hold it still.
        // (The line's once, in its own group's pass, as a newcomer's turn was begun in the newcomers'.)
        const bool lineClockMoves = inLine(ticket, lineIndex).groupWasOver;
        group.clock.ended(counted, static_cast<double>(group.busyMembers),
                          startsAtClocks(ticket, lineIndex, amongNewcomers).second);
        if (!amongNewcomers) line.clock.ended(counted, sharedBy, lineClockMoves);
        leave(line, group, memberName, inLine(ticket, lineIndex).newcomer);
    });
}

FairTurns::Neighbourhood* FairTurns::countOf(Line& line, const Ticket& ticket, size_t lineIndex, bool amongNewcomers) {
    if (amongNewcomers || !inLine(ticket, lineIndex).inNeighbourhood) return nullptr;
    auto found = line.neighbourhoods.find(ticket.claimant.neighbourhood);
    return found == line.neighbourhoods.end() || found->second.busy == 0 ? nullptr : &found->second;
}

void FairTurns::leaveNeighbourhood(Line& line, const Ticket& ticket, size_t lineIndex) {
    if (Neighbourhood* neighbourhood = countOf(line, ticket, lineIndex, false)) --neighbourhood->busy;
}

double FairTurns::startOf(const Line& line, const Neighbourhood& neighbourhood, double held) {
    return neighbourhood.finish + (held - line.clock.meanTurn) / static_cast<double>(std::max<size_t>(1, neighbourhood.busy));
}

std::pair<bool, bool> FairTurns::startsAtClocks(const Ticket& ticket, size_t line, bool amongNewcomers) {
    const Ticket::InLine& in = inLine(ticket, line);
    return {amongNewcomers == in.newcomer && in.groupWasOver, !amongNewcomers && in.memberWasOver};
}

double FairTurns::weightOf(const Line& line, bool amongNewcomers) {
    return amongNewcomers ? static_cast<double>(std::max<size_t>(1, line.knownBusy)) : 1.0;
}

double FairTurns::busyWeight(const Line& line) {
    const auto newcomers = line.groups.find(kNewcomers);
    const bool newcomersBusy = newcomers != line.groups.end() && newcomers->second.busy > 0;
    return static_cast<double>(line.knownBusy) + (newcomersBusy ? weightOf(line, true) : 0.0);
}

void FairTurns::leave(Line& line, Group& group, const std::string& memberName, bool newcomerTurn) {
    auto member = group.members.find(memberName);
    if (--member->second.busy == 0) {
        --group.busyMembers;
        if (member->second.finish <= group.clock.now()) group.members.erase(member);
    }
    const bool wasKnownBusy = group.knownBusy();
    group.newcomerTurns -= newcomerTurn;
    --group.busy;
    line.knownBusy -= wasKnownBusy && !group.knownBusy();
    if (group.busy > 0) {
        if (group.members.size() > std::max(kMembersUnswept, 2 * group.membersAfterSweep)) sweepMembers(group);
        return;
    }
    // Nobody of the group waits: its members' turns are over, and the next of any starts afresh.
    group.clock.idle(group.latestMemberFinish);
    group.neighbourhood.clear();
    group.members.clear();
    group.membersAfterSweep = 0;
    if (--line.busyGroups == 0) {
        // Nobody waits at all: every turn had is over, and nobody's counts against the next.
        line.clock.idle(line.latestFinish);
        line.groups.clear();
        line.neighbourhoods.clear();
        line.neighbourhoodsAfterSweep = 0;
        line.knownBusy = 0;
        line.groupsAfterSweep = 0;
    }
}

size_t FairTurns::groups() const {
    size_t all = 0;
    for (const Line& line : lines_)
        all += line.groups.size();
    return all;
}

void FairTurns::sweepGroups(Line& line) {
    if (line.groups.size() <= std::max(kGroupsUnswept, 2 * line.groupsAfterSweep) &&
        line.neighbourhoods.size() <= std::max(kGroupsUnswept, 2 * line.neighbourhoodsAfterSweep))
        return;
    std::erase_if(line.groups, [&line](const auto& entry) {
        return entry.second.busy == 0 && entry.second.finish <= line.clock.now();
    });
    std::erase_if(line.neighbourhoods, [&line](const auto& entry) {
        return entry.second.busy == 0 && entry.second.finish <= line.clock.now();
    });
    for (auto it = line.neighbourhoods.begin(); line.neighbourhoods.size() > maxGroups_ && it != line.neighbourhoods.end();)
        it = it->second.busy == 0 ? line.neighbourhoods.erase(it) : std::next(it);
    line.neighbourhoodsAfterSweep = line.neighbourhoods.size();
    // Past the bound even a group whose last turn the others have not matched yet goes: it comes
    // back as a newcomer, ahead by that turn at most.
    for (auto it = line.groups.begin(); line.groups.size() > maxGroups_ && it != line.groups.end();)
        it = it->second.busy == 0 ? line.groups.erase(it) : std::next(it);
    line.groupsAfterSweep = line.groups.size();
}

void FairTurns::sweepMembers(Group& group) {
    std::erase_if(group.members, [&group](const auto& entry) {
        return entry.second.busy == 0 && entry.second.finish <= group.clock.now();
    });
    for (auto it = group.members.begin(); group.members.size() > kMaxMembersPerGroup && it != group.members.end();)
        it = it->second.busy == 0 ? group.members.erase(it) : std::next(it);
    group.membersAfterSweep = group.members.size();
}

namespace {

thread_local std::chrono::steady_clock::duration waitedAtGates{};

} // namespace

std::chrono::steady_clock::duration takeTimeWaitedAtGates() {
    return std::exchange(waitedAtGates, std::chrono::steady_clock::duration::zero());
}

Gate::Gate(std::ptrdiff_t width, FairTurns::Duration leastTurn)
    : free_(std::max<std::ptrdiff_t>(1, width)), turns_(leastTurn) {}

Gate::Turn::Turn(Gate& gate, std::chrono::milliseconds patience, Claimant claimant)
    : gate_(gate), placed_(gate.take(claimant, patience)) {}

Gate::Turn::~Turn() {
    if (placed_) gate_.give(*placed_);
}

std::optional<Gate::Placed> Gate::take(const Claimant& claimant, std::chrono::milliseconds patience) {
    const auto asked = FairTurns::Clock::now();
    struct Counted {
        FairTurns::Clock::time_point since;
        ~Counted() { waitedAtGates += FairTurns::Clock::now() - since; }
    } counted{asked};
    std::unique_lock lock(mutex_);
    auto own = waiters_.insert(waiters_.end(), {turns_.ask(claimant), std::nullopt});
    ++waiting_;
    handOut();
    if (!placed_.wait_until(lock, asked + patience, [&] { return own->placed.has_value(); })) {
        turns_.withdraw(own->ticket);
        --waiting_;
    }
    std::optional<Placed> placed;
    if (own->placed) placed = Placed{*own->placed, std::move(own->ticket)};
    waiters_.erase(own);
    return placed;
}

void Gate::give(const Placed& placed) {
    std::lock_guard lock(mutex_);
    ++free_;
    // Counted whatever became of the work: a refused one took its place all the same.
    turns_.end(placed.ticket, placed.since, FairTurns::Clock::now() - placed.since);
    handOut();
}

void Gate::handOut() {
    // Handed out by whoever frees a place or comes to wait, all at one moment, so that each waiting
    // turn is compared with the others as they stand then.
    const auto now = FairTurns::Clock::now();
    bool any = false;
    while (free_ > 0 && waiting_ > 0) {
        Waiter* next = nullptr;
        for (Waiter& waiter : waiters_)
            if (!waiter.placed && (!next || turns_.ahead(waiter.ticket, next->ticket, now))) next = &waiter;
        --free_;
        --waiting_;
        turns_.begin(next->ticket, now);
        next->placed = now;
        any = true;
    }
    if (any) placed_.notify_all();
}

size_t Gate::waiting() {
    std::lock_guard lock(mutex_);
    return waiting_;
}

KnownClaimants::KnownClaimants(size_t most, size_t mostOfOne)
    : most_(std::max<size_t>(1, most)), mostOfOne_(std::max<size_t>(1, mostOfOne)) {
    if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
    static_assert(sizeof hashKey_ == crypto_shorthash_KEYBYTES);
    crypto_shorthash_keygen(hashKey_);
}

uint64_t KnownClaimants::keyOf(std::string_view secret) const {
    unsigned char hash[crypto_shorthash_BYTES];
    crypto_shorthash(hash, reinterpret_cast<const unsigned char*>(secret.data()), secret.size(), hashKey_);
    uint64_t key = 0;
    for (unsigned char byte : hash)
        key = key << 8 | byte;
    return key;
}

void KnownClaimants::forget(uint64_t key) {
    auto found = known_.find(key);
    if (found == known_.end()) return;
    byUse_.erase(found->second.byUse);
    auto owner = byOwner_.find(found->second.owner);
    owner->second.erase(found->second.ofOwner);
    if (owner->second.empty()) byOwner_.erase(owner);
    known_.erase(found);
}

void KnownClaimants::learn(std::string_view secret, const Claimant& claimant,
                           std::chrono::steady_clock::time_point until, const std::string& owner) {
    if (secret.empty()) return;
    const uint64_t key = keyOf(secret);
    std::lock_guard lock(mutex_);
    forget(key);
    const std::string ownerName = owner.empty() ? "sender " + claimant.group + '\n' + claimant.member : owner;
    std::list<uint64_t>& own = byOwner_[ownerName];
    known_.emplace(key, Known{claimant, until, ownerName, byUse_.insert(byUse_.end(), key), own.insert(own.end(), key)});
    while (own.size() > mostOfOne_)
        forget(own.front());
    while (known_.size() > most_)
        forget(byUse_.front());
}

std::optional<Claimant> KnownClaimants::of(std::string_view secret) {
    if (secret.empty()) return std::nullopt;
    const uint64_t key = keyOf(secret);
    std::lock_guard lock(mutex_);
    auto found = known_.find(key);
    if (found == known_.end()) return std::nullopt;
    if (found->second.until <= std::chrono::steady_clock::now()) {
        forget(key);
        return std::nullopt;
    }
    byUse_.splice(byUse_.end(), byUse_, found->second.byUse);
    std::list<uint64_t>& own = byOwner_.at(found->second.owner);
    own.splice(own.end(), own, found->second.ofOwner);
    return found->second.claimant;
}

} // namespace cw::server
