#include "VirtualDisplay.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cw::test {

std::optional<std::filesystem::path> findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = dirs.find(':', start);
        const std::filesystem::path candidate =
            std::filesystem::path(
                dirs.substr(start, end == std::string::npos ? std::string::npos : end - start)) /
            name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return std::nullopt;
}

VirtualDisplay::VirtualDisplay(const std::filesystem::path& xvfb) {
    for (int n = 90 + static_cast<int>(::getpid() % 100); n < 400 && pid_ <= 0; n += 7) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
        display_ = ":" + std::to_string(n);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(xvfb.c_str(), "Xvfb", display_.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // The server is another process: waiting for its socket to appear is waiting on the world.
        for (int i = 0; i < 100; ++i) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) return;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

} // namespace cw::test
