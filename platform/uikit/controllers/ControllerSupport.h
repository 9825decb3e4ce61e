#pragma once

// Small pieces every controller file shares: the console texts of the platform's warnings and
// fatal errors, object descriptions ("<FeedViewController: 0x...>"), and the timing of animated
// transitions on the main run loop.

#include <functional>
#include <string>
#include <typeinfo>

namespace cw {

// The type's name as the language prints it, without namespaces or template arguments.
std::string unqualifiedTypeName(const std::type_info& type);

// "<Name: 0x...>", the way the platform describes an object in its messages.
std::string objectDescription(const std::string& className, const void* object);

// One line on the console (standard error), as the platform's logging does.
void consoleLog(const std::string& line);

// The platform stopping the program: prints the reason and aborts.
[[noreturn]] void platformFatalError(const std::string& reason);
// The uncaught-exception form of it ("*** Terminating app due to uncaught exception ...").
[[noreturn]] void uncaughtException(const std::string& name, const std::string& reason);

// The name the system shows for the application (on a notification banner, in the Touch ID prompt):
// the main bundle's display name, else its bundle name, else empty.
std::string applicationDisplayName();

// How long an animated screen transition takes.
inline constexpr double kTransitionDuration = 0.35;

// Runs `done` once a transition ends: after kTransitionDuration on the main run loop when
// animated, at once otherwise.
void runTransition(bool animated, std::function<void()> done);
// Animated transitions that have started and not yet ended.
int transitionsInFlight();

} // namespace cw

namespace cw {
// Forgets transitions whose timers were dropped (tests that reset the run loop).
void resetTransitions();
} // namespace cw
