#include "foundation/device/UIDevice.h"

#include <sys/utsname.h>

#include <cctype>
#include <mutex>

namespace {

std::mutex& overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& machineOverride() {
    static std::optional<std::string> machine;
    return machine;
}

struct utsname hostNames() {
    struct utsname names {};
    if (::uname(&names) != 0) names = {};
    return names;
}

} // namespace

UIDevice& UIDevice::current() {
    static UIDevice device;
    return device;
}

std::string UIDevice::systemName() const {
    const auto names = hostNames();
    return names.sysname[0] ? std::string(names.sysname) : std::string("Linux");
}

std::string UIDevice::systemVersion() const {
    const auto names = hostNames();
    // "6.1.0-18-amd64" → "6.1.0": the distribution's build suffix says more about the host than needed.
    std::string version;
    for (const char* c = names.release; *c && (std::isdigit(static_cast<unsigned char>(*c)) || *c == '.');
         ++c)
        version += *c;
    while (!version.empty() && version.back() == '.')
        version.pop_back();
    return version.empty() ? std::string("0") : version;
}

std::string UIDevice::model() const {
    return "Computer";
}

std::string UIDevice::unameMachineField() const {
    constexpr std::size_t fieldSize = sizeof(utsname::machine);
    {
        std::lock_guard lock(overrideMutex());
        if (const auto& machine = machineOverride()) {
            std::string field = machine->substr(0, fieldSize - 1);
            field.resize(fieldSize, '\0');
            return field;
        }
    }
    const auto names = hostNames();
    return std::string(names.machine, fieldSize);
}

void UIDevice::overrideUnameMachine(std::optional<std::string> machine) {
    std::lock_guard lock(overrideMutex());
    machineOverride() = std::move(machine);
}
