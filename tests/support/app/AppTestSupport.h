#pragma once

// The steps the application's screen tests take the same way whichever screens they drive: a
// bundle and a signed-out session of the test's own, a member signed in before launch, waits that
// let the headless host settle, scripted steps, and reads of what the demo server stored and
// printed. Main thread only, except where a member says otherwise.

#include "foundation/json/JSON.h"
#include "host/HeadlessHost.h"
#include "server/Server.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/session/SessionReset.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cw::test {

// One usage event as the server stored it.
struct StoredEvent {
    std::string screen;
    std::string action;
    nlohmann::json details;
};

// The bundle's Info for a test: the server it talks to, the test module's own bundle identifier
// and the version every test runs as (1.4, build 27). Named pictures load from the drawn set.
void prepareBundle(AppEnvironment& environment, const std::string& serverUrl, const std::string& bundleIdentifier);

// Signs the member in through the sign-in service and stores the session, as an earlier run of the
// application would have. A refusal or no answer fails the test.
void signInBeforeLaunch(const std::string& email, const std::string& password);

// Turns the main run loop until `done` holds, letting the host settle between turns (which moves
// its clock past short waits): replies come in real time, transitions and fades on the host's
// clock. False once `seconds` of real time have passed.
bool waitSettling(HeadlessHost& host, const std::function<bool()>& done, double seconds = 10);
// Turns the main run loop until `done` holds without moving the host's clock (a banner or a
// transition stays where it is meanwhile), then lets the host settle once. False once `seconds` of
// real time have passed.
bool waitThenSettle(HeadlessHost& host, const std::function<bool()>& done, double seconds = 10);
// Waits as waitThenSettle() does until `text` is on screen; a failure names what the screen shows.
::testing::AssertionResult showsSoon(HeadlessHost& host, const std::string& text, double seconds = 10);

// A finger drags `table` until the row's top stands `below` points under the table's top (or the
// table reaches its end), the host settling between drags. Rows out of view count as estimated
// until shown, and showing them moves the rows below: it drags again, a screen's height at most a
// time, until the row stays put, however far down a long list the row is. False when a drag found
// nothing to move.
bool scrollRowUnderTop(HeadlessHost& host, const std::shared_ptr<UITableView>& table, const IndexPath& path,
                       CGFloat below = 80);

// `scroll` (a screen's scrolling view) scrolled to the end of its content by the mouse wheel over
// it (or, where views inside it that scroll of their own cover all of it, its offset set as far as
// it goes): whether that end then shows above the keyboard (the keys, and any bar
// docked over them), and the scroll indicator ends above it too. A failure says how far each
// lies under the keyboard.
::testing::AssertionResult endShowsAboveTheKeyboard(HeadlessHost& host, UIScrollView& scroll);

// Taps the picture view `imageViewIdentifier`, picks `photo` from the photo library and keeps the
// square the cropper offers, as a member choosing a profile photo does. A failed step ends the
// helper: wrap the call in ASSERT_NO_FATAL_FAILURE to end the test with it.
void choosePhotoCroppedSquare(HeadlessHost& host, const std::string& imageViewIdentifier,
                              const std::filesystem::path& photo);

// The demo mother's sign-in through the sign-in screen, up to her main interface, as script steps.
extern const char* const kSignInAsTheDemoMother;
// Runs script steps against the host; its messages are part of a failure. Screenshots go below
// `screenshots`.
void runScript(HeadlessHost& host, const std::string& steps, const std::filesystem::path& screenshots);

// Writes a PNG of one colour (0xAARRGGBB) to `file`, as a picture for the photo picker to hand
// over; false when it could not be written.
bool writeOneColourPicture(const std::filesystem::path& file, std::uint32_t argb, int width, int height);

// Whether a visible activity overlay covers any part of the screen's view.
bool showsActivityOverlay(const UIViewControllerPtr& screen);

// The usage events the server stored so far, oldest first; of one screen.
std::vector<StoredEvent> storedEvents(DemoServer& server);
std::vector<StoredEvent> storedEvents(DemoServer& server, const std::string& screen);
// The first column of the first row of a query of the demo database: a number (-1 when there is no
// row), or its text (none when there is no row or the value is null).
std::int64_t queryInteger(DemoServer& server, const std::string& sql);
std::optional<std::string> queryText(DemoServer& server, const std::string& sql);

// The lines the demo server prints (its access log among them, when it keeps one). The server
// writes them on its own threads; the lines live as long as the sink that attach() handed it.
class ServerConsole {
public:
    // Points the options' console at these lines.
    void attach(cw::server::ServerOptions& options);
    std::vector<std::string> lines() const;
    // The requests answered with a method and a path ("GET /m/api/search"), with or without a
    // trailing slash.
    std::size_t requestsAnswered(const std::string& methodAndPath) const;

private:
    struct Lines {
        mutable std::mutex mutex;
        std::vector<std::string> lines;
    };
    std::shared_ptr<Lines> lines_ = std::make_shared<Lines>();
};

} // namespace cw::test
