#include "host/HeadlessScript.h"

#include "foundation/defaults/Storage.h"
#include "host/HeadlessHost.h"
#include "hosts/sample-host/SampleApp.h"
#include "kits/images/ImageLoader.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/TempDirectory.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
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

TEST_F(HeadlessScriptTest, ATapOnAViewUnderAnAlertFailsAndLeavesTheScreenAsItWas) {
    EXPECT_EQ(run("tap \"Tuesday\"\ntap #shareButton\ntap #shareButton\nalert \"Cancel\"\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(), HasSubstr("walk.txt:3: tap #shareButton: it is covered by "));
    EXPECT_THAT(errors.str(), HasSubstr("\"Share Tuesday\""));
    EXPECT_THAT(app->events, ElementsAre("open Tuesday", "share Tuesday"));
    EXPECT_EQ(run("alert \"Cancel\"\ntap #shareButton\n"), cw::kScriptSucceeded) << errors.str();
    EXPECT_THAT(app->events, ElementsAre("open Tuesday", "share Tuesday", "share Tuesday"));
}

// A plain screen whose buttons lie in the open, under a bar and under the keyboard, and a picture
// that a local server holds back until the test lets it go.
class ScreenScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        cw::setCachesDirectory(directory / "caches");
        cw::images::ImageLoader::resetShared();
        host.launch(app);
        options.screenshotDirectory = directory / "shots";
        options.name = "screen.txt";
        options.waitSeconds = 0.05;
        root = app->root->view();
        button("In the open", {100, 300, 175, 44});
        button("Under the bar", {100, 20, 175, 44});
        auto bar = std::make_shared<UIView>(CGRect(0, 0, 375, 80));
        bar->setAccessibilityIdentifier("banner");
        bar->setBackgroundColor(UIColor::grayColor());
        auto label = std::make_shared<UILabel>(CGRect(20, 30, 300, 30));
        label->setText("Saved");
        bar->addSubview(label);
        root->addSubview(bar);
        field = std::make_shared<UITextField>(CGRect(20, 200, 335, 40));
        field->setAccessibilityIdentifier("field");
        root->addSubview(field);
        button("Under the keys", {100, 600, 175, 44})->setAccessibilityIdentifier("keysButton");
        host.settle();
    }
    void TearDown() override {
        release();
        server.stop();
        cw::images::ImageLoader::resetShared();
        cw::setCachesDirectory(std::nullopt);
    }

    std::shared_ptr<UIButton> button(const std::string& title, CGRect frame) {
        auto b = std::make_shared<UIButton>(UIButtonType::system);
        b->setFrame(frame);
        b->setTitle(title, UIControlStateNormal);
        b->addAction([this, title](UIControl*) { taps.push_back(title); }, UIControlEventTouchUpInside);
        root->addSubview(b);
        return b;
    }
    int run(const std::string& script) {
        std::istringstream in(script);
        errors.str("");
        return cw::runHeadlessScript(host, in, options, errors);
    }
    void release() {
        std::lock_guard lock(mutex);
        released = true;
        letGo.notify_all();
    }

    cw::test::TempDirectory directory{"cw-screen-script"};
    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::shared_ptr<UIView> root;
    std::shared_ptr<UITextField> field;
    std::vector<std::string> taps;
    cw::HeadlessScriptOptions options;
    std::ostringstream errors;
    cw::test::RecordingServer server;
    std::mutex mutex;
    std::condition_variable letGo;
    bool released = false;
};

TEST_F(ScreenScriptTest, ATapOnAViewUnderABarOrTheKeyboardFailsNamingWhatCoversIt) {
    EXPECT_EQ(run("tap \"Under the bar\"\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(), HasSubstr("screen.txt:1: tap \"Under the bar\": it is covered by UIView #banner \"Saved\""));
    EXPECT_EQ(run("tap \"In the open\"\ntap #field\ntype \"hello\"\ntap #keysButton\n"), cw::kScriptStepFailed);
    EXPECT_TRUE(cw::Keyboard::shared().isVisible());
    EXPECT_THAT(errors.str(), HasSubstr("screen.txt:4: tap #keysButton: it is covered by the keyboard"));
    EXPECT_THAT(taps, ElementsAre("In the open")) << "a covered view hears no tap";
    // A button's title hands its touch to the button, which takes it.
    EXPECT_EQ(run("tap \"In the open\"\n"), cw::kScriptSucceeded) << errors.str();
    EXPECT_THAT(taps, ElementsAre("In the open", "In the open"));

    // A title that stands outside the view holding it, as a floating menu item's does, is not where
    // the touch goes: the overlay behind the item takes it.
    auto overlay = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    overlay->setAccessibilityIdentifier("overlay");
    auto item = std::make_shared<UIView>(CGRect(300, 300, 50, 50));
    auto title = std::make_shared<UILabel>(CGRect(-90, 10, 80, 30));
    title->setText("Post");
    item->addSubview(title);
    overlay->addSubview(item);
    root->addSubview(overlay);
    EXPECT_EQ(run("tap \"Post\"\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(), HasSubstr("screen.txt:1: tap \"Post\": it lies outside UIView \"Post\", which holds it; "
                                        "the tap would land on UIView #overlay"));
}

TEST_F(ScreenScriptTest, AScreenshotWaitsForThePicturesOnScreenOrSaysWhichHaveNotArrived) {
    std::vector<std::uint32_t> red(40 * 40, 0xFFFF0000);
    const Data png = *UIImage::fromPixels(40, 40, 1, red.data())->pngData();
    server.reply("GET", "/late.png", cw::test::Reply{200, std::string(png.begin(), png.end()), "image/png"});
    server.setHandler([this](const cw::test::RecordedRequest&, httplib::Response&) {
        std::unique_lock lock(mutex);
        letGo.wait(lock, [&] { return released; });
    });
    auto picture = std::make_shared<UIImageView>(CGRect(100, 380, 80, 60));
    picture->setAccessibilityIdentifier("latePicture");
    root->addSubview(picture);
    setImageWithURL(*picture, *URL::fromString(server.base() + "/late.png"));

    EXPECT_EQ(run("screenshot early\n"), cw::kScriptStepFailed);
    EXPECT_THAT(errors.str(),
                HasSubstr("screen.txt:1: screenshot early: 1 picture on screen had not arrived after 0.05 seconds "
                          "(UIImageView #latePicture)"));
    EXPECT_FALSE(std::filesystem::exists(directory / "shots" / "early.png"));

    release();
    options.waitSeconds = 10;
    EXPECT_EQ(run("screenshot late\n"), cw::kScriptSucceeded) << errors.str();
    auto shot = UIImage::fromFile(directory / "shots" / "late.png");
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixel(140 * 2, 410 * 2), 0xFFFF0000u) << "the picture is in the screenshot";
}

} // namespace
