#include "tests/tour/TourFixture.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

namespace cw::tour {

namespace {

constexpr long kPeakResidentLimitKilobytes = 200 * 1024;

std::string twoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

} // namespace

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            static const char* digits = "0123456789abcdef";
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::filesystem::path Tour::screenshotDirectory() const {
    const char* given = std::getenv("CW_TOUR_SCREENSHOTS");
    std::filesystem::path dir = given && *given ? given : CW_TOUR_SCREENSHOTS_DEFAULT;
    return expiring() ? dir / "expiring" : dir;
}

std::string Tour::segment() const {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string suite = info->test_suite_name();
    std::string name = info->name();
    suite = suite.substr(suite.find('/') + 1);
    name = name.substr(0, name.find('/'));
    return suite + "-" + name;
}

void Tour::SetUp() {
    directory = std::make_unique<cw::test::TempDirectory>("cw-tour");
}

void Tour::start(std::vector<std::string> arguments) {
    if (app) return;
    CradlewayProcess::Options options;
    options.arguments = std::move(arguments);
    options.executable = CW_CRADLEWAY_EXECUTABLE;
    options.dataDirectory = directory->path() / "data";
    options.screenshots = screenshotDirectory();
    if (expiring()) options.accessTokenSeconds = kExpiringTokenSeconds;
    std::filesystem::create_directories(options.screenshots);
    app = std::make_unique<CradlewayProcess>(options);
    ASSERT_FALSE(app->failed()) << "cradleway did not start its demo server: " << app->errors();
    db = std::make_unique<ServerDatabase>(options.dataDirectory / "server" / "cradleway.db");
    started_ = std::chrono::steady_clock::now();
}

void Tour::relaunch(std::vector<std::string> arguments) {
    if (app) {
        const ProcessEnd end = app->finish();
        EXPECT_TRUE(end.status == 0 || end.status == 1) << "exit status " << end.status << "\n" << app->errors();
        EXPECT_LT(end.peakResidentKilobytes, kPeakResidentLimitKilobytes);
        db.reset();
        app.reset();
    }
    TOUR_STEP(start(std::move(arguments)));
}

nlohmann::json Tour::awaitValue(const std::string& sql, const nlohmann::json& expected, const nlohmann::json& parameters) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    nlohmann::json last;
    for (;;) {
        const auto rows = db->rows(sql, parameters);
        last = rows.empty() || rows[0].empty() ? nlohmann::json() : rows[0][0];
        if (last == expected || std::chrono::steady_clock::now() > deadline) return last;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string Tour::consoleTail(std::size_t lines) const {
    const std::vector<std::string> kept = app->console();
    std::string out;
    for (std::size_t i = kept.size() > lines ? kept.size() - lines : 0; i < kept.size(); ++i)
        out += kept[i] + "\n";
    return out;
}

void Tour::awaitAbsent(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!app->step("absent " + quoted(text)).ok) {
        if (std::chrono::steady_clock::now() > deadline) {
            // An expectation that cannot hold answers with what the screen shows.
            FAIL() << segment() << ": \"" << text << "\" stayed on screen: " << app->step("absent " + quoted(text)).text
                   << "; " << app->step("expect \"\\x01\"").text << "\nits console ends:\n" << consoleTail();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::filesystem::path Tour::picture(const std::string& name, int width, int height, std::uint32_t colour) {
    UIGraphicsBeginImageContextWithOptions(CGSize{double(width), double(height)}, true, 1);
    auto context = UIGraphicsGetCurrentContext();
    auto channel = [&](int shift) { return ((colour >> shift) & 0xff) / 255.0; };
    context->setFillColor(UIColor(channel(16), channel(8), channel(0), 1));
    context->fill(CGRect(0, 0, width, height));
    context->setFillColor(UIColor(1, 1, 1, 0.6));
    const double side = std::min(width, height) / 2.0;
    context->fillEllipse(CGRect((width - side) / 2, (height - side) / 2, side, side));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const auto path = directory->path() / (name + ".png");
    image->writePNG(path);
    return path;
}

void Tour::TearDown() {
    if (!app) return;
    if (signedIn && !HasFatalFailure() && expiring()) {
        // The application comes back to the front (on whatever screen the segment ended), which asks
        // the server for something: by now
        // the token it holds has expired, so it must refresh it and stay signed in.
        const std::string before = storedAccessToken();
        awaitExpiry();
        for (const char* line : {"background", "foreground"}) {
            const StepAnswer answer = app->step(line);
            EXPECT_TRUE(answer.ok) << line << ": " << answer.text;
        }
        const StepAnswer settled = app->step("draw");
        EXPECT_TRUE(settled.ok) << settled.text;
        // The refresh and the replay happen in the application's own time, with nothing on screen
        // to show for them: its stored session is watched instead.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (storedAccessToken() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        noteToken();
        EXPECT_NE(storedAccessToken(), before) << "the expired token was not refreshed";
    }
    if (signedIn && !HasFatalFailure()) {
        // However often the tokens expired on the way, the member is still signed in.
        const auto defaults = storedDefaults();
        EXPECT_TRUE(defaults.contains("userKey")) << "the member was signed out";
        EXPECT_FALSE(storedAccessToken().empty()) << "the session lost its access token";
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const ProcessEnd end = app->finish();
    std::cout << "[ tour     ] " << segment() << (expiring() ? " (tokens of " + std::to_string(kExpiringTokenSeconds) + " s)" : "")
              << ": peak resident size of cradleway " << end.peakResidentKilobytes / 1024 << " MB, "
              << seconds << " s, access tokens held " << tokensSeen_.size() << std::endl;
    RecordProperty("peak_resident_kb", std::to_string(end.peakResidentKilobytes));
    EXPECT_LT(end.peakResidentKilobytes, kPeakResidentLimitKilobytes);
    // It ended by itself at the end of its input: 0, or 1 when a probe ("absent" while scrolling)
    // answered "failed" on the way; never a line it could not read, never a crash.
    EXPECT_TRUE(end.status == 0 || end.status == 1) << "exit status " << end.status << "\n" << app->errors();
}

void Tour::act(const std::string& name, const std::vector<std::string>& lines) {
    TOUR_STEP(start());
    for (const auto& line : lines) {
        const StepAnswer answer = app->step(line);
        ASSERT_TRUE(answer.ok) << segment() << ", step \"" << name << "\": " << line << ": " << answer.text;
        noteToken();
    }
    const std::string shot = segment() + "-" + twoDigits(++shots_) + "-" + name;
    const StepAnswer answer = app->step("screenshot " + shot);
    ASSERT_TRUE(answer.ok) << shot << ": " << answer.text;
}

void Tour::noteToken() {
    const std::string token = storedAccessToken();
    if (token.empty() || tokensSeen_.count(token)) return;
    tokensSeen_.insert(token);
    tokenSeenAt_ = std::chrono::steady_clock::now();
}

void Tour::awaitExpiry() {
    noteToken();
    if (!expiring() || tokensSeen_.empty()) return;
    // The server's clock is the real one, counted in whole seconds: a token it issued is surely past
    // its life a second after its life has run from when it was first seen.
    std::this_thread::sleep_until(tokenSeenAt_ + std::chrono::seconds(kExpiringTokenSeconds + 1));
}

void Tour::quietly(const std::vector<std::string>& lines) {
    TOUR_STEP(start());
    for (const auto& line : lines) {
        const StepAnswer answer = app->step(line);
        ASSERT_TRUE(answer.ok) << segment() << ": " << line << ": " << answer.text;
        noteToken();
    }
}

void Tour::signIn(const std::string& email, const std::string& password, bool pictured) {
    const std::vector<std::string> lines = {"expect \"Log In\"",     "tap #emailTextField",
                                            "type " + quoted(email),  "tap #passwordField",
                                            "type " + quoted(password), "tap \"Sign In\"",
                                            "expect \"Home\""};
    if (pictured)
        TOUR_STEP(act("sign-in-" + email.substr(0, email.find('@')), lines));
    else
        TOUR_STEP(quietly(lines));
    signedIn = true;
    if (email == "demo@cradleway.test" && !questionsAnswered) {
        TOUR_STEP(quietly({"expect \"Did you try kangaroo care this week?\"", "alert \"No\"",
                           "expect \"Have you held Olivia and Noah today?\"", "alert \"No\"",
                           "expect \"Is Cradleway helping you follow your babies' stay?\"", "alert \"Yes\"",
                           "expect \"Thank you, your answers are saved.\"", "alert \"OK\""}));
        questionsAnswered = true;
    }
    // The feed's cards have come (drags over a feed whose reply has not come move nothing).
    TOUR_STEP(quietly({"expect \"Write a comment\""}));
    // What follows meets an expired token in the expiring run.
    awaitExpiry();
}

void Tour::logOut() {
    TOUR_STEP(act("logout-question",
                  {"tap #hamburgerButton", "tap \"Logout\"", "expect \"Are you sure you want to logout?\""}));
    TOUR_STEP(act("logged-out", {"alert \"OK\"", "expect \"Log In\""}));
    signedIn = false;
}

namespace {

void scrollUntil(CradlewayProcess& app, const std::string& text, int moves, const std::string& drag) {
    for (int i = 0; i < moves; ++i) {
        // "absent" fails while the text is on screen: then it has been reached.
        if (!app.step("absent " + quoted(text)).ok) return;
        const StepAnswer moved = app.step(drag);
        ASSERT_TRUE(moved.ok) << moved.text;
    }
    FAIL() << "\"" << text << "\" never came on screen";
}

} // namespace

void Tour::scrollUntilShowing(const std::string& text, int moves) {
    // Above the keyboard, which a search left up takes every touch within.
    scrollUntil(*app, text, moves, "drag 187,440 187,40 1");
}

void Tour::scrollBackUntilShowing(const std::string& text, int moves) {
    scrollUntil(*app, text, moves, "drag 187,200 187,600 1");
}

nlohmann::json Tour::storedDefaults() const {
    std::ifstream in(directory->path() / "data" / "org.cradleway.app.json");
    if (!in) return nullptr;
    auto file = nlohmann::json::parse(in, nullptr, false);
    if (!file.is_object() || !file.contains("values")) return nullptr;
    return file["values"];
}

std::string Tour::storedAccessToken() const {
    const auto defaults = storedDefaults();
    if (!defaults.is_object() || !defaults.contains("token") || !defaults["token"].is_string()) return {};
    return defaults["token"];
}

} // namespace cw::tour
