#pragma once

// The tour's fixture: a fresh data directory and the cradleway executable started on it with its
// own demo server, driven by named steps. Each step sends its script lines one by one (a line that
// fails ends the test with the line and the screen's texts), then writes a screenshot named after
// the segment and the step. Every segment runs twice: with the server's hour-long access tokens,
// and with tokens that expire every three seconds, which the application must refresh as it goes
// without the member noticing.

#include "tests/support/TempDirectory.h"
#include "tests/tour/ServerView.h"
#include "tests/support/CradlewayProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace cw::tour {

using cw::test::CradlewayProcess;
using cw::test::ProcessEnd;
using cw::test::StepAnswer;

enum class Sessions { lasting, expiring };

inline constexpr int kExpiringTokenSeconds = 3;
inline constexpr const char* kMotherEmail = "demo@cradleway.test";
inline constexpr const char* kFatherEmail = "partner@cradleway.test";
inline constexpr const char* kDemoPassword = "cradleway-demo";

// `text` as a script step writes it: in double quotes, with quotes, backslashes and control
// characters escaped.
std::string quoted(const std::string& text);

class Tour : public ::testing::TestWithParam<Sessions> {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the executable on the fresh data directory (the first step does it too).
    void start(std::vector<std::string> arguments = {});
    // Quits the executable and starts it again on the same data directory (and its demo server's
    // database), with these more options.
    void relaunch(std::vector<std::string> arguments = {});
    // Sends the lines in order; the first that fails fails the test (wrap in TOUR_STEP). Then the
    // screen is written to "<segment>-<NN>-<name>.png" in the tour's picture directory.
    void act(const std::string& name, const std::vector<std::string>& lines);

    // The sign-in screen filled in and sent; the feed shows. Pictured only when asked (the segments
    // all start so).
    void signIn(const std::string& email, const std::string& password = kDemoPassword, bool pictured = false);
    // The lines of a step without a picture.
    void quietly(const std::vector<std::string>& lines);
    // Logout from the side menu, answering its question.
    void logOut();
    // Drags the screen up (slow finger moves of 400 points) until `text` shows; fails after `moves`.
    void scrollUntilShowing(const std::string& text, int moves = 30);
    // The same, dragging down, back towards the top.
    void scrollBackUntilShowing(const std::string& text, int moves = 30);

    // The server is another process, answering in real time: what a step set off reaches its
    // database a moment later. These look again (for up to ten seconds of real time) until the
    // first column of the query's first row is `expected`, and return what it last was.
    nlohmann::json awaitValue(const std::string& sql, const nlohmann::json& expected,
                              const nlohmann::json& parameters = nlohmann::json::array());
    // Until the settled screen no longer shows `text` (a list reloaded from the server's reply).
    void awaitAbsent(const std::string& text);
    // The last lines the application printed (its step answers left out), for failure messages.
    std::string consoleTail(std::size_t lines = 40) const;

    // A picture file for the photo library, drawn here: a plain field of `colour` with a disc, of
    // the given size in pixels (saved as PNG in the segment's directory).
    std::filesystem::path picture(const std::string& name, int width, int height, std::uint32_t colour);

    // The application's stored session, from its user defaults file: "token", "refreshToken",
    // "userKey" and the others as the file holds them (null when there is no file).
    nlohmann::json storedDefaults() const;
    // The access token the application holds now (empty when none).
    std::string storedAccessToken() const;
    // Where the tour's pictures go: $CW_TOUR_SCREENSHOTS, else the build's directory; the expiring
    // run's under "expiring/".
    std::filesystem::path screenshotDirectory() const;

    bool expiring() const { return GetParam() == Sessions::expiring; }
    std::string segment() const;

    std::unique_ptr<cw::test::TempDirectory> directory;
    std::unique_ptr<CradlewayProcess> app;
    std::unique_ptr<ServerDatabase> db;
    // Whether the member is meant to be signed in when the segment ends: the expiring run checks
    // that no refresh signed them out on the way.
    bool signedIn = false;
    // The demo mother's feed asks her the server's three questions at her first sign-in.
    bool questionsAnswered = false;

    // In the expiring run, waits (in real time: the server's clock is the real one) until the
    // access token the application holds has expired; at once otherwise.
    void awaitExpiry();

private:
    void noteToken();

    int shots_ = 0;
    std::set<std::string> tokensSeen_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point tokenSeenAt_;
};

// A step inside a test: stops the test when it failed.
#define TOUR_STEP(...) ASSERT_NO_FATAL_FAILURE(__VA_ARGS__)

// A segment whose screens are not built yet: its steps stand written below the skip, ready for the
// day they are.
#define TOUR_PENDING(reason) GTEST_SKIP() << "pending: " << (reason)

} // namespace cw::tour
