#include "hosts/sample-host/SampleApp.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "host/HeadlessHost.h"
#include "host/WindowHost.h"
#include "tests/support/VirtualDisplay.h"
#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/UIImage.h"
#include "tests/support/TempDirectory.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using cw::test::findProgram;
using cw::test::VirtualDisplay;

// A virtual display of its own for each test, and a phone screen of 375 x 667 points on it.
class WindowHost : public ::testing::Test {
protected:
    void SetUp() override {
        auto xvfb = findProgram("Xvfb");
        if (!xvfb)
            GTEST_SKIP()
                << "Xvfb is not installed, so the window host cannot be opened here (apt-get install xvfb)";
        display_ = std::make_unique<VirtualDisplay>(*xvfb);
        ASSERT_TRUE(display_->ready()) << "Xvfb did not start";
        ::setenv("DISPLAY", display_->name().c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
        UIScreen::main().setSize({375, 667});
    }

private:
    std::unique_ptr<VirtualDisplay> display_;
};

TEST_F(WindowHost, OpensTheSampleInAWindowAndTakesAScreenshot) {
    cw::WindowHostOptions options;
    const cw::test::TempDirectory directory("cw-window-host");
    options.screenshotPath = directory / "window-host.png";
    options.maxSeconds = 20;
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

namespace {

// A white screen with one red target in its lower half; a finger lifting on it quits with 0.
class RedTargetApplication : public cw::WhiteScreenApplication {
public:
    bool didFinishLaunchingWithOptions(UIApplication& application, const LaunchOptions& options) override {
        cw::WhiteScreenApplication::didFinishLaunchingWithOptions(application, options);
        auto target = std::make_shared<cw::TapTargetView>();
        target->setFrame({60, 420, 120, 80});
        target->setBackgroundColor(UIColor(1, 0, 0, 1));
        target->onTap = [] { ::_exit(0); };
        root->view()->addSubview(target);
        return true;
    }
};

SDL_Window* hostWindow() {
    for (Uint32 id = 1; id < 16; ++id)
        if (auto* w = SDL_GetWindowFromID(id)) return w;
    return nullptr;
}

// The middle of the red pixels the window shows, in window coordinates; none when there are none.
std::optional<SDL_Point> middleOfRed(SDL_Window* window) {
    SDL_Renderer* renderer = SDL_GetRenderer(window);
    int width = 0, height = 0;
    if (!renderer || SDL_GetRendererOutputSize(renderer, &width, &height) != 0) return std::nullopt;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4) != 0)
        return std::nullopt;
    long sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] &
                 0xffffffu) == 0xff0000u) {
                sumX += x;
                sumY += y;
                ++count;
            }
    if (count == 0) return std::nullopt;
    return SDL_Point{static_cast<int>(sumX / count), static_cast<int>(sumY / count)};
}

void click(SDL_Window* window, SDL_Point at) {
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = SDL_GetWindowID(window);
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = at.x;
        e.button.y = at.y;
        SDL_PushEvent(&e);
    }
}

} // namespace

TEST_F(WindowHost, AClickOnWhatAResizedWindowDrawsLandsOnIt) {
    cw::WindowHostOptions options;
    options.maxSeconds = 20;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Once the screen is up, the window is made twice as wide and a little less tall; then the
        // mouse clicks the middle of the red target where the window now draws it. The target quits
        // with 0; anything else leaves the host to quit with 3 (no target drawn: 4).
        RunLoop::main().addTimer(Clock::uptime() + 1.5, [] {
            if (auto* w = hostWindow()) {
                int width = 0, height = 0;
                SDL_GetWindowSize(w, &width, &height);
                SDL_SetWindowSize(w, width * 2, height - 40);
            }
        });
        RunLoop::main().addTimer(Clock::uptime() + 3, [] {
            auto* w = hostWindow();
            auto red = w ? middleOfRed(w) : std::nullopt;
            if (!red) ::_exit(4);
            click(w, *red);
        });
        RunLoop::main().addTimer(Clock::uptime() + 4.5, [] { ::_exit(3); });
        ::_exit(cw::runWindowHost(std::make_shared<RedTargetApplication>(), options));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the window host crashed";
    EXPECT_NE(WEXITSTATUS(status), 4) << "the window drew no target";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the click on the drawn target went elsewhere";
}

namespace {

// The photo library opened over a white screen as the application starts. The picture a tap picks
// ends the host: 0 when it is red, 5 when it is another.
class LibraryApplication : public cw::WhiteScreenApplication {
public:
    class Screen : public UIImagePickerControllerDelegate {
    public:
        void didFinishPickingMediaWithInfo(UIImagePickerController&, const UIImagePickerInfo& info) override {
            auto image = std::any_cast<std::shared_ptr<UIImage>>(info.at(UIImagePickerControllerOriginalImage));
            ::_exit((image->pixel(image->pixelWidth() / 2, image->pixelHeight() / 2) & 0xffffffu) == 0xff0000u ? 0 : 5);
        }
    };
    bool didFinishLaunchingWithOptions(UIApplication& application, const LaunchOptions& options) override {
        cw::WhiteScreenApplication::didFinishLaunchingWithOptions(application, options);
        auto picker = std::make_shared<UIImagePickerController>();
        picker->setDelegate(screen);
        root->present(picker, false);
        return true;
    }
    std::shared_ptr<Screen> screen = std::make_shared<Screen>();
};

} // namespace

// The window host of the test below, in a process of its own: the library's thumbnails are made
// on worker threads, which a child forked from a process whose earlier tests started them lacks.
TEST(WindowHostChild, ClicksTheRedTileOfTheLibrary) {
    const char* folder = std::getenv("CW_TEST_LIBRARY_FOLDER");
    if (!folder) GTEST_SKIP() << "run by WindowHost.AClickOnAPhotoOfTheLibraryPicksIt";
    UIScreen::main().setSize({375, 667});
    cw::WindowHostOptions options;
    options.photoLibraryFolder = folder;
    options.maxSeconds = 30;
    // Once the red tile's thumbnail is drawn, the mouse clicks its middle; the pick quits (0 for
    // the red picture). A click that picks nothing leaves the host to quit with 3 a little later;
    // no red tile drawn within 15 seconds, with 4.
    static std::function<void()> look;
    look = [] {
        auto* w = hostWindow();
        if (auto red = w ? middleOfRed(w) : std::nullopt) {
            click(w, *red);
            RunLoop::main().addTimer(Clock::uptime() + 3, [] { ::_exit(3); });
            return;
        }
        RunLoop::main().addTimer(Clock::uptime() + 0.25, look);
    };
    RunLoop::main().addTimer(Clock::uptime() + 0.5, look);
    RunLoop::main().addTimer(Clock::uptime() + 15, [] { ::_exit(4); });
    ::_exit(cw::runWindowHost(std::make_shared<LibraryApplication>(), options));
}

// As a family found it: the photo library had nothing to click. Her pictures folder shows as tiles,
// and a click on the red picture's tile, where the window draws it, picks the red picture.
TEST_F(WindowHost, AClickOnAPhotoOfTheLibraryPicksIt) {
    const cw::test::TempDirectory folder("cw-window-photos");
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& [name, colour, hoursAgo] : {std::tuple{"blue.png", 0xFF0000FFu, 1}, {"red.png", 0xFFFF0000u, 2}}) {
        std::vector<std::uint32_t> pixels(400 * 300, colour);
        ASSERT_TRUE(UIImage::fromPixels(400, 300, 1, pixels.data())->writePNG(folder / name));
        std::filesystem::last_write_time(folder / name, now - std::chrono::hours(hoursAgo));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("CW_TEST_LIBRARY_FOLDER", folder.path().c_str(), 1);
        ::execl("/proc/self/exe", "host_tests", "--gtest_filter=WindowHostChild.ClicksTheRedTileOfTheLibrary",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the window host crashed";
    EXPECT_NE(WEXITSTATUS(status), 4) << "the window drew no red tile";
    EXPECT_NE(WEXITSTATUS(status), 5) << "the click picked another picture";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the click on the red tile picked nothing";
}

// The library's folder: the one given, else the desktop's pictures folder (as its settings name it,
// else ~/Pictures) when it holds pictures, else the demo set.
TEST(WindowHostPhotoLibrary, TheLibraryIsTheGivenFolderElseTheDesktopsPicturesElseTheDemoSet) {
    const cw::test::TempDirectory home("cw-home");
    std::filesystem::create_directories(home / ".config");
    std::filesystem::create_directories(home / "Bilder");
    std::filesystem::create_directories(home / "Pictures");
    const auto photo = [](const std::filesystem::path& file) {
        std::vector<std::uint32_t> pixels(4, 0xFF00FF00u);
        ASSERT_TRUE(UIImage::fromPixels(2, 2, 1, pixels.data())->writePNG(file));
    };
    std::map<std::string, std::string> variables{{"HOME", home.path().string()}};
    const auto environment = [&variables](const char* name) -> const char* {
        auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
    cw::WindowHostOptions options;
    options.demoPhotos = home / "demo";
    // Nothing on the desktop: the demo set.
    EXPECT_EQ(cw::photoLibraryFolderFor(options, environment), home / "demo");
    photo(home / "Pictures" / "a.png");
    EXPECT_EQ(cw::photoLibraryFolderFor(options, environment), home / "Pictures");
    // The desktop's settings name another folder; empty, it falls back to ~/Pictures.
    std::ofstream(home / ".config" / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                       << "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    EXPECT_EQ(cw::photoLibraryFolderFor(options, environment), home / "Pictures");
    photo(home / "Bilder" / "b.png");
    EXPECT_EQ(cw::photoLibraryFolderFor(options, environment), home.path().string() + "/Bilder");
    // The folder given on the command line wins, pictures or not.
    options.photoLibraryFolder = home / "given";
    EXPECT_EQ(cw::photoLibraryFolderFor(options, environment), home / "given");
}
