// The class details screen with its picker and its video, and the sample video screen, in the main
// navigation controller (no screen of the application opens them).

#include "EducationFixture.h"

#include "Controllers/Education/ClassesAvailableView.h"
#include "Controllers/Education/DetailedClassViewController.h"
#include "Controllers/Education/VideoViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Models/FeedResponse.h"
#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "kits/video/VideoView.h"
#include "kits/video/XCDYouTubeVideoPlayerViewController.h"

#include <gmock/gmock.h>

namespace cw::test {
namespace {

class ClassAndVideoTest : public EducationTest {
protected:
    void SetUp() override {
        EducationTest::SetUp();
        token = NotificationCenter::defaultCenter().addObserver(
            MPMoviePlayerPlaybackDidFinishNotification, nullptr, nullptr, [this](const Notification& n) {
                reasons.push_back(n.value<long>(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey).value_or(-1));
            });
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(token);
        EducationTest::TearDown();
    }

    // A class row of the demo library's cards, by its title.
    FeedTableData classRow(const std::string& title) {
        std::vector<std::int64_t> babies;
        for (const auto& baby : AuthenticationContext::shared().babies())
            if (baby->babyId()) babies.push_back(*baby->babyId());
        std::optional<JSON> reply;
        bool failed = false;
        ContentService().fetchFeed(
            babies, memberId(), [&](const auto&, const std::optional<JSON>& r) { reply = r.value_or(JSON()); },
            [&](const auto&, const auto&) { failed = true; });
        EXPECT_TRUE(waitFor([&] { return reply || failed; }));
        for (const auto& card : FeedResponse::cards((*reply)["data"]["content"]))
            for (const auto& row : card->descriptionMedia)
                if (row.title == title) return row;
        ADD_FAILURE() << "no class row " << title;
        return FeedTableData();
    }
    std::shared_ptr<DetailedClassViewController> showClass(FeedTableData row) {
        auto details = std::make_shared<DetailedClassViewController>(std::move(row));
        mainNavigation()->pushViewController(details, true);
        host->settle();
        return details;
    }
    std::shared_ptr<XCDYouTubeVideoPlayerViewController> player() const {
        return std::dynamic_pointer_cast<XCDYouTubeVideoPlayerViewController>(topScreen());
    }

    std::shared_ptr<NotificationObserver> token;
    std::vector<long> reasons;
};

TEST_F(ClassAndVideoTest, AClassShowsItsDatesAndRegisterSlidesThePickerUpAndDown) {
    const auto row = classRow("Infant CPR: the basics");
    EXPECT_EQ(row.videoIdentifier, "cwDemoCpr01");
    auto details = showClass(row);
    EXPECT_EQ(details->videoIdentifer(), "cwDemoCpr01");
    for (const char* text : {"Infant CPR: the basics", "A short film to watch before the class", "Place: Family Room A1234",
                             "Dates Offered", "Thu Nov 5 @ 2:00pm - 3:00pm", "Tue Nov 9 @ 2:00pm - 3:00pm",
                             "Thu Nov 12 @ 2:00pm - 3:00pm", "Register"})
        EXPECT_TRUE(host->isShowing(text)) << text;
    EXPECT_FALSE(host->isShowing("Choose a time"));
    EXPECT_EQ(details->classesPickerView()->numberOfRows(0), 4);
    EXPECT_TRUE(samePicture(details->imageView()->image(), UIImage::named("class_cpr")));
    EXPECT_EQ(details->imageView()->frame().height(), 240);
    EXPECT_EQ(details->view()->backgroundColor(), UIColorWithHex("#F2EFEB", 1.0));

    // The picker waits below the bottom edge (the screen starts below the bar); Register raises it
    // by its height over half a second, and rises with it.
    const auto& picker = details->classesPickerView();
    const auto& button = details->registerButton();
    const auto& scroll = details->scrollView();
    EXPECT_EQ(details->view()->frame().origin.y, 64);
    const CGFloat viewHeight = details->view()->bounds().height();
    const CGFloat pickerHeight = picker->frame().height();
    ASSERT_GT(pickerHeight, 0);
    EXPECT_EQ(picker->frame().origin.y, viewHeight);
    EXPECT_EQ(button->frame().maxY(), viewHeight - 10);
    EXPECT_EQ(scroll->frame().maxY(), button->frame().origin.y - 10);
    EXPECT_EQ(scroll->contentSize().height, details->classLabel3()->frame().maxY() + 10);
    ASSERT_TRUE(host->tapText("Register"));
    EXPECT_EQ(details->classesPickerViewTopConstraint->constant(), -pickerHeight);
    EXPECT_EQ(picker->frame().origin.y, viewHeight - pickerHeight);
    EXPECT_EQ(button->frame().maxY(), picker->frame().origin.y - 10);
    EXPECT_EQ(scroll->frame().maxY(), button->frame().origin.y - 10);
    EXPECT_EQ(scroll->contentOffset().y, std::max<CGFloat>(0, scroll->contentSize().height - scroll->bounds().height()));
    screenshot("education-class");

    // Each time the wheel rests on is only written to the console; the first row says nothing.
    console.str("");
    ASSERT_TRUE(host->turnPickerToRow(2));
    ASSERT_TRUE(host->turnPickerToRow(0));
    EXPECT_EQ(console.str(), "1\n2\n1\n");

    // Again: back below the edge, the button at the bottom, the content scrolled to 100 points.
    ASSERT_TRUE(host->tapText("Register"));
    EXPECT_EQ(details->classesPickerViewTopConstraint->constant(), 0);
    EXPECT_EQ(picker->frame().origin.y, viewHeight);
    EXPECT_EQ(button->frame().maxY(), viewHeight - 10);
    EXPECT_EQ(scroll->contentOffset().y, 100);
}

TEST_F(ClassAndVideoTest, RegisterMovesThePickerOverHalfASecond) {
    auto details = showClass(classRow("Infant CPR: the basics"));
    const auto& picker = details->classesPickerView();
    const CGFloat viewHeight = details->view()->bounds().height();
    const CGFloat pickerHeight = picker->frame().height();
    details->registerButtonTapped();
    host->advance(0.25);
    ASSERT_TRUE(picker->layer()->presentation && picker->layer()->presentation->position);
    const CGFloat halfway = picker->layer()->presentation->position->y - pickerHeight / 2;
    EXPECT_GT(halfway, viewHeight - pickerHeight);
    EXPECT_LT(halfway, viewHeight);
    EXPECT_EQ(details->scrollView()->contentOffset().y, 0) << "the scroll waits for the end of the slide";
    host->advance(0.3);
    EXPECT_FALSE(picker->layer()->presentation && picker->layer()->presentation->position);
}

TEST_F(ClassAndVideoTest, ThePicturePlaysTheClassVideoWithoutTheBarAndItsEndComesBack) {
    auto details = showClass(classRow("Infant CPR: the basics"));
    ASSERT_TRUE(host->tap(details->imageView()));
    auto video = player();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->videoIdentifier(), "cwDemoCpr01");
    EXPECT_TRUE(mainNavigation()->isNavigationBarHidden());

    // The pictures follow the clock.
    auto& view = *video->moviePlayer()->view();
    ASSERT_TRUE(waitFor([&] { return view.displayedFrameTime().has_value(); }, 30));
    const double first = *view.displayedFrameTime();
    host->advance(1);
    ASSERT_TRUE(waitFor([&] { return view.displayedFrameTime() > first + 0.5; }, 30));
    host->settle();
    screenshot("education-video");

    // The end pops the player; the details come back with their bar.
    ASSERT_TRUE(host->finishPlayback());
    host->settle();
    EXPECT_EQ(topScreen(), details);
    EXPECT_FALSE(mainNavigation()->isNavigationBarHidden());
    EXPECT_THAT(reasons, ::testing::ElementsAre(static_cast<long>(MPMovieFinishReason::playbackEnded)));
}

TEST_F(ClassAndVideoTest, AClassWithoutAVideoEndsInTheErrorStateAndAnEndBelowAnotherScreenPopsNothing) {
    auto row = classRow("Infant CPR: the basics");
    row.videoIdentifier.reset();
    auto details = showClass(row);
    EXPECT_FALSE(details->videoIdentifer());
    ASSERT_TRUE(host->tap(details->imageView()));
    ASSERT_TRUE(waitFor([&] { return !reasons.empty(); }));
    host->settle();
    EXPECT_EQ(reasons.front(), static_cast<long>(MPMovieFinishReason::playbackError));
    EXPECT_EQ(topScreen(), details);
    EXPECT_FALSE(mainNavigation()->isNavigationBarHidden());

    // A player whose end comes while another screen stands over it stays where it is.
    auto again = showClass(classRow("Choking: what to do"));
    ASSERT_TRUE(host->tap(again->imageView()));
    auto video = player();
    ASSERT_TRUE(video);
    auto over = std::make_shared<UIViewController>();
    mainNavigation()->pushViewController(over, false);
    host->settle();
    video->moviePlayer()->finishPlayback();
    host->settle();
    EXPECT_EQ(topScreen(), over);
    EXPECT_EQ(mainNavigation()->viewControllers().end()[-2], video);
}

TEST_F(ClassAndVideoTest, TheSampleVideoPlaysAfterItsPlayControlAndTheClassCardLaysItsRowOut) {
    auto sample = std::make_shared<VideoViewController>();
    mainNavigation()->pushViewController(sample, true);
    host->settle();
    ASSERT_TRUE(sample->moviePlayer);
    EXPECT_EQ(sample->moviePlayer->view()->frame(), (CGRect{20, 100, 200, 150}));
    EXPECT_EQ(sample->moviePlayer->view()->superview(), sample->view());
    EXPECT_TRUE(sample->childViewControllers().empty());
    EXPECT_EQ(sample->moviePlayer->player()->currentItem()->url()->absoluteString(),
              server->baseUrl() + "/static-files/videos/sample.mp4");
    const auto& video = *sample->moviePlayer->videoView();
    ASSERT_TRUE(waitFor([&] { return video.playback()->state() == cw::video::PlaybackState::paused; }, 30));
    host->advance(1);
    EXPECT_EQ(sample->moviePlayer->player()->rate(), 0);
    ASSERT_TRUE(host->tapText("Play"));
    const double first = sample->moviePlayer->player()->currentTime().seconds();
    host->advance(1);
    EXPECT_GT(sample->moviePlayer->player()->currentTime().seconds(), first + 0.5);

    // The class card: the picture 150 by 110 under the title, the play sign on it.
    auto card = std::make_shared<ClassesAvailableView>(classRow("Choking: what to do"));
    card->setFrame({0, 0, 375, 200});
    sample->view()->addSubview(card);
    host->settle();
    EXPECT_EQ(card->videoIdentifer(), "cwDemoChoke2");
    EXPECT_EQ(card->imageView()->frame(), (CGRect{10, card->titleLabel()->frame().maxY() + 10, 150, 110}));
    EXPECT_EQ(card->subTitleLabel()->frame().origin.x, 170);
    EXPECT_EQ(card->subTitleLabel()->frame().origin.y, card->imageView()->frame().origin.y);
    EXPECT_EQ(card->playImageView()->superview(), card->imageView());
    EXPECT_NEAR(card->playImageView()->alpha(), 0.7, 1e-6);
    EXPECT_FALSE(ClassesAvailableView().videoIdentifer());
}

} // namespace
} // namespace cw::test
