#include "Services/ActionKey.h"

#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <random>

namespace {

// 128 random bits as 32 hexadecimal digits: no two actions share a key.
std::string newActionKey() {
    static std::mutex mutex;
    static std::random_device device;
    std::array<std::uint32_t, 4> words{};
    {
        std::lock_guard lock(mutex);
        for (auto& word : words)
            word = device();
    }
    char text[33];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
    return text;
}

} // namespace

ActionKey::ActionKey() : state_(std::make_shared<State>(State{newActionKey(), std::nullopt})) {}

const std::string& ActionKey::keyFor(const std::string& request) {
    if (!state_->request) {
        state_->request = request;
    } else if (*state_->request != request) {
        // The server would refuse another request under this key: this one is an action of its own.
        *state_ = State{newActionKey(), request};
    }
    return state_->key;
}

ActionKey::Fingerprint& ActionKey::Fingerprint::add(std::string_view part) {
    // Two unrelated hashes of every part and of its length, so that neither parts that run into each
    // other nor one hash's collision make two requests one.
    for (unsigned char byte : part) {
        first_ ^= byte;
        first_ *= 1099511628211ULL;
    }
    first_ ^= part.size();
    first_ *= 1099511628211ULL;
    const std::uint64_t hashed = std::hash<std::string_view>{}(part);
    second_ ^= hashed + 0x9E3779B97F4A7C15ULL + (second_ << 6) + (second_ >> 2);
    second_ ^= part.size() * 0xC2B2AE3D27D4EB4FULL;
    return *this;
}

std::string ActionKey::Fingerprint::value() const {
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(first_),
                  static_cast<unsigned long long>(second_));
    return text;
}

// FormAction

FormAction::FormAction() : session_(AuthenticationContext::shared().sessionGeneration()) {}

FormAction::~FormAction() {
    for (const auto& token : watching_)
        NotificationCenter::defaultCenter().removeObserver(token);
}

void FormAction::watchTyping(const std::shared_ptr<UIView>& form) {
    std::weak_ptr<UIView> weakForm = form;
    // The notifications name the edited view, which is alive while they are posted.
    auto watch = [this, weakForm](const UIView* edited) {
        const auto root = weakForm.lock();
        if (root && edited && edited->isDescendant(root.get())) changed();
    };
    auto& center = NotificationCenter::defaultCenter();
    watching_.push_back(center.addObserver(UITextFieldTextDidChangeNotification, nullptr, nullptr,
                                           [watch](const Notification& notification) {
                                               watch(static_cast<const UITextField*>(notification.object));
                                           }));
    watching_.push_back(center.addObserver(UITextViewTextDidChangeNotification, nullptr, nullptr,
                                           [watch](const Notification& notification) {
                                               watch(static_cast<const UITextView*>(notification.object));
                                           }));
}

void FormAction::changed() {
    key_.reset();
    sending_ = done_ = false;
}

bool FormAction::send(const std::function<void(const ActionKey& key)>& request) {
    // A request of a session that has ended is never answered, and its key is nobody's now.
    if (const auto session = AuthenticationContext::shared().sessionGeneration(); session != session_) {
        key_.reset();
        sending_ = done_ = false;
        session_ = session;
    }
    if (sending_ || done_) return false;
    if (!key_) key_.emplace();
    sending_ = true;
    const ActionKey key = *key_;
    request(key);
    // A sign-up begins a session of its own as it is sent: its key belongs to that one.
    session_ = AuthenticationContext::shared().sessionGeneration();
    return true;
}

void FormAction::succeeded(const ActionKey& key) {
    if (!key_ || !key_->isSameAction(key)) return;
    sending_ = false;
    done_ = true;
}

void FormAction::failed(const ActionKey& key) {
    if (key_ && key_->isSameAction(key)) sending_ = false;
}
