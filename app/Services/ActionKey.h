#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NotificationObserver;
class UIView;

// The key of one of the member's actions that create or change something (a post, a comment, a
// milestone, an invitation, her babies, her details, her password, an account). The request that
// does it carries the key in "Idempotency-Key", and the server does one action once for its key: a
// request sent again after a failure that brought no answer (a reset after the server stored it, a
// time-out), or a click that lands after a quick answer, is answered as the first was instead of
// being done twice.
//
// A key goes with one request only: a request that differs from the one the key first went with (the
// form changed in a way its screen did not hear of, a picture that arrived meanwhile) takes a new key,
// which the action keeps from then on, rather than be refused by the server for another request's key.
// Copies share the key. Main thread only.
class ActionKey {
public:
    // A new action: 128 random bits as 32 hexadecimal digits, no two alike.
    ActionKey();

    const std::string& value() const { return state_->key; }
    // The key for the request whose parts give `request` (Fingerprint::value()).
    const std::string& keyFor(const std::string& request);
    // Whether both are one action (copies of one key).
    bool isSameAction(const ActionKey& other) const { return state_ == other.state_; }

    // A fingerprint of a request's parts, in order.
    class Fingerprint {
    public:
        Fingerprint& add(std::string_view part);
        std::string value() const;

    private:
        std::uint64_t first_ = 1469598103934665603ULL;
        std::uint64_t second_ = 0x9E3779B97F4A7C15ULL;
    };

private:
    struct State {
        std::string key;
        // What the key was first sent with.
        std::optional<std::string> request;
    };
    std::shared_ptr<State> state_;
};

// What the member does with one form (a composer, the comment bar, a milestone form, My Account...),
// kept by the screen that shows it and handed to the service call as its key.
//
// Her first tap on the form's button begins an action and makes its key. The form as it stands
// belongs to that action: every later tap sends the same key, before or after an answer, and so does
// every resend the application makes. While the request is on its way the form takes no tap; after a
// success it takes none until it changes (a screen that leaves on success takes none until it is
// gone). A failure lets the next tap through, with the same key. The key is let go when the form
// changes (any edit of its fields or pictures: the same words typed again are a new action, free to
// go though the older one's answer has not come), when the screen goes (the object goes with it), or
// when the session ends (another member signed in).
//
// Main thread only.
class FormAction {
public:
    FormAction();
    ~FormAction();
    FormAction(const FormAction&) = delete;
    FormAction& operator=(const FormAction&) = delete;

    // Every edit typed into a text field or a text view inside `form` changes the form. Changes made
    // otherwise (a picture, a wheel, a picker) the screen reports with changed().
    void watchTyping(const std::shared_ptr<UIView>& form);
    // The form changed: the next tap is a new action with a new key.
    void changed();

    // A tap on the form's button: calls `request` with the action's key and returns true, or calls
    // nothing and returns false while the action's request is on its way or once it succeeded.
    bool send(const std::function<void(const ActionKey& key)>& request);
    // The answer to the request sent with `key`: a success ends the form's taps, a failure lets the
    // next tap send the same key again. The answer of an action the form has left (it changed since)
    // changes nothing.
    void succeeded(const ActionKey& key);
    void failed(const ActionKey& key);

    bool isSending() const { return sending_; }

private:
    std::optional<ActionKey> key_;
    // The session the key belongs to.
    std::uint64_t session_;
    bool sending_ = false;
    bool done_ = false;
    std::vector<std::shared_ptr<NotificationObserver>> watching_;
};
