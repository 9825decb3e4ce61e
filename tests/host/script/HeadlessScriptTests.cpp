#include "host/HeadlessScript.h"

#include "host/HeadlessHost.h"
#include "hosts/sample-host/SampleApp.h"
#include "tests/support/TempDirectory.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class HeadlessScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_shared<SampleAppDelegate>();
        host.launch(app);
        options.screenshotDirectory = directory / "shots";
        options.baseDirectory = directory.path();
        options.name = "walk.txt";
        options.waitSeconds = 0.05;
    }

    int run(const std::string& script) {
        std::istringstream in(script);
        errors.str("");
        return cw::runHeadlessScript(host, in, options, errors);
    }

    cw::HeadlessHost host;
    std::shared_ptr<SampleAppDelegate> app;
    cw::test::TempDirectory directory{"cw-script"};
    cw::HeadlessScriptOptions options;
    std::ostringstream errors;
};

TEST_F(HeadlessScriptTest, DrivesTheApplicationStepByStepAndWritesScreenshots) {
    const int status = run(R"(# open a day, share it, come back
expect "Journal"
tap "Tuesday"

expect "Notes for Tuesday"
tap #shareButton
alert "Send"
expect "Sent to the family"
screenshot sent
wait 2.5
back
expect "Monday"
)");
    EXPECT_EQ(status, cw::kScriptSucceeded) << errors.str();
    EXPECT_THAT(errors.str(), IsEmpty());
    EXPECT_THAT(app->events, ElementsAre("open Tuesday", "share Tuesday", "sent Tuesday"));
    auto shot = UIImage::fromFile(directory / "shots" / "sent.png");
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixelWidth(), 750);
}

TEST_F(HeadlessScriptTest, ALineThatIsNoStepStopsTheScriptBeforeAnythingRuns) {
    struct Case {
        std::string line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"swipe left", "walk.txt:3: unknown step \"swipe\""},
        {"tap Tuesday", "walk.txt:3: tap wants a text in double quotes"},
        {"tap \"Tues\"day\"", "walk.txt:3: tap has a double quote inside its text"},
        {"type \"a\\qb\"", "walk.txt:3: type has an unknown escape \\q"},
        {"delete two", "walk.txt:3: delete wants a whole number"},
        {"drag 10,10", "walk.txt:3: drag wants two points"},
        {"wait soon", "walk.txt:3: wait wants a number of seconds"},
        {"push [1, 2]", "walk.txt:3: push wants a JSON object"},
        {"tap-push {\"screen\": ", "walk.txt:3: tap-push wants a JSON object"},
        {"touchid maybe", "walk.txt:3: touchid wants match or nomatch"},
        {"screenshot ../escape", "walk.txt:3: screenshot wants a file name"},
        {"back now", "walk.txt:3: back takes no arguments"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run("tap \"Monday\"\n# then\n" + c.line + "\n"), cw::kScriptInvalid) << c.line;
        EXPECT_THAT(errors.str(), HasSubstr(c.message)) << c.line;
    }
    EXPECT_THAT(app->events, IsEmpty()) << "no step ran";
}

TEST_F(HeadlessScriptTest, AStepThatCannotBeDoneFailsNamingItsLineAndWhatShows) {
    EXPECT_EQ(run("tap \"Monday\"\nexpect \"Notes for Sunday\"\ntap \"Share\"\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(), HasSubstr("walk.txt:2: expect \"Notes for Sunday\": not on screen; showing "));
    EXPECT_THAT(errors.str(), HasSubstr("\"Notes for Monday\""));
    EXPECT_THAT(app->events, ElementsAre("open Monday")) << "the steps after the failed one did not run";

    EXPECT_EQ(run("tap #nowhere\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(), HasSubstr("walk.txt:1: tap #nowhere: nothing on screen has the identifier nowhere"));
    EXPECT_EQ(run("alert \"OK\"\n"), cw::kScriptStepFailed);
    EXPECT_EQ(run("pick missing.png\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(), HasSubstr("no photo picker is shown"));
}

TEST_F(HeadlessScriptTest, AScriptFileThatCannotBeReadIsInvalid) {
    std::ostringstream out;
    EXPECT_EQ(cw::runHeadlessScriptFile(host, directory / "none.txt", directory.path(), out), cw::kScriptInvalid);
    EXPECT_THAT(out.str(), HasSubstr("cannot read the script"));

    std::ofstream(directory / "ok.txt") << "tap \"Thursday\"\n";
    EXPECT_EQ(cw::runHeadlessScriptFile(host, directory / "ok.txt", directory.path(), out), cw::kScriptSucceeded);
    EXPECT_THAT(app->events, ElementsAre("open Thursday"));
}

TEST_F(HeadlessScriptTest, StepsSentOneByOneAreEachAnsweredOnALineAndABadOneDoesNotEndTheRun) {
    std::istringstream in("expect \"Journal\"\n\n# a comment gets no answer\nswipe left\ntap \"Tuesday\"\n"
                          "absent \"Journal\"\nabsent \"Notes for Tuesday\"\ndraw\ntype \"\\x1b\\x7f\"\n"
                          "type \"\\x1\"\nexpect \"Notes for Tuesday\"\n");
    std::ostringstream replies;
    EXPECT_EQ(cw::runHeadlessSteps(host, in, replies, options), cw::kScriptInvalid);
    std::vector<std::string> lines;
    std::istringstream answered(replies.str());
    for (std::string line; std::getline(answered, line);)
        lines.push_back(line);
    EXPECT_THAT(lines, ElementsAre("step 1 ok", "step 4 invalid: unknown step \"swipe\"", "step 5 ok", "step 6 ok",
                                   "step 7 failed: still on screen", "step 8 ok",
                                   "step 9 failed: no field is being edited",
                                   "step 10 invalid: type wants two hexadecimal digits after \\x", "step 11 ok"));
    EXPECT_THAT(app->events, ElementsAre("open Tuesday"));
}

} // namespace
