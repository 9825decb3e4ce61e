// The cradleway executable as a person starts it: headless with scripts against the demo server it
// starts itself, against another server, and in a window under a private X server.

#include "tests/support/RecordingServer.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/VirtualDisplay.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using ::testing::HasSubstr;
using ::testing::Not;

namespace cw::test {

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CradlewayExecutable : public ::testing::Test {
protected:
    // Runs the executable to its end with `arguments`, the environment's variables overridden by
    // `variables`, its standard input read from `input` (none: nothing); what it prints is kept.
    Outcome run(std::vector<std::string> arguments, const std::map<std::string, std::string>& variables = {},
                const std::optional<std::filesystem::path>& input = std::nullopt) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!variables.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
        }
        for (const auto& [k, v] : variables)
            env.push_back(k + "=" + v);
        arguments.insert(arguments.begin(), CW_CRADLEWAY_EXECUTABLE);
        std::vector<char*> argv, envp;
        for (auto& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const auto out = directory / "out.txt", err = directory / "err.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input ? input->c_str() : "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        Outcome result;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            ADD_FAILURE() << "cannot start " << argv[0];
            return result;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        // The server a test runs in this process answers on its own thread while the child waits.
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = readFile(out);
        result.err = readFile(err);
        return result;
    }

    std::filesystem::path writeScript(const std::string& name, const std::string& text) {
        const auto path = directory / name;
        std::ofstream(path) << text;
        return path;
    }

    std::string data() const { return (directory / "data").string(); }
    std::string shots() const { return (directory / "shots").string(); }

    TempDirectory directory{"cw-cradleway"};
};

const char* kSignInAsTheMother = R"(expect "Log In"
screenshot signed-out
tap #emailTextField
type "demo@cradleway.test"
tap #passwordField
type "cradleway-demo"
tap "Sign In"
expect "Home"
alert "No"
alert "No"
alert "No"
alert "OK"
screenshot home
tap #hamburgerButton
expect "Emma Hart"
tap "Family & Friends"
expect "Sarah Hart"
screenshot family
back
tap #hamburgerButton
tap "Logout"
alert "OK"
expect "Log In"
tap #emailTextField
type "partner@cradleway.test"
tap #passwordField
type "cradleway-demo"
tap "Sign In"
expect "Home"
tap #hamburgerButton
expect "James Hart"
)";

void expectScreenshot(const std::filesystem::path& file) {
    auto image = UIImage::fromFile(file);
    ASSERT_TRUE(image) << file;
    EXPECT_EQ(image->pixelWidth(), 750);
    EXPECT_EQ(image->pixelHeight(), 1334);
}

} // namespace

TEST_F(CradlewayExecutable, RunsHeadlessOnItsOwnDemoServerThroughTwoSessionsAndKeepsTheLastForTheNextStart) {
    const auto script = writeScript("tour.txt", kSignInAsTheMother);
    Outcome first = run({"--headless", "--data-dir", data(), "--script", script.string(), "--screenshots", shots()});
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_THAT(first.out, HasSubstr("Host Environment: http://127.0.0.1:"));
    EXPECT_THAT(first.out, HasSubstr("Sign in with demo@cradleway.test / cradleway-demo"));
    for (const auto* name : {"signed-out", "home", "family"})
        expectScreenshot(directory / "shots" / (std::string(name) + ".png"));
    EXPECT_TRUE(std::filesystem::exists(directory / "data" / "server" / "cradleway.db"));
    EXPECT_EQ(std::filesystem::status(directory / "data").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    // The next start finds the stored session (the father's, who signed in last) and the same demo
    // database, and opens the main interface at once.
    const auto again = writeScript("again.txt", "tap #hamburgerButton\nexpect \"James Hart\"\n");
    Outcome second = run({"--headless", "--data-dir", data(), "--script", again.string()});
    EXPECT_EQ(second.status, 0) << second.out << second.err;
}

TEST_F(CradlewayExecutable, StepsFromStandardInputHaveStandardOutputToTheirAnswersAlone) {
    // The mother's sign-in answers the feed's questions, which the application prints on its
    // console ({"1":false,"2":false}, {"status":"ok"}), as it prints the server's address.
    const auto steps = writeScript("steps.txt", kSignInAsTheMother);
    Outcome r = run({"--headless", "--data-dir", data(), "--script", "-", "--screenshots", shots()}, {}, steps);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::istringstream out(r.out);
    int answers = 0;
    for (std::string line; std::getline(out, line);) {
        ++answers;
        EXPECT_THAT(line, ::testing::MatchesRegex("step [0-9]+ ok")) << "standard output holds answers alone";
    }
    EXPECT_EQ(answers, 31);
    EXPECT_THAT(r.err, HasSubstr("Host Environment: http://127.0.0.1:"));
    EXPECT_THAT(r.err, HasSubstr("Demo server: http://127.0.0.1:"));
    EXPECT_THAT(r.err, HasSubstr("{\"1\":false,\"2\":false}"));
}

TEST_F(CradlewayExecutable, AScreenshotOfAStoredSessionWaitsForTheFeedToArrive) {
    const auto signIn = writeScript("signin.txt", R"(tap #emailTextField
type "demo@cradleway.test"
tap #passwordField
type "cradleway-demo"
tap "Sign In"
expect "Daily update for Olivia"
)");
    ASSERT_EQ(run({"--headless", "--data-dir", data(), "--script", signIn.string()}).status, 0);
    // The next start opens the feed at once, which asks the server for its cards: the picture is
    // taken once they are on screen, not while the spinner turns in their place.
    const auto shot = directory / "feed.png";
    Outcome r = run({"--headless", "--data-dir", data(), "--screenshot", shot.string()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    auto image = UIImage::fromFile(shot);
    ASSERT_TRUE(image);
    // The first card's round teal picture (under the dimming of the feed's question), where the
    // loading feed shows plain grey.
    const UIColor card = image->pixelColor(90, 450);
    EXPECT_GT(card.green() - card.red(), 0.15) << "the first card is not on the screenshot";
}

TEST_F(CradlewayExecutable, TalksToTheServerItIsGivenInsteadOfStartingOne) {
    RecordingServer server;
    server.reply("POST", "/m/api/signin/",
                 Reply{200, R"({"user": {"id": 7, "full_name": "Ada Quill", "email": "ada@example.test",
                                "relationship": "Mother"},
                       "babies": [], "tokens": {"access_token": "a", "refresh_token": "r"}})"});
    // An empty feed: one that is no feed at all has the feed say so over the bar.
    server.reply("POST", "/m/api/content/", Reply{200, R"({"data":{"posts":[],"daily_update":[],"content":[]}})"});
    const auto script = writeScript("signin.txt", R"(tap #emailTextField
type "ada@example.test"
tap #passwordField
type "pass"
tap "Sign In"
expect "Home"
tap #hamburgerButton
expect "Ada Quill"
)");
    // Named with a closing slash, as an address is often written: the paths still have one slash.
    Outcome r =
        run({"--headless", "--server", server.base() + "/", "--data-dir", data(), "--script", script.string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("Host Environment: " + server.base() + "\n"));
    EXPECT_THAT(r.out, Not(HasSubstr("Demo server")));
    ASSERT_EQ(server.requestsAt("/m/api/signin/").size(), 1u);
    EXPECT_EQ(server.requestsAt("/m/api/signin/")[0].json(),
              (nlohmann::json{{"email", "ada@example.test"}, {"password", "pass"}}));
    EXPECT_FALSE(std::filesystem::exists(directory / "data" / "server")) << "no demo server was started";
}

TEST_F(CradlewayExecutable, ScriptsAndOptionsFailWithStatusesThatSayWhy) {
    const auto unknown = writeScript("unknown.txt", "expect \"Log In\"\n\nswipe left\n");
    Outcome r = run({"--headless", "--server", "http://127.0.0.1:9", "--data-dir", data(), "--script", unknown.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("unknown.txt:3: unknown step \"swipe\""));

    const auto failing = writeScript("failing.txt", "expect \"Log In\"\nback\n");
    r = run({"--headless", "--server", "http://127.0.0.1:9", "--data-dir", data(), "--script", failing.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("failing.txt:2: back: no back button is shown"));

    r = run({"--headless", "--server", "ftp://example.test", "--data-dir", data()});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("--server wants an http or https address"));
    r = run({"--headless", "--access-token-seconds", "0", "--data-dir", data()});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("--access-token-seconds needs a number of seconds"));
    r = run({"--headless", "--server", "http://127.0.0.1:9", "--access-token-seconds", "5", "--data-dir", data()});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("a server named with --server keeps its own"));
    r = run({"--headless", "--data-dir"});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("--data-dir needs a value"));
    r = run({"--script", failing.string(), "--server", "http://127.0.0.1:9", "--data-dir", data()});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("--script runs only with --headless"));
    r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr("usage: cradleway"));
    EXPECT_THAT(r.out, HasSubstr("F1"));
}

// The options named in a usage text ("--size", "--touch-id", ...), in their order.
std::vector<std::string> optionsIn(const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        std::size_t end = at + 2;
        while (end < text.size() && (std::islower(static_cast<unsigned char>(text[end])) || text[end] == '-'))
            ++end;
        found.push_back(text.substr(at, end - at));
        at = end - 2;
    }
    return found;
}

TEST_F(CradlewayExecutable, HelpAndTheReadmeListTheSameOptionsAndHelpExplainsEach) {
    const Outcome help = run({"--help"});
    ASSERT_EQ(help.status, 0);
    const std::string usage = help.out.substr(0, help.out.find("\n  --"));
    const std::string readme = readFile(CW_README);
    const auto block = readme.find("```\ncradleway [");
    ASSERT_NE(block, std::string::npos) << "the README's usage line";
    const std::string readmeUsage = readme.substr(block, readme.find("```", block + 3) - block);
    EXPECT_EQ(optionsIn(usage), optionsIn(readmeUsage));
    for (const auto& option : optionsIn(usage)) {
        EXPECT_THAT(help.out, HasSubstr("\n  " + option + " ")) << "--help explains " << option;
        EXPECT_THAT(readme, HasSubstr("`" + option)) << "the README explains " << option;
    }
}

TEST_F(CradlewayExecutable, OpensInAWindowAndTakesAScreenshot) {
    auto xvfb = findProgram("Xvfb");
    if (!xvfb)
        GTEST_SKIP() << "Xvfb is not installed, so the window host cannot be opened here (apt-get install xvfb)";
    VirtualDisplay display(*xvfb);
    ASSERT_TRUE(display.ready()) << "Xvfb did not start";
    const auto shot = directory / "window.png";
    // The X and D-Bus libraries that SDL loads keep what they allocate for the life of the process
    // (as the window host test's child leaves without exit-time clean-up): no leak check here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string sanitizer = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
    Outcome r = run({"--data-dir", data(), "--screenshot", shot.string(), "--seconds", "30"},
                    {{"DISPLAY", display.name()}, {"SDL_VIDEODRIVER", "x11"}, {"ASAN_OPTIONS", sanitizer}});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    auto image = UIImage::fromFile(shot);
    ASSERT_TRUE(image) << "no screenshot was written";
    EXPECT_NEAR(static_cast<double>(image->pixelWidth()) / image->pixelHeight(), 375.0 / 667.0, 0.01);
    EXPECT_GT(image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() * 3 / 4).white(), 0.9)
        << "the sign-in screen is drawn on white";
}

} // namespace cw::test
