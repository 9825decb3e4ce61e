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

void LAContext::evaluatePolicy(LAPolicy, std::string localizedReason, Reply reply) {
    const auto current = cw::biometricAnswers();
    std::optional<LAError::Code> failure = unavailability(current);
    if (!failure) failure = current.evaluationError;
    if (localizedReason.empty()) failure = LAError::invalidContext; // the platform refuses an empty reason
    ReplyThread::shared().post([reply = std::move(reply), failure] {
        if (!reply) return;
        if (failure)
            reply(false, laError(*failure, describe(*failure)));
        else
            reply(true, std::nullopt);
    });
}
