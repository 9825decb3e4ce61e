#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

// The keys of the member's actions that create something (a post, a comment, a milestone, an
// invitation, a baby, an account, a picture). Each such request carries its action's key in the
// "Idempotency-Key" header, and the server does one action once for its key: a request sent again
// after a failure that brought no answer (a connection reset after the server stored it, a time-out)
// is answered as the first was instead of being stored twice.
//
// An action is known by what it sends: the same request (the same address, parameters and pictures)
// sent again while the last one went unanswered is the member trying that action
// again, and takes its key; anything else (changed text, another picture, a new post once the last was
// answered) is a new action with a new key. Once the server has answered an action (whether it took it
// or refused it), its key is let go: the next request, even the same one, is a new action.
//
// Any thread.
class ActionKeys {
public:
    static ActionKeys& shared();

    // The key of the request known by `fingerprint`: the key of the same request still unanswered, or a
    // new one. Not by session: a sign-up or a sign-in begins a session generation each time it is sent,
    // so its retry would never find its key, and a member's request names her ("user_id"), so another
    // member's same-looking request is another action anyway.
    std::string keyFor(const std::string& fingerprint);
    // The server answered the action that holds `key`.
    void answered(const std::string& key);

    // A fingerprint of a request's parts, in order.
    class Fingerprint {
    public:
        Fingerprint& add(std::string_view part);
        std::string value() const;

    private:
        std::uint64_t first_ = 1469598103934665603ULL;
        std::uint64_t second_ = 0x9E3779B97F4A7C15ULL;
    };

    // How many unanswered actions are remembered; past it the oldest is forgotten.
    static constexpr std::size_t kRemembered = 64;

private:
    struct Action {
        std::string fingerprint;
        std::string key;
    };
    std::mutex mutex_;
    std::deque<Action> unanswered_;
};
