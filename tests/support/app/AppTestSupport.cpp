#include "tests/support/app/AppTestSupport.h"

#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "Services/SignInService.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessScript.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "server/Database.h"
#include "uikit/controls/UIKeyboard.h"
#include "tests/support/session/SessionReset.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cmath>
#include <sstream>

namespace cw::test {

void prepareBundle(AppEnvironment& environment, const std::string& serverUrl, const std::string& bundleIdentifier) {
    environment.writeInfo({{"SERVER_URL", serverUrl},
                           {"CFBundleIdentifier", bundleIdentifier},
                           {"CFBundleShortVersionString", "1.4"},
                           {"CFBundleVersion", "27"}});
    UIImage::setResourceDirectory(generatedResourcesDirectory());
}

void signInBeforeLaunch(const std::string& email, const std::string& password) {
    // Shared with the callbacks: an answer that comes after the wait gave up must find them alive.
    struct Answer {
        std::optional<JSON> reply;
        bool failed = false;
    };
    auto answer = std::make_shared<Answer>();
    SignInService().signin(
        email, password, screenThatStays(),
        [answer](const BaseHTTPService::Task&, const std::optional<JSON>& r) { answer->reply = r ? r : JSON(); },
        [answer](const BaseHTTPService::Task&, const NSError&) { answer->failed = true; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return answer->reply || answer->failed; }, 60))
        << "the sign-in got no answer";
    ASSERT_FALSE(answer->failed) << email << " could not sign in";
    AuthenticationContext::shared().login(answer->reply);
    ASSERT_TRUE(AuthenticationContext::shared().user());
}

bool waitSettling(HeadlessHost& host, const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        host.settle();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        RunLoop::main().runUntil(done, 0.02);
    }
}

bool scrollRowUnderTop(HeadlessHost& host, const std::shared_ptr<UITableView>& table, const IndexPath& path,
                       CGFloat below) {
    // Each drag brings the row at least a little nearer, or measures rows that move it: a bound far
    // past any list a test shows, so that a row that never settles still ends the loop.
    for (int drags = 0; drags < 1000; ++drags) {
        host.settle();
        const CGFloat y = std::min(table->rectForRow(path).origin.y - below, table->maximumContentOffset().y);
        const CGFloat by = table->contentOffset().y - y;
        if (std::abs(by) < 0.5) return true;
        if (!host.scroll(table, {0, std::clamp<CGFloat>(by, -400, 400)})) return false;
    }
    return true;
}

bool waitThenSettle(HeadlessHost& host, const std::function<bool()>& done, double seconds) {
    const bool met = RunLoop::main().runUntil(done, seconds);
    host.settle();
    return met;
}

::testing::AssertionResult showsSoon(HeadlessHost& host, const std::string& text, double seconds) {
    if (waitThenSettle(host, [&] { return host.isShowing(text); }, seconds)) return ::testing::AssertionSuccess();
    std::string shown;
    for (const auto& t : host.visibleTexts())
        shown += "\"" + t + "\" ";
    return ::testing::AssertionFailure() << "\"" << text << "\" is not on screen; it shows " << shown;
}

::testing::AssertionResult endShowsAboveTheKeyboard(HeadlessHost& host, UIScrollView& scroll) {
    host.settle();
    const CGRect shown = scroll.convert(scroll.bounds(), static_cast<const UIView*>(nullptr));
    const CGRect keyboard = Keyboard::shared().frame();
    // Where the keyboard's top stands over the scroll view; its bottom when the keyboard is away.
    const CGFloat keysTop = Keyboard::shared().isVisible() ? std::min(keyboard.minY(), shown.maxY()) : shown.maxY();
    // The wheel over a part of it that shows above the keys, and not over a view inside it that
    // scrolls of its own (a text view, a row of pages), turned well past the end.
    std::optional<CGPoint> over;
    for (CGFloat y = keysTop - 10; !over && y > shown.minY(); y -= 20)
        for (CGFloat x : {shown.minX() + 10, shown.midX(), shown.maxX() - 10}) {
            const auto hit = host.viewUnderFinger({x, y});
            const UIView* v = hit.get();
            while (v && !dynamic_cast<const UIScrollView*>(v))
                v = v->superviewPointer();
            if (v == &scroll) {
                over = CGPoint{x, y};
                break;
            }
        }
    // Where a view that scrolls of its own covers all of it (a text view grown with its lines), as
    // far as its offset goes.
    if (!over || !host.scrollWheel(*over, -2000))
        scroll.setContentOffset({scroll.contentOffset().x, std::max(scroll.minimumContentOffset().y,
                                                                    scroll.maximumContentOffset().y)});
    host.settle();
    const CGRect now = scroll.convert(scroll.bounds(), static_cast<const UIView*>(nullptr));
    const CGFloat contentEnd = now.minY() + scroll.contentSize().height - scroll.contentOffset().y;
    const CGFloat safe = scroll.adjustedContentInset().bottom - scroll.contentInset().bottom;
    const CGFloat indicatorEnd = now.maxY() - scroll.scrollIndicatorInsets.bottom - safe;
    const CGFloat top = Keyboard::shared().isVisible() ? std::min(Keyboard::shared().frame().minY(), now.maxY()) : now.maxY();
    if (contentEnd > top + 0.5 || indicatorEnd > top + 0.5)
        return ::testing::AssertionFailure() << "the content's end lies " << contentEnd - top
                                             << " points under the keyboard's top, the indicator's "
                                             << indicatorEnd - top;
    return ::testing::AssertionSuccess();
}

void choosePhotoCroppedSquare(HeadlessHost& host, const std::string& imageViewIdentifier,
                              const std::filesystem::path& photo) {
    ASSERT_TRUE(host.tapIdentifier(imageViewIdentifier));
    ASSERT_TRUE(host.pickAlertAction("Photo Library"));
    ASSERT_TRUE(host.pickImage(photo));
    auto cropper = std::dynamic_pointer_cast<RSKImageCropViewController>(host.topViewController());
    ASSERT_TRUE(cropper);
    EXPECT_EQ(cropper->cropMode(), RSKImageCropMode::square);
    ASSERT_TRUE(host.tapText("Choose"));
}

const char* const kSignInAsTheDemoMother = R"(
tap #emailTextField
type "demo@cradleway.test"
tap #passwordField
type "cradleway-demo"
tap "Sign In"
expect "Home"
)";

void runScript(HeadlessHost& host, const std::string& steps, const std::filesystem::path& screenshots) {
    std::istringstream script(steps);
    std::ostringstream errors;
    HeadlessScriptOptions options;
    options.screenshotDirectory = screenshots;
    EXPECT_EQ(runHeadlessScript(host, script, options, errors), kScriptSucceeded) << errors.str();
}

bool writeOneColourPicture(const std::filesystem::path& file, std::uint32_t argb, int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), argb);
    auto picture = UIImage::fromPixels(width, height, 1, pixels.data());
    return picture && picture->writePNG(file);
}

bool showsActivityOverlay(const UIViewControllerPtr& screen) {
    std::function<bool(const UIView&)> search = [&](const UIView& view) {
        if (view.isHidden()) return false;
        if (view.className() == "ActivityOverlayView") return true;
        for (const auto& child : view.subviews())
            if (search(*child)) return true;
        return false;
    };
    return screen && screen->isViewLoaded() && search(*screen->view());
}

std::vector<StoredEvent> storedEvents(DemoServer& server) {
    std::vector<StoredEvent> events;
    auto db = server.server().state().pool->acquire();
    auto rows = db->prepare("SELECT screen_name, screen_action, event_details FROM analytics_events ORDER BY id");
    while (rows.step())
        events.push_back({rows.text(0), rows.text(1), nlohmann::json::parse(rows.text(2), nullptr, false)});
    return events;
}

std::vector<StoredEvent> storedEvents(DemoServer& server, const std::string& screen) {
    std::vector<StoredEvent> events;
    for (auto& e : storedEvents(server))
        if (e.screen == screen) events.push_back(std::move(e));
    return events;
}

std::int64_t queryInteger(DemoServer& server, const std::string& sql) {
    auto db = server.server().state().pool->acquire();
    auto statement = db->prepare(sql);
    return statement.step() ? statement.integer(0) : -1;
}

std::optional<std::string> queryText(DemoServer& server, const std::string& sql) {
    auto db = server.server().state().pool->acquire();
    auto statement = db->prepare(sql);
    return statement.step() ? statement.optionalText(0) : std::nullopt;
}

void ServerConsole::attach(cw::server::ServerOptions& options) {
    options.console = [lines = lines_](const std::string& line) {
        std::lock_guard lock(lines->mutex);
        lines->lines.push_back(line);
    };
}

std::vector<std::string> ServerConsole::lines() const {
    std::lock_guard lock(lines_->mutex);
    return lines_->lines;
}

std::size_t ServerConsole::requestsAnswered(const std::string& methodAndPath) const {
    std::lock_guard lock(lines_->mutex);
    return static_cast<std::size_t>(std::count_if(lines_->lines.begin(), lines_->lines.end(), [&](const std::string& line) {
        return line.starts_with(methodAndPath + " ") || line.starts_with(methodAndPath + "/ ");
    }));
}

} // namespace cw::test
