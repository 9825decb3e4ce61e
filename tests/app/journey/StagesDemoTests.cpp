// The stage journey of the demo twins as the demo mother pages through it and answers a stage's
// question, against the demo server.

#include "JourneyDemoFixture.h"

#include "Controllers/Journey/JourneyCell.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UIAlertController.h"

namespace cw::journeytest {

namespace {

std::shared_ptr<JourneyViewController_old> page(const JourneyContainerViewController& stages, long index) {
    return std::dynamic_pointer_cast<JourneyViewController_old>(stages.viewControllers.at(static_cast<std::size_t>(index)));
}

// The row of the stage titled `title` on a page.
std::shared_ptr<JourneyCell> stageRow(const JourneyViewController_old& list, const std::string& title) {
    auto table = list.tableView.lock();
    for (const auto& cell : table ? table->visibleCells() : std::vector<std::shared_ptr<UITableViewCell>>{}) {
        auto row = std::dynamic_pointer_cast<JourneyCell>(cell);
        if (row && row->titleLabel.lock()->text() == title) return row;
    }
    return nullptr;
}

bool showsComplete(const std::shared_ptr<JourneyCell>& row) {
    auto bubble = row ? row->indicator.lock() : nullptr;
    return bubble && bubble->backgroundColor() == UIColorPalette::cwy_mountainMeadow() &&
           bubble->layer()->transform() == CATransform3DMakeScale(1.5, 1.5, 1);
}

} // namespace

TEST_F(JourneyDemoTest, TheStagePagesOpenOnTheSelectedBabyAndFollowSwipes) {
    auto olivia = baby("Olivia Hart");
    auto noah = baby("Noah Hart");
    AuthenticationContext::shared().setSelectedBabyId(noah->babyId());
    auto stages = openStages();
    ASSERT_EQ(stages->viewControllers.size(), 2u);
    const long noahPage = page(*stages, 0)->babyData->babyId() == noah->babyId() ? 0 : 1;
    const long oliviaPage = 1 - noahPage;
    EXPECT_EQ(page(*stages, oliviaPage)->babyData->babyId(), olivia->babyId());
    EXPECT_EQ(stages->pageIndex, noahPage);
    EXPECT_EQ(stages->title(), std::optional<std::string>("Noah Hart's Journey"));
    EXPECT_TRUE(waitForText("Noah Hart's Journey"));
    auto dots = stages->pageControl.lock();
    EXPECT_EQ(dots->numberOfPages(), 2);
    EXPECT_EQ(dots->currentPage(), noahPage);
    EXPECT_FALSE(dots->isHidden());
    EXPECT_EQ(stages->containerView.lock()->alpha(), 1);
    EXPECT_FALSE(stages->activityIndicator.lock()->isAnimating());

    // A swipe all the way over: Olivia's page, title and dot.
    const CGFloat y = 420;
    const bool oliviaIsLeft = oliviaPage < noahPage;
    ASSERT_TRUE(host->drag({oliviaIsLeft ? 30.0 : 345.0, y}, {oliviaIsLeft ? 345.0 : 30.0, y}));
    EXPECT_EQ(stages->title(), std::optional<std::string>("Olivia Hart's Journey"));
    EXPECT_EQ(dots->currentPage(), oliviaPage);
    EXPECT_EQ(stages->pageIndex, oliviaPage);
    // A swipe given up half-way: the title and dot come back to the page still shown.
    ASSERT_TRUE(host->drag({oliviaIsLeft ? 300.0 : 75.0, y}, {oliviaIsLeft ? 260.0 : 115.0, y}));
    EXPECT_EQ(stages->pageViewController->viewControllers().front(), page(*stages, oliviaPage));
    EXPECT_EQ(stages->title(), std::optional<std::string>("Olivia Hart's Journey"));
    EXPECT_EQ(dots->currentPage(), oliviaPage);
    EXPECT_EQ(stages->pageIndex, oliviaPage);
}

TEST_F(JourneyDemoTest, AParentAnswersAStageAndThePagesComeBackFromTheServer) {
    auto olivia = baby("Olivia Hart");
    AuthenticationContext::shared().setSelectedBabyId(olivia->babyId());
    auto stages = openStages();
    const long index = stages->pageIndex;
    auto before = page(*stages, index);
    ASSERT_EQ(before->babyData->babyId(), olivia->babyId());
    // The entrance animation brings the bubbles to their states.
    host->advance(2);
    ASSERT_TRUE(waitForText("FEEDING"));
    EXPECT_TRUE(showsComplete(stageRow(*before, "BREATHING")));
    EXPECT_FALSE(showsComplete(stageRow(*before, "FEEDING")));
    picture("journey-stages");

    ASSERT_TRUE(host->tapIdentifier("bubble-FEEDING"));
    ASSERT_TRUE(waitForText("Would you like to update the status of this item?"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(waitForText("Is Olivia taking feeds by mouth?"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));

    const std::string feeding = "SELECT answer FROM questions WHERE baby_id = " + std::to_string(*olivia->babyId()) +
                                " AND title = 'Feeding'";
    ASSERT_TRUE(waitFor([&] { return text(feeding) == "Yes"; }));
    ASSERT_TRUE(waitForText("Thank you, your answers are saved."));
    // The pages are built again from the server, on the same page, the bubble now complete.
    ASSERT_TRUE(waitFor([&] { return page(*stages, index) != before; }));
    EXPECT_EQ(stages->pageIndex, index);
    EXPECT_EQ(stages->title(), std::optional<std::string>("Olivia Hart's Journey"));
    auto after = page(*stages, index);
    EXPECT_TRUE(after->stages[1]->isComplete);
    host->advance(2);
    EXPECT_TRUE(showsComplete(stageRow(*after, "FEEDING")));
    EXPECT_FALSE(showsActivityOverlay(stages));

    ASSERT_TRUE(waitForEvents("NicuJourneyScreen", "bubblesTapped"));
    const auto taps = eventsWith("NicuJourneyScreen", "bubblesTapped");
    ASSERT_EQ(taps.size(), 1u);
    EXPECT_EQ(taps[0].action, "Tap");
    EXPECT_EQ(taps[0].details, (nlohmann::json{{"bubblesTapped", "User tried to tap on a question bubble"},
                                               {"isStageComplete", false},
                                               {"bubbleColor", "gray"}}));
}

TEST_F(JourneyDemoTest, AMemberWhoIsNotAParentCannotOpenAStagesQuestion) {
    AuthenticationContext::shared().user()->setRelationship(FamilyRelationship::GrandParent);
    auto stages = openStages();
    ASSERT_TRUE(waitForText("FEEDING"));
    ASSERT_TRUE(host->tapIdentifier("bubble-FEEDING"));
    EXPECT_FALSE(std::dynamic_pointer_cast<UIAlertController>(host->topViewController()));
    EXPECT_FALSE(host->isShowing("Would you like to update the status of this item?"));
    RunLoop::main().runFor(0.2);
    EXPECT_TRUE(eventsWith("NicuJourneyScreen", "bubblesTapped").empty());
}

// The journey's answer is lost on its way (a proxy's error page comes instead): the screen stops
// turning its spinner and says so in its banner, as the timeline and the daily update do.
TEST_F(JourneyDemoTest, AStageJourneyThatDoesNotComeStopsItsSpinnerAndSaysSo) {
    test::RecordingServer front;
    front.setHandler([upstream = demo->baseUrl()](const test::RecordedRequest& request, httplib::Response& response) {
        test::forwardRequest(upstream, request, response);
        if (request.path != "/m/api/member/nicu_journey/") return;
        response.status = 502;
        response.set_content("<html><body>Bad gateway</body></html>", "text/html");
    });
    test::prepareBundle(*environment, front.base(), "org.cradleway.journey-tests");
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapIdentifier("journeyButton"));
    auto stages = topAs<JourneyContainerViewController>();
    ASSERT_TRUE(stages) << "the journey button opened no stage journey";
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*stages) != nullptr; })) << "no word of it";
    EXPECT_EQ(GSMessage::shown(*stages)->type(), GSMessageType::error);
    EXPECT_TRUE(host->isShowing(GSMessage::shown(*stages)->text()));
    EXPECT_FALSE(stages->activityIndicator.lock()->isAnimating());
    EXPECT_TRUE(stages->viewControllers.empty());
    EXPECT_EQ(stages->title(), std::optional<std::string>("NICU Journey"));
    EXPECT_EQ(front.requestCount("/m/api/member/nicu_journey/"), 1u);
}

} // namespace cw::journeytest
