#pragma once

// The window host: the application in an SDL2 window at the screen's size (scaled down to fit the
// desktop), drawn with the view renderer. The mouse is a finger (press, drag, release; the wheel
// scrolls what is under the pointer, a picker's wheel a row a notch), the keyboard types into the
// first responder (not into a field whose input is a wheel), and function keys stand in for what a
// phone has and a desktop lacks. It redraws only when something changed: input, work on the run
// loop, or a running animation.

#include "uikit/controllers/UIApplication.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cw {

struct WindowHostOptions {
    std::string title = "Cradleway";
    // A picture file the "pick a picture" key hands to a shown photo picker, for scripts (a person
    // taps a tile of the photo library).
    std::optional<std::filesystem::path> pictureFile;
    // The folder whose pictures the photo library shows: this one when given, else the desktop's
    // pictures folder (XDG_PICTURES_DIR, else ~/Pictures) when it holds any, else `demoPhotos`.
    std::optional<std::filesystem::path> photoLibraryFolder;
    std::optional<std::filesystem::path> demoPhotos;
    // The payload the "push" key delivers.
    NotificationUserInfo pushPayload = NotificationUserInfo::object();
    // Take a screenshot of the window (its real pixels) once the application has settled, then
    // quit: for tests and scripts.
    std::optional<std::filesystem::path> screenshotPath;
    // Quit after this much real time (0 = run until the window is closed).
    double maxSeconds = 0;
};

// The photo library's folder as described for WindowHostOptions::photoLibraryFolder; `environment`
// reads the environment's variables (getenv by default) for tests.
std::filesystem::path photoLibraryFolderFor(const WindowHostOptions& options,
                                            const std::function<const char*(const char*)>& environment = nullptr);

// The key bindings, one per line, as printed when the host starts.
const char* windowHostKeyHelp();

// Runs the application until the window is closed (or the options say otherwise). Returns 0, or 1
// when the window cannot be made or the screenshot cannot be written (the reason on stderr).
int runWindowHost(const std::shared_ptr<UIApplicationDelegate>& delegate, const WindowHostOptions& options);

} // namespace cw
