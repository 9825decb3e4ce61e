#include "server/FairTurns.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace cw::server {

Claimant::Claimant(std::string address) : group(kUnproven), member(std::move(address)) {
    if (neighbourhoodOf(member).empty()) group = member;
}

Claimant Claimant::known(std::string name, std::string group) {
    Claimant claimant;
    claimant.group = group.empty() ? name : std::move(group);
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
    if (slash == std::string::npos || ::inet_pton(AF_INET6, network.substr(0, slash).c_str(), &v6) != 1)
        return {};
    std::fill(std::begin(v6.s6_addr) + 6, std::end(v6.s6_addr), 0);
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/48";
}

FairTurns::FairTurns(Duration leastTurn) : leastTurn_(std::max(leastTurn, Duration(1))) {}

template <class A, class Change>
void FairTurns::rekey(std::set<std::tuple<Duration, Turn, A*>>& ready, A& account, Change&& change) {
    if (!account.waiting.empty()) ready.erase(keyOf(account));
    change();
    if (!account.waiting.empty()) ready.insert(keyOf(account));
}

template <class A>
bool FairTurns::rest(std::set<std::pair<Duration, A*>>& resting, A& account, Duration virtualTime) {
    if (!account.idle()) return false;
    if (account.finish <= virtualTime) return true;
    resting.emplace(account.finish, &account);
    return false;
}

FairTurns::Turn FairTurns::ask(const Claimant& claimant) {
    const Turn turn = ++turns_;
    auto [groupAt, groupAdded] = groups_.try_emplace(claimant.group);
    Group& group = groupAt->second;
    if (groupAdded) group.name = claimant.group;
    auto [memberAt, memberAdded] = group.members.try_emplace(claimant.member);
    Member& member = memberAt->second;
    if (memberAdded) {
        member.name = claimant.member;
        ++members_;
    }
    if (member.waiting.empty()) {
        if (member.held == 0) group.resting.erase({member.finish, &member});
        member.cameOver = member.held == 0 && member.finish <= group.virtualTime;
        member.start = std::max(group.virtualTime, member.finish);
        member.waiting.insert(turn);
        group.ready.insert(keyOf(member));
    } else {
        member.waiting.insert(turn);
    }
    if (group.waiting.empty()) {
        if (group.held == 0) resting_.erase({group.finish, &group});
        group.cameOver = group.held == 0 && group.finish <= virtualTime_;
        group.start = std::max(virtualTime_, group.finish);
        group.waiting.insert(turn);
        ready_.insert(keyOf(group));
    } else {
        group.waiting.insert(turn);
    }
    byTurn_.emplace(turn, Owner{&group, &member});
    ++waiting_;
    return turn;
}

std::optional<FairTurns::Turn> FairTurns::next() {
    if (ready_.empty()) return std::nullopt;
    Group& group = *std::get<2>(*ready_.begin());
    Member& member = *std::get<2>(*group.ready.begin());
    const Turn turn = *member.waiting.begin();
    virtualTime_ = std::max(virtualTime_, group.start);
    group.virtualTime = std::max(group.virtualTime, member.start);
    rekey(group.ready, member, [&] {
        member.waiting.erase(turn);
        member.finish = member.start + leastTurn_;
        member.start = member.finish;
    });
    rekey(ready_, group, [&] {
        group.waiting.erase(turn);
        group.finish = group.start + leastTurn_;
        group.start = group.finish;
    });
    // An account that came with its turns over started at its parent's virtual time, and moves it
    // on by what its turn holds (its least now, the rest as it ends) shared among those waiting with
    // it and one more, as GPS's virtual time moves, but never past a start still waiting: a stream
    // of groups or members each asking once (a crowd sending each request from an address never
    // used before) would otherwise each start at a virtual time that never moves, ahead of one a
    // turn on, for as long as the stream lasts.
    Owner& owner = byTurn_.at(turn);
    owner.groupCameOver = std::exchange(group.cameOver, false);
    owner.memberCameOver = std::exchange(member.cameOver, false);
    if (owner.groupCameOver) moveOn(virtualTime_, ready_, leastTurn_);
    if (owner.memberCameOver) moveOn(group.virtualTime, group.ready, leastTurn_);
    ++member.held;
    ++group.held;
    owner.placed = true;
    --waiting_;
    ++heldTurns_;
    forgetReached(group);
    forgetReached();
    return turn;
}

void FairTurns::withdraw(Turn turn) {
    const auto found = byTurn_.find(turn);
    if (found == byTurn_.end() || found->second.placed) return;
    Group& group = *found->second.group;
    Member& member = *found->second.member;
    byTurn_.erase(found);
    rekey(group.ready, member, [&] { member.waiting.erase(turn); });
    rekey(ready_, group, [&] { group.waiting.erase(turn); });
    --waiting_;
    settle(group, member);
}

void FairTurns::end(Turn turn, Duration held) {
    const auto found = byTurn_.find(turn);
    if (found == byTurn_.end() || !found->second.placed) return;
    Group& group = *found->second.group;
    Member& member = *found->second.member;
    const Owner owner = found->second;
    byTurn_.erase(found);
    const Duration beyond = std::max(Duration::zero(), held - leastTurn_);
    rekey(group.ready, member, [&] {
        member.finish += beyond;
        member.start = std::max(member.start, member.finish);
    });
    rekey(ready_, group, [&] {
        group.finish += beyond;
        group.start = std::max(group.start, group.finish);
    });
    // Only now, so that the start it may not pass is its own account's as this turn leaves it.
    if (owner.groupCameOver) moveOn(virtualTime_, ready_, beyond);
    if (owner.memberCameOver) moveOn(group.virtualTime, group.ready, beyond);
    --member.held;
    --group.held;
    --heldTurns_;
    settle(group, member);
}

template <class A>
void FairTurns::moveOn(Duration& virtualTime, const std::set<std::tuple<Duration, Turn, A*>>& ready,
                       Duration held) {
    const auto ahead = ready.upper_bound({virtualTime, std::numeric_limits<Turn>::max(), nullptr});
    if (ahead == ready.end()) return;
    virtualTime =
        std::min(virtualTime + held / static_cast<Duration::rep>(ready.size() + 1), std::get<0>(*ahead));
}

void FairTurns::settle(Group& group, Member& member) {
    if (waiting_ == 0 && heldTurns_ == 0) {
        // The place is idle: nobody's past turns count against the next.
        groups_.clear();
        ready_.clear();
        resting_.clear();
        members_ = 0;
        return;
    }
    if (rest(group.resting, member, group.virtualTime)) forgetMember(group, member);
    if (rest(resting_, group, virtualTime_)) forgetGroup(group);
}

void FairTurns::forgetReached(Group& group) {
    while (!group.resting.empty() && group.resting.begin()->first <= group.virtualTime) {
        Member& member = *group.resting.begin()->second;
        group.resting.erase(group.resting.begin());
        forgetMember(group, member);
    }
}

void FairTurns::forgetReached() {
    while (!resting_.empty() && resting_.begin()->first <= virtualTime_) {
        Group& group = *resting_.begin()->second;
        resting_.erase(resting_.begin());
        forgetGroup(group);
    }
}

void FairTurns::forgetMember(Group& group, Member& member) {
    --members_;
    group.members.erase(std::string(member.name));
}

void FairTurns::forgetGroup(Group& group) {
    members_ -= group.members.size();
    groups_.erase(std::string(group.name));
}

size_t FairTurns::waiting() const {
    return waiting_;
}

size_t FairTurns::groups() const {
    return groups_.size();
}

size_t FairTurns::members() const {
    return members_;
}

} // namespace cw::server
