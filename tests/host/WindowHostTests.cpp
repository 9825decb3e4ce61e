#include "hosts/sample-host/SampleApp.h"

#include "host/WindowHost.h"
#include "tests/support/VirtualDisplay.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using cw::test::findProgram;
using cw::test::VirtualDisplay;

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
