#include "host/UIApplicationMain.h"

#include "host/HeadlessHost.h"
#include "host/HeadlessScript.h"
#include "host/WindowHost.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/UIScreen.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <iostream>
#include <malloc.h>
#include <memory>
#include <streambuf>
#include <string>
#include <unistd.h>

namespace {

// Writes straight to a file descriptor; each flush is one write (or as few as the pipe allows).
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}
    ~DescriptorBuffer() override {
        sync();
        ::close(fd_);
    }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) pending_.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        std::size_t done = 0;
        while (done < pending_.size()) {
            const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        const bool all = done == pending_.size();
        pending_.clear();
        return all ? 0 : -1;
    }

private:
    int fd_;
    std::string pending_;
};

// The replies to steps read from standard input keep standard output to themselves: it is set
// aside for them, and everything else the process writes there (the application's console, the
// servers' lines) goes to standard error from now on. None when the descriptors cannot be moved.
std::unique_ptr<DescriptorBuffer> setStandardOutputAsideForReplies() {
    std::cout.flush();
    std::fflush(stdout);
    const int replies = ::dup(STDOUT_FILENO);
    if (replies < 0) return nullptr;
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        ::close(replies);
        return nullptr;
    }
    return std::make_unique<DescriptorBuffer>(replies);
}

} // namespace

void cw::returnLargeBlocksToTheSystem() {
    // Fixed, so that no free raises them: blocks from 8 MB are mapped on their own, and the heap's
    // free top goes back past 64 MB, what the library's own rule comes to. Smaller blocks (a
    // screen's drawing, a picture's rows) are reused from the heap frame after frame as before.
    mallopt(M_MMAP_THRESHOLD, 8 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate) {
    return UIApplicationMain(argc, argv, makeDelegate, cw::WindowHostOptions());
}

int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate,
                      cw::WindowHostOptions options) {
    cw::returnLargeBlocksToTheSystem();
    bool headless = false;
    std::optional<std::filesystem::path> script;
    std::filesystem::path screenshots = ".";
    CGSize size{375, 667};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << arg << " needs a value" << std::endl;
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--headless") {
            headless = true;
        } else if (arg == "--script") {
            script = value();
        } else if (arg == "--screenshots") {
            screenshots = value();
        } else if (arg == "--screenshot") {
            options.screenshotPath = value();
        } else if (arg == "--picture") {
            options.pictureFile = value();
        } else if (arg == "--photos") {
            options.photoLibraryFolder = value();
        } else if (arg == "--touch-id") {
            // A device with a Touch ID sensor from the start (a screen that looks for one as it
            // loads finds it), reading a finger that matches or not.
            const std::string v = value();
            if (v != "match" && v != "nomatch") {
                std::cerr << "--touch-id wants match or nomatch" << std::endl;
                return 2;
            }
            cw::setTouchIDAnswers(true, v == "match");
        } else if (arg == "--seconds") {
            options.maxSeconds = std::atof(value().c_str());
        } else if (arg == "--size") {
            const std::string v = value();
            const auto x = v.find('x');
            const double w = x == std::string::npos ? 0 : std::atof(v.substr(0, x).c_str());
            const double h = x == std::string::npos ? 0 : std::atof(v.substr(x + 1).c_str());
            if (w < 100 || h < 100 || w > 4000 || h > 4000) {
                std::cerr << "--size wants WIDTHxHEIGHT in points, such as 375x667" << std::endl;
                return 2;
            }
            size = {w, h};
        } else {
            std::cerr << "unknown option " << arg << std::endl;
            return 2;
        }
    }
    if (script && !headless) {
        std::cerr << "--script runs only with --headless" << std::endl;
        return 2;
    }
    if (headless) {
        std::unique_ptr<DescriptorBuffer> replies;
        if (script && *script == "-") replies = setStandardOutputAsideForReplies();
        cw::HeadlessHost host(size);
        // The host's clock starts on a fixed day for tests; an application run by itself lives in
        // today's time, as the servers it talks to do (its "today" is theirs).
        host.setDate(Date::since1970(
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()));
        // A run without a window sees no desktop: its library is the folder given, else the demo set.
        UIApplication::shared().hostSettings().photoLibraryFolder =
            options.photoLibraryFolder.value_or(options.demoPhotos.value_or(std::filesystem::path()));
        host.launch(makeDelegate());
        int status = 0;
        if (script && *script == "-") {
            // Steps from standard input as a driver sends them, each answered on standard output.
            cw::HeadlessScriptOptions stepOptions;
            stepOptions.screenshotDirectory = screenshots;
            stepOptions.baseDirectory = std::filesystem::current_path();
            stepOptions.name = "standard input";
            std::ostream out(replies ? static_cast<std::streambuf*>(replies.get()) : std::cout.rdbuf());
            status = cw::runHeadlessSteps(host, std::cin, out, stepOptions);
        } else if (script) {
            status = cw::runHeadlessScriptFile(host, *script, screenshots, std::cerr);
        }
        if (options.screenshotPath) {
            std::string error;
            if (!cw::waitForSettledScreen(host, cw::HeadlessScriptOptions().waitSeconds, error)) {
                std::cerr << "cannot take the screenshot: " << error << std::endl;
                return 1;
            }
            if (!host.screenshot(*options.screenshotPath, &error)) {
                std::cerr << "cannot write the screenshot: " << error << std::endl;
                return 1;
            }
        }
        return status;
    }
    UIScreen::main().setSize(size);
    return cw::runWindowHost(makeDelegate(), options);
}
