#include "hosts/sample-host/SampleApp.h"

#include "host/WindowHost.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

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

// A private X server for the length of one test.
class VirtualDisplay {
public:
    explicit VirtualDisplay(const std::filesystem::path& xvfb) {
        for (int n = 90 + static_cast<int>(::getpid() % 100); n < 400 && pid_ <= 0; n += 7) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
            display_ = ":" + std::to_string(n);
            pid_ = ::fork();
            if (pid_ == 0) {
                ::execl(xvfb.c_str(), "Xvfb", display_.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                        "tcp", static_cast<char*>(nullptr));
                ::_exit(127);
            }
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
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    bool ready() const { return pid_ > 0; }
    const std::string& name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace

TEST(WindowHost, OpensTheSampleInAWindowAndTakesAScreenshot) {
    auto xvfb = findProgram("Xvfb");
    if (!xvfb)
        GTEST_SKIP()
            << "Xvfb is not installed, so the window host cannot be opened here (apt-get install xvfb)";
    VirtualDisplay display(*xvfb);
    ASSERT_TRUE(display.ready()) << "Xvfb did not start";
    ::setenv("DISPLAY", display.name().c_str(), 1);
    ::setenv("SDL_VIDEODRIVER", "x11", 1);

    UIScreen::main().setSize({375, 667});
    cw::WindowHostOptions options;
    options.screenshotPath = std::filesystem::current_path() / "screenshots" / "window-host.png";
    options.maxSeconds = 20;
    std::filesystem::remove(*options.screenshotPath);
    // The window host runs in a child process: SDL and the X libraries it loads stay out of this
    // process, and the child ends without running their exit-time clean-up.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(cw::runWindowHost(std::make_shared<SampleAppDelegate>(), options));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the window host crashed";
    ASSERT_EQ(WEXITSTATUS(status), 0);

    auto image = UIImage::fromFile(*options.screenshotPath);
    ASSERT_TRUE(image) << "no screenshot was written";
    // The 667-point screen fits the 768-pixel desktop only scaled down.
    EXPECT_LT(image->pixelHeight(), 768);
    EXPECT_NEAR(static_cast<double>(image->pixelWidth()) / image->pixelHeight(), 375.0 / 667.0, 0.01);
    // The list's white rows and the bar's dark title: more than one colour on screen.
    const UIColor top = image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() / 2);
    EXPECT_GT(top.white(), 0.9) << "the list is drawn on white";
}
