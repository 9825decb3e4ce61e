#include "server/FairTurns.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace cw::server {

Claimant::Claimant(std::string address)
    : group(kUnproven), neighbourhood(neighbourhoodOf(address)), member(std::move(address)) {
    if (neighbourhood.empty()) group = member;
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

template <class Change> void FairTurns::rekey(Node& parent, Node& child, Change&& change) {
    if (!child.waiting.empty()) parent.ready.erase(keyOf(child));
    change();
    if (!child.waiting.empty()) parent.ready.insert(keyOf(child));
}

FairTurns::Turn FairTurns::ask(const Claimant& claimant) {
    const Turn turn = ++turns_;
    Owner owner;
    Node* parent = &place_;
    for (const std::string* name : {&claimant.group, &claimant.neighbourhood, &claimant.member}) {
        if (name->empty() && name == &claimant.neighbourhood) continue;
        auto [at, added] = parent->children.try_emplace(*name);
        Node& node = at->second;
        if (added) node.name = *name;
        if (node.waiting.empty()) {
            if (node.held == 0) parent->resting.erase({node.finish, &node});
            node.cameOver = node.held == 0 && node.finish <= parent->virtualTime;
            node.start = std::max(parent->virtualTime, node.finish);
            node.waiting.insert(turn);
            parent->ready.insert(keyOf(node));
        } else {
            node.waiting.insert(turn);
        }
        owner.path[owner.levels++] = parent = &node;
    }
    byTurn_.emplace(turn, owner);
    ++waiting_;
    return turn;
}

std::optional<FairTurns::Turn> FairTurns::next() {
    if (place_.ready.empty()) return std::nullopt;
    Node* member = &place_;
    while (!member->ready.empty())
        member = std::get<2>(*member->ready.begin());
    const Turn turn = *member->waiting.begin();
    Owner& owner = byTurn_.at(turn);
    for (size_t level = 0; level < owner.levels; ++level) {
        Node& parent = owner.parentOf(level, place_);
        Node& node = *owner.path[level];
        parent.virtualTime = std::max(parent.virtualTime, node.start);
        rekey(parent, node, [&] {
            node.waiting.erase(turn);
            node.finish = node.start + leastTurn_;
            node.start = node.finish;
        });
        // A child that came with its turns over started at the virtual time, and moves it on by what
        // its turn holds (its least now, the rest as it ends) shared among those waiting with it and
        // one more, as GPS's virtual time moves, but never past a start still waiting: a stream of
        // claimants each asking once (a crowd sending each request from an address never used
        // before) would otherwise each start at a virtual time that never moves, ahead of one a turn
        // on, for as long as the stream lasts.
        owner.cameOver[level] = std::exchange(node.cameOver, false);
        if (owner.cameOver[level]) moveOn(parent, leastTurn_);
        ++node.held;
        forgetReached(parent);
    }
    owner.placed = true;
    --waiting_;
    ++heldTurns_;
    return turn;
}

void FairTurns::withdraw(Turn turn) {
    const auto found = byTurn_.find(turn);
    if (found == byTurn_.end() || found->second.placed) return;
    const Owner owner = found->second;
    byTurn_.erase(found);
    for (size_t level = 0; level < owner.levels; ++level)
        rekey(owner.parentOf(level, place_), *owner.path[level], [&] { owner.path[level]->waiting.erase(turn); });
    --waiting_;
    settle(owner);
}

void FairTurns::end(Turn turn, Duration held) {
    const auto found = byTurn_.find(turn);
    if (found == byTurn_.end() || !found->second.placed) return;
    const Owner owner = found->second;
    byTurn_.erase(found);
    const Duration beyond = std::max(Duration::zero(), held - leastTurn_);
    for (size_t level = 0; level < owner.levels; ++level) {
        Node& parent = owner.parentOf(level, place_);
        Node& node = *owner.path[level];
        rekey(parent, node, [&] {
            node.finish += beyond;
            node.start = std::max(node.start, node.finish);
        });
        // Only now, so that the start it may not pass is its own as this turn leaves it.
        if (owner.cameOver[level]) moveOn(parent, beyond);
        --node.held;
    }
    --heldTurns_;
    settle(owner);
}

void FairTurns::moveOn(Node& node, Duration held) {
    const auto ahead = node.ready.upper_bound({node.virtualTime, std::numeric_limits<Turn>::max(), nullptr});
    if (ahead == node.ready.end()) return;
    node.virtualTime = std::min(node.virtualTime + held / static_cast<Duration::rep>(node.ready.size() + 1),
                                std::get<0>(*ahead));
}

void FairTurns::settle(const Owner& owner) {
    if (waiting_ == 0 && heldTurns_ == 0) {
        // The place is idle: nobody's past turns count against the next.
        place_ = Node{};
        return;
    }
    // From the member up: an idle child rests until its parent's virtual time reaches its finish.
    for (size_t level = owner.levels; level-- > 0;) {
        Node& parent = owner.parentOf(level, place_);
        Node& node = *owner.path[level];
        if (!node.idle()) return;
        if (node.finish > parent.virtualTime)
            parent.resting.emplace(node.finish, &node);
        else
            parent.children.erase(std::string(node.name));
    }
}

void FairTurns::forgetReached(Node& node) {
    while (!node.resting.empty() && node.resting.begin()->first <= node.virtualTime) {
        const std::string name = node.resting.begin()->second->name;
        node.resting.erase(node.resting.begin());
        node.children.erase(name);
    }
}

size_t FairTurns::Node::leaves() const {
    size_t count = 0;
    for (const auto& [name, child] : children)
        count += child.children.empty() ? 1 : child.leaves();
    return count;
}

size_t FairTurns::waiting() const {
    return waiting_;
}

size_t FairTurns::groups() const {
    return place_.children.size();
}

size_t FairTurns::members() const {
    return place_.leaves();
}

} // namespace cw::server
