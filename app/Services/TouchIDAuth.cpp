#include "Services/TouchIDAuth.h"

#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/DispatchQueue.h"

#include <iostream>

std::string TouchIDAuth::message(const std::optional<NSError>& error) {
    if (error && error->domain == LAErrorDomain) {
        switch (error->code) {
        case LAError::authenticationFailed:
            return "There was a problem verifying your identity.";
        case LAError::userCancel:
            return "You pressed cancel.";
        case LAError::userFallback:
            return "You pressed password.";
        default:
            break;
        }
    }
    return "Touch ID may not be configured";
}

void TouchIDAuth::authenticateUser(Completion completion) {
    if (!context.canEvaluatePolicy(LAPolicy::deviceOwnerAuthenticationWithBiometrics)) return;
    // A match that comes once the session has moved on (somebody signed in meanwhile, or out) is
    // no sign-in asked for now: nobody hears of it.
    const auto asked = AuthenticationContext::shared().sessionGeneration();
    auto current = [asked] { return AuthenticationContext::shared().sessionGeneration() == asked; };
    completion = [current, completion = std::move(completion)](std::optional<std::string> message) {
        if (current() && completion) completion(std::move(message));
    };
    context.evaluatePolicy(
        LAPolicy::deviceOwnerAuthenticationWithBiometrics, "Login with Touch ID",
        [completion = std::move(completion)](bool success, std::optional<NSError> error) mutable {
            // The reply comes on the platform's own thread. Both outcomes are handed to the main
            // queue, so the sign-in screen may update itself either way; the completion is moved
            // there rather than copied, so what it captures (the screen) is released on the main
            // thread too, never on the reply thread.
            if (success) {
                DispatchQueue::main().async([completion = std::move(completion)] {
                    std::cout << "Successfully done with touch ID" << std::endl;
                    if (completion) completion(std::nullopt);
                });
            } else {
                DispatchQueue::main().async([completion = std::move(completion), text = message(error)] {
                    if (completion) completion(text);
                });
            }
        });
}
