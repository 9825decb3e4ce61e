#include "uikit/controllers/ControllerSupport.h"

#include "foundation/bundle/Bundle.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIEvent.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace cw {

namespace {
int inFlight = 0;
}

std::string unqualifiedTypeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    if (auto lt = name.find('<'); lt != std::string::npos) name.erase(lt);
    if (auto colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
    return name;
}

std::string objectDescription(const std::string& className, const void* object) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", object);
    return "<" + className + ": " + address + ">";
}

void consoleLog(const std::string& line) {
    std::cerr << line << std::endl;
}

void platformFatalError(const std::string& reason) {
    std::cerr << "Fatal error: " << reason << std::endl;
    std::abort();
}

void uncaughtException(const std::string& name, const std::string& reason) {
    std::cerr << "*** Terminating app due to uncaught exception '" << name << "', reason: '" << reason << "'"
              << std::endl;
    std::abort();
}

std::string applicationDisplayName() {
    for (const char* key : {"CFBundleDisplayName", "CFBundleName"})
        if (auto name = Bundle::main().stringForInfoDictionaryKey(key); name && !name->empty()) return *name;
    return {};
}

void runTransition(bool animated, std::function<void()> done) {
    if (!animated) {
        done();
        return;
    }
    ++inFlight;
    beginIgnoringInteractionEvents();
    RunLoop::main().addTimer(Clock::uptime() + kTransitionDuration, [done = std::move(done)] {
        --inFlight;
        endIgnoringInteractionEvents();
        done();
    });
}

int transitionsInFlight() {
    return inFlight;
}

} // namespace cw

namespace cw {
void resetTransitions() {
    inFlight = 0;
    resetIgnoringInteractionEvents();
}
} // namespace cw
