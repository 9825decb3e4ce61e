#pragma once

#include "foundation/json/NSError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The device owner check. This platform has no sensor of its own: the host (or a test) says what the
// check finds with cw::setBiometricAnswers, and every LAContext answers from that. A host that draws
// the system's prompt installs it (cw::setBiometricPrompt): an evaluation then shows the prompt with
// its reason and waits for a finger on the sensor (cw::putFingerOnSensor) or the prompt's Cancel.

enum class LAPolicy : std::int64_t {
    deviceOwnerAuthenticationWithBiometrics = 1,
    deviceOwnerAuthentication = 2,
};

enum class LABiometryType : std::int64_t {
    none = 0,
    touchID = 1,
    faceID = 2,
};

inline constexpr std::string_view LAErrorDomain = "com.apple.LocalAuthentication";

// The codes of errors in LAErrorDomain.
struct LAError {
    enum Code : std::int64_t {
        authenticationFailed = -1, // the finger did not match, and the check gave up
        userCancel = -2,           // the person tapped Cancel
        userFallback = -3,         // the person tapped the password button
        systemCancel = -4,
        passcodeNotSet = -5,
        biometryNotAvailable = -6,
        biometryNotEnrolled = -7,
        biometryLockout = -8,
        appCancel = -9,
        invalidContext = -10,
    };
};

namespace cw {

// What the owner check of this device does.
struct BiometricAnswers {
    // The sensor's kind; none means the device has no usable sensor.
    LABiometryType biometryType = LABiometryType::none;
    // Why canEvaluatePolicy answers false when it does (none is "no sensor"): biometryNotAvailable,
    // biometryNotEnrolled or biometryLockout.
    std::optional<LAError::Code> unavailableBecause;
    // How an evaluation ends: none is a match; otherwise the error code it fails with
    // (authenticationFailed for a finger that does not match, userCancel, userFallback, ...).
    std::optional<LAError::Code> evaluationError;
};

// Sets what every LAContext answers from now on (the default: no sensor).
void setBiometricAnswers(BiometricAnswers answers);
BiometricAnswers biometricAnswers();
// The common case: a Touch ID sensor reading a finger that matches or not, or no sensor at all.
void setTouchIDAnswers(bool available, bool matches);

// The system's prompt while an evaluation waits for the owner's finger. Called on the main thread.
class BiometricPrompt {
public:
    virtual ~BiometricPrompt() = default;
    // Shows the prompt with the application's reason; `cancel` is what the prompt's Cancel does.
    virtual void show(const std::string& localizedReason, std::function<void()> cancel) = 0;
    virtual void hide() = 0;
};
// Installs the prompt (none: evaluations answer at once from the answers, as without a screen). An
// evaluation waiting at the prompt being replaced ends with systemCancel.
void setBiometricPrompt(std::shared_ptr<BiometricPrompt> prompt);
// A finger that matches or not on the device's Touch ID sensor (which the device has from now on,
// reading that finger). An evaluation waiting at the prompt takes it: the prompt goes and the
// evaluation replies with a match, or with authenticationFailed. True when one was waiting.
bool putFingerOnSensor(bool matches);

} // namespace cw

class LAContext {
public:
    using Reply = std::function<void(bool success, std::optional<NSError> error)>;

    LAContext() = default;

    // True when `policy` can be evaluated now. Otherwise false, and `error` (when given) receives the
    // reason. Also sets biometryType.
    bool canEvaluatePolicy(LAPolicy policy, std::optional<NSError>* error = nullptr);
    // The sensor found by the last canEvaluatePolicy (none before the first).
    LABiometryType biometryType() const { return biometryType_; }
    // Asks the device owner to confirm. `reply` runs later, on a background thread of the platform (never
    // the calling thread), with true and no error, or false and an error of LAErrorDomain.
    void evaluatePolicy(LAPolicy policy, std::string localizedReason, Reply reply);

private:
    LABiometryType biometryType_ = LABiometryType::none;
};
