#pragma once

// The resident size of the test's process, in megabytes: `VmRSS:` now, or `VmHWM:` the peak since
// `resetPeakResidentSize()`. Sound only where freed memory goes back to the system: the sanitizers
// hold it back and shadow what is used, so there `residentSizeIsSound()` is false. Header only.

#include "tests/support/Sanitizers.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

namespace cw::test {

inline bool residentSizeIsSound() {
    return !builtWithAddressSanitizer() && !builtWithThreadSanitizer();
}

inline void resetPeakResidentSize() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline std::int64_t residentMegabytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0) return std::stoll(line.substr(length)) / 1024;
    return 0;
}

} // namespace cw::test
