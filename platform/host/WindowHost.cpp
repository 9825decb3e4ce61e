#include "host/WindowHost.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "host/TouchIDPrompt.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controllers/UNUserNotificationCenter.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/ViewRendering.h"

#include <SDL.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace cw {

namespace {

struct SdlSession {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    ~SdlSession() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }
};

std::shared_ptr<UIWindow> keyWindow() {
    if (auto w = UIApplication::shared().keyWindow()) return w;
    auto all = UIApplication::shared().windows();
    return all.empty() ? nullptr : all.back();
}

// Where the screen stands in the window: as large as the window lets it be without stretching,
// in the middle. The picture is drawn there and the mouse is read through it, so what a click
// lands on is what is drawn under the pointer, whatever size the window is given.
struct Viewport {
    CGFloat pixelsPerPoint = 1;
    SDL_Rect area{0, 0, 0, 0};   // in the renderer's pixels
    CGFloat pixelsPerWindowUnit = 1; // renderer pixels per window coordinate (a high-density desktop)

    static Viewport of(SdlSession& s) {
        const CGSize screen = UIScreen::main().bounds().size;
        int outW = 0, outH = 0, winW = 0, winH = 0;
        SDL_GetRendererOutputSize(s.renderer, &outW, &outH);
        SDL_GetWindowSize(s.window, &winW, &winH);
        Viewport v;
        if (winW > 0 && outW > 0) v.pixelsPerWindowUnit = static_cast<CGFloat>(outW) / winW;
        if (screen.width > 0 && screen.height > 0 && outW > 0 && outH > 0)
            v.pixelsPerPoint = std::min(outW / screen.width, outH / screen.height);
        v.area.w = static_cast<int>(std::lround(screen.width * v.pixelsPerPoint));
        v.area.h = static_cast<int>(std::lround(screen.height * v.pixelsPerPoint));
        v.area.x = (outW - v.area.w) / 2;
        v.area.y = (outH - v.area.h) / 2;
        return v;
    }
    // The screen's point under a window coordinate.
    CGPoint pointAt(int x, int y) const {
        return {(x * pixelsPerWindowUnit - area.x) / pixelsPerPoint, (y * pixelsPerWindowUnit - area.y) / pixelsPerPoint};
    }
};

bool draw(SdlSession& s) {
    auto w = keyWindow();
    SDL_SetRenderDrawColor(s.renderer, 0, 0, 0, 255);
    if (!w) {
        SDL_RenderClear(s.renderer);
        SDL_RenderPresent(s.renderer);
        return true;
    }
    const Viewport viewport = Viewport::of(s);
    Animator::shared().tick();
    UIAppearance::apply(*w);
    auto image = renderView(*w, viewport.pixelsPerPoint);
    if (!image) return false;
    cairo_surface_t* surface = image->surface();
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    if (!s.texture || width != s.textureWidth || height != s.textureHeight) {
        if (s.texture) SDL_DestroyTexture(s.texture);
        s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                      width, height);
        s.textureWidth = width;
        s.textureHeight = height;
        if (!s.texture) return false;
    }
    SDL_UpdateTexture(s.texture, nullptr, cairo_image_surface_get_data(surface),
                      cairo_image_surface_get_stride(surface));
    SDL_RenderClear(s.renderer);
    SDL_Rect target = viewport.area;
    target.w = width;
    target.h = height;
    SDL_RenderCopy(s.renderer, s.texture, nullptr, &target);
    SDL_RenderPresent(s.renderer);
    return true;
}

bool saveWindowPixels(SdlSession& s, const std::filesystem::path& path) {
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(s.renderer, &width, &height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (SDL_RenderReadPixels(s.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4) != 0) {
        std::cerr << "window host: cannot read the window's pixels: " << SDL_GetError() << std::endl;
        return false;
    }
    for (auto& p : pixels)
        p |= 0xff000000u; // the window is opaque
    auto image = UIImage::fromPixels(width, height, 1, pixels.data());
    std::string error;
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (!image || !image->writePNG(path, &error)) {
        std::cerr << "window host: cannot write " << path << ": " << error << std::endl;
        return false;
    }
    return true;
}

// Desktops have no pinch: two fingers 80 points apart about the pointer spread or close by `factor`.
void pinch(TouchDelivery& touches, CGPoint at, CGFloat factor) {
    constexpr CGFloat half = 40;
    touches.send(UITouchPhase::began, {at.x - half, at.y}, 1);
    touches.send(UITouchPhase::began, {at.x + half, at.y}, 2);
    touches.send(UITouchPhase::moved, {at.x - half * factor, at.y}, 1);
    touches.send(UITouchPhase::moved, {at.x + half * factor, at.y}, 2);
    touches.send(UITouchPhase::ended, {at.x - half * factor, at.y}, 1);
    touches.send(UITouchPhase::ended, {at.x + half * factor, at.y}, 2);
}

UIViewControllerPtr topController() {
    auto w = keyWindow();
    return w ? w->topmostPresentedViewController() : nullptr;
}

} // namespace

std::filesystem::path photoLibraryFolderFor(const WindowHostOptions& options,
                                            const std::function<const char*(const char*)>& environment) {
    if (options.photoLibraryFolder) return *options.photoLibraryFolder;
    const auto variable = [&environment](const char* name) -> std::string {
        const char* value = environment ? environment(name) : std::getenv(name);
        return value ? value : "";
    };
    const std::string home = variable("HOME");
    std::vector<std::filesystem::path> candidates;
    if (const auto pictures = variable("XDG_PICTURES_DIR"); !pictures.empty()) candidates.emplace_back(pictures);
    // The desktop names its folders in user-dirs.dirs: XDG_PICTURES_DIR="$HOME/Pictures".
    std::string config = variable("XDG_CONFIG_HOME");
    if (config.empty() && !home.empty()) config = home + "/.config";
    if (!config.empty()) {
        std::ifstream dirs(std::filesystem::path(config) / "user-dirs.dirs");
        std::string line;
        while (std::getline(dirs, line)) {
            const std::string key = "XDG_PICTURES_DIR=\"";
            if (!line.starts_with(key) || line.size() <= key.size() || line.back() != '"') continue;
            std::string value = line.substr(key.size(), line.size() - key.size() - 1);
            if (value.starts_with("$HOME")) {
                if (home.empty()) continue;
                value = home + value.substr(5);
            }
            if (!value.empty()) candidates.emplace_back(value);
        }
    }
    if (!home.empty()) candidates.push_back(std::filesystem::path(home) / "Pictures");
    for (const auto& folder : candidates)
        if (!UIImagePickerController::libraryPictures(folder).empty()) return folder;
    return options.demoPhotos.value_or(std::filesystem::path());
}

const char* windowHostKeyHelp() {
    return "F1  Touch ID: a matching finger\n"
           "F2  Touch ID: a finger that does not match\n"
           "F3  deliver the push notification\n"
           "F4  tap the push notification\n"
           "F5  send the application to the background / bring it back\n"
           "F6  pick the --picture file in the shown photo picker or camera (or choose Mail in a share sheet)\n"
           "F7  cancel the shown photo picker or share sheet\n"
           "Ctrl+wheel  pinch: two fingers spreading or closing about the pointer\n"
           "Esc quit\n";
}

int runWindowHost(const std::shared_ptr<UIApplicationDelegate>& delegate, const WindowHostOptions& options) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::cerr << "window host: cannot start SDL: " << SDL_GetError() << std::endl;
        return 1;
    }
    SdlSession s;
    const CGSize screen = UIScreen::main().bounds().size;
    CGFloat k = 1;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.h > 0)
        k = std::min<CGFloat>(1, (static_cast<CGFloat>(mode.h) - 80) / screen.height);
    if (k < 0.3) k = 0.3;
    const int width = static_cast<int>(screen.width * k + 0.5),
              height = static_cast<int>(screen.height * k + 0.5);
    s.window = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!s.window) {
        std::cerr << "window host: cannot open a window: " << SDL_GetError() << std::endl;
        return 1;
    }
    s.renderer = SDL_CreateRenderer(s.window, -1, SDL_RENDERER_SOFTWARE);
    if (!s.renderer) {
        std::cerr << "window host: cannot draw in the window: " << SDL_GetError() << std::endl;
        return 1;
    }
    std::cout << windowHostKeyHelp() << std::flush;
    SDL_StartTextInput();

    // The picture key serves a camera as well as the photo library, so with a picture there is a camera.
    if (options.pictureFile) UIApplication::shared().hostSettings().hasCamera = true;
    UIApplication::shared().hostSettings().photoLibraryFolder = photoLibraryFolderFor(options);
    // A Touch ID check shows the system's prompt and waits there for F1/F2 or its Cancel.
    installTouchIDPrompt();
    ApplicationLifecycle::launch(delegate);
    std::unique_ptr<TouchDelivery> touches;
    bool mouseDown = false;
    bool dirty = true;
    bool running = true;
    int quietFrames = 0;
    const double startedAt = Clock::uptime();
    auto toPoint = [&s](int x, int y) { return Viewport::of(s).pointAt(x, y); };
    auto ensureTouches = [&touches] {
        auto w = keyWindow();
        if (w && (!touches || touches->root() != w)) touches = std::make_unique<TouchDelivery>(w);
        return touches.get();
    };

    while (running) {
        const bool busy = Animator::shared().runningCount() > 0 || transitionsInFlight() > 0;
        const double next = RunLoop::main().nextTimerDeadline();
        int timeout = busy || dirty ? 16 : 100;
        if (next >= 0) timeout = std::clamp(static_cast<int>((next - Clock::uptime()) * 1000), 0, timeout);
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, timeout)) {
            do {
                bool changed = true;
                switch (e.type) {
                case SDL_QUIT:
                    running = false;
                    break;
                case SDL_MOUSEBUTTONDOWN:
                    if (e.button.button == SDL_BUTTON_LEFT && ensureTouches()) {
                        mouseDown = true;
                        touches->send(UITouchPhase::began, toPoint(e.button.x, e.button.y));
                    }
                    break;
                case SDL_MOUSEMOTION:
                    if (mouseDown && touches)
                        touches->send(UITouchPhase::moved, toPoint(e.motion.x, e.motion.y));
                    else
                        changed = false;
                    break;
                case SDL_MOUSEBUTTONUP:
                    if (e.button.button == SDL_BUTTON_LEFT && mouseDown && touches) {
                        mouseDown = false;
                        touches->send(UITouchPhase::ended, toPoint(e.button.x, e.button.y));
                    }
                    break;
                case SDL_MOUSEWHEEL: {
                    int mx = 0, my = 0;
                    SDL_GetMouseState(&mx, &my);
                    if ((SDL_GetModState() & KMOD_CTRL) && ensureTouches())
                        pinch(*touches, toPoint(mx, my), std::pow(1.1, e.wheel.y));
                    else
                        scrollWheel(keyWindow(), toPoint(mx, my), static_cast<CGFloat>(e.wheel.y));
                    break;
                }
                case SDL_TEXTINPUT:
                    Keyboard::shared().type(e.text.text);
                    break;
                case SDL_KEYDOWN:
                    switch (e.key.keysym.sym) {
                    case SDLK_ESCAPE:
                        running = false;
                        break;
                    case SDLK_BACKSPACE:
                        Keyboard::shared().deleteBackward();
                        break;
                    case SDLK_RETURN:
                        Keyboard::shared().pressReturn();
                        break;
                    case SDLK_F1:
                        putFingerOnSensor(true);
                        break;
                    case SDLK_F2:
                        putFingerOnSensor(false);
                        break;
                    case SDLK_F3:
                        if (auto d = UIApplication::shared().delegate()) {
                            if (UIApplication::shared().applicationState() == UIApplicationState::active) {
                                UNNotification n;
                                n.date = Clock::now();
                                n.request.content = UNNotificationContent::fromRemotePayload(options.pushPayload);
                                UNUserNotificationCenter::current().present(n);
                            }
                            d->didReceiveRemoteNotification(UIApplication::shared(), options.pushPayload,
                                                            [](UIBackgroundFetchResult) {});
                        }
                        break;
                    case SDLK_F4: {
                        ApplicationLifecycle::leaveBackground();
                        UNNotificationResponse r;
                        r.notification.date = Clock::now();
                        r.notification.request.content =
                            UNNotificationContent::fromRemotePayload(options.pushPayload);
                        UNUserNotificationCenter::current().respond(r);
                        ApplicationLifecycle::becomeActive();
                        break;
                    }
                    case SDLK_F5:
                        if (UIApplication::shared().applicationState() == UIApplicationState::background)
                            ApplicationLifecycle::enterForeground();
                        else
                            ApplicationLifecycle::enterBackground();
                        break;
                    case SDLK_F6:
                        if (auto picker =
                                std::dynamic_pointer_cast<UIImagePickerController>(topController())) {
                            std::string error;
                            if (!options.pictureFile || !picker->pick(*options.pictureFile, &error))
                                std::cerr << "window host: no picture picked"
                                          << (error.empty() ? " (start with --picture FILE)" : ": " + error)
                                          << std::endl;
                        } else if (auto sheet =
                                       std::dynamic_pointer_cast<UIActivityViewController>(topController())) {
                            sheet->finish(UIActivityTypeMail);
                        }
                        break;
                    case SDLK_F7:
                        if (auto picker = std::dynamic_pointer_cast<UIImagePickerController>(topController()))
                            picker->cancel();
                        else if (auto sheet =
                                     std::dynamic_pointer_cast<UIActivityViewController>(topController()))
                            sheet->finish(std::nullopt);
                        break;
                    default:
                        break;
                    }
                    break;
                case SDL_WINDOWEVENT:
                    break;
                default:
                    changed = false;
                    break;
                }
                if (changed) dirty = true;
            } while (running && SDL_PollEvent(&e));
        }
        if (RunLoop::main().runUntilIdle() > 0) dirty = true;
        if (Animator::shared().runningCount() > 0) dirty = true;
        if (auto w = keyWindow(); w && w->needsLayout()) dirty = true;
        if (dirty)
            if (auto w = keyWindow()) UIAppearance::apply(*w);
        if (dirty) {
            if (!draw(s)) {
                std::cerr << "window host: cannot draw the window" << std::endl;
                return 1;
            }
            dirty = false;
            quietFrames = 0;
        } else {
            ++quietFrames;
        }
        // Settled: nothing moved for a few turns and nothing is due soon.
        if (options.screenshotPath && quietFrames >= 3 && transitionsInFlight() == 0 &&
            Animator::shared().runningCount() == 0) {
            draw(s);
            const bool ok = saveWindowPixels(s, *options.screenshotPath);
            return ok ? 0 : 1;
        }
        if (options.maxSeconds > 0 && Clock::uptime() - startedAt > options.maxSeconds) running = false;
    }
    ApplicationLifecycle::terminate();
    removeTouchIDPrompt();
    return 0;
}

} // namespace cw
