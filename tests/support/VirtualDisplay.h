#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace cw::test {

// A program of that name on the PATH, if there is one.
std::optional<std::filesystem::path> findProgram(const std::string& name);

// A private X server (Xvfb, 1024x768) for the length of one test, on a display number no other
// server uses.
class VirtualDisplay {
public:
    explicit VirtualDisplay(const std::filesystem::path& xvfb);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool ready() const { return pid_ > 0; }
    // ":<number>", for DISPLAY.
    const std::string& name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace cw::test
