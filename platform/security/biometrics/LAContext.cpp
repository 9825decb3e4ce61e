#include "security/biometrics/LAContext.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

std::mutex& answersMutex() {
    static std::mutex mutex;
    return mutex;
}

cw::BiometricAnswers& answers() {
    static cw::BiometricAnswers value;
    return value;
}

// The prompt installed, and the reply of the evaluation waiting at it (guarded by answersMutex).
struct PromptState {
    std::shared_ptr<cw::BiometricPrompt> prompt;
    LAContext::Reply waiting;
    bool hasWaiting = false;
};

PromptState& promptState() {
    static PromptState state;
    return state;
}

// The thread on which replies are delivered, as the platform delivers them on a queue of its own.
class ReplyThread {
public:
    static ReplyThread& shared() {
        static ReplyThread thread;
        return thread;
    }
    void post(std::function<void()> work) {
        {
            std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
        }
        ready_.notify_one();
    }
    ~ReplyThread() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_one();
        thread_.join();
    }

private:
    ReplyThread() : thread_([this] { run(); }) {}
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return stopping_ || !work_.empty(); });
            if (work_.empty()) return; // stopping, and everything delivered
            auto work = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> work_;
    bool stopping_ = false;
    std::thread thread_;
};

NSError laError(LAError::Code code, std::string description) {
    return NSError(std::string(LAErrorDomain), code, {{std::string(NSLocalizedDescriptionKey), description}});
}

std::string describe(LAError::Code code) {
    switch (code) {
    case LAError::authenticationFailed:
        return "Application retry limit exceeded.";
    case LAError::userCancel:
        return "Canceled by user.";
    case LAError::userFallback:
        return "Fallback authentication mechanism selected.";
    case LAError::systemCancel:
        return "Canceled by another authentication.";
    case LAError::passcodeNotSet:
        return "Passcode not set.";
    case LAError::biometryNotAvailable:
        return "Biometry is not available on this device.";
    case LAError::biometryNotEnrolled:
        return "No identities are enrolled.";
    case LAError::biometryLockout:
        return "Biometry is locked out.";
    case LAError::appCancel:
        return "Canceled by the application.";
    case LAError::invalidContext:
        return "The context is invalid.";
    }
    return "Authentication failed.";
}

// Why the policy cannot be evaluated under `current`, or none when it can.
std::optional<LAError::Code> unavailability(const cw::BiometricAnswers& current) {
    if (current.unavailableBecause) return current.unavailableBecause;
    if (current.biometryType == LABiometryType::none) return LAError::biometryNotAvailable;
    return std::nullopt;
}

} // namespace

namespace cw {

void setBiometricAnswers(BiometricAnswers value) {
    std::lock_guard lock(answersMutex());
    answers() = value;
}

void setTouchIDAnswers(bool available, bool matches) {
    BiometricAnswers answers;
    if (available) {
        answers.biometryType = LABiometryType::touchID;
        if (!matches) answers.evaluationError = LAError::authenticationFailed;
    } else {
        answers.unavailableBecause = LAError::biometryNotAvailable;
    }
    setBiometricAnswers(answers);
}

BiometricAnswers biometricAnswers() {
    std::lock_guard lock(answersMutex());
    return answers();
}

} // namespace cw

bool LAContext::canEvaluatePolicy(LAPolicy, std::optional<NSError>* error) {
    const auto current = cw::biometricAnswers();
    biometryType_ = current.biometryType;
    if (error) error->reset();
    if (auto reason = unavailability(current)) {
        if (error) *error = laError(*reason, describe(*reason));
        return false;
    }
    return true;
}

namespace {

// Delivers an evaluation's end on the platform's reply thread.
void replyLater(LAContext::Reply reply, std::optional<LAError::Code> failure) {
    ReplyThread::shared().post([reply = std::move(reply), failure] {
        if (!reply) return;
        if (failure)
            reply(false, laError(*failure, describe(*failure)));
        else
            reply(true, std::nullopt);
    });
}

// Ends the evaluation waiting at the prompt, if one is, with `failure` (none: a match).
bool endWaitingEvaluation(std::optional<LAError::Code> failure) {
    LAContext::Reply reply;
    std::shared_ptr<cw::BiometricPrompt> prompt;
    {
        std::lock_guard lock(answersMutex());
        auto& state = promptState();
        if (!state.hasWaiting) return false;
        state.hasWaiting = false;
        reply = std::move(state.waiting);
        state.waiting = nullptr;
        prompt = state.prompt;
    }
    if (prompt) prompt->hide();
    replyLater(std::move(reply), failure);
    return true;
}

} // namespace

namespace cw {

void setBiometricPrompt(std::shared_ptr<BiometricPrompt> prompt) {
    endWaitingEvaluation(LAError::systemCancel);
    std::lock_guard lock(answersMutex());
    promptState().prompt = std::move(prompt);
}

bool putFingerOnSensor(bool matches) {
    setTouchIDAnswers(true, matches);
    return endWaitingEvaluation(matches ? std::nullopt : std::optional(LAError::authenticationFailed));
}

} // namespace cw

void LAContext::evaluatePolicy(LAPolicy, std::string localizedReason, Reply reply) {
    const auto current = cw::biometricAnswers();
    std::optional<LAError::Code> failure = unavailability(current);
    if (localizedReason.empty()) failure = LAError::invalidContext; // the platform refuses an empty reason
    std::shared_ptr<cw::BiometricPrompt> prompt;
    {
        std::lock_guard lock(answersMutex());
        prompt = promptState().prompt;
    }
    if (failure || !prompt) {
        replyLater(std::move(reply), failure ? failure : current.evaluationError);
        return;
    }
    // One prompt at a time: a new evaluation cancels the one waiting.
    endWaitingEvaluation(LAError::systemCancel);
    {
        std::lock_guard lock(answersMutex());
        promptState().waiting = std::move(reply);
        promptState().hasWaiting = true;
    }
    prompt->show(localizedReason, [] { endWaitingEvaluation(LAError::userCancel); });
}
