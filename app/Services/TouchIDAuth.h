#pragma once

#include "security/biometrics/LAContext.h"

#include <functional>
#include <optional>
#include <string>

// Asks the device owner to confirm with Touch ID for sign-in. A new object is made for each attempt.
class TouchIDAuth {
public:
    // Called on the main queue: none on success, otherwise the message to show.
    using Completion = std::function<void(std::optional<std::string> message)>;

    LAContext context;

    // When the device cannot evaluate biometrics, returns without ever calling `completion`; nor is
    // it called once the session generation has moved on since the check was asked for (a sign-in,
    // a sign-up or a logout came meanwhile).
    void authenticateUser(Completion completion);

    // The message of a failed check: one of the three known errors, or the catch-all.
    static std::string message(const std::optional<NSError>& error);
};
