// The onboarding tutorial as a person uses it: presented over a white screen, paged with the button
// and with the finger, its usage events as a recording server receives them.

#include "App/Onboarding/OnboardingViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace cw::test {

namespace {

// Where each animated scroll came to rest, as the scroll view tells its delegate.
class RecordingOnboarding : public OnboardingViewController {
public:
    void scrollViewDidEndScrollingAnimation(UIScrollView* scroll) override {
        animatedScrollsEndedAt.push_back(scroll->contentOffset());
    }
    std::vector<CGPoint> animatedScrollsEndedAt;
};

nlohmann::json navigated() {
    return {{"userNavigatedOnTutorial", "User navigated on tutorial"}};
}
nlohmann::json navigatedToLast() {
    return {{"userNavigatedToLastTutorial", "User navigated to last tutorial"}};
}

class Onboarding : public ::testing::Test {
protected:
    void SetUp() override {
        environment.writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.onboarding-tests"}});
        UIImage::setResourceDirectory(generatedResourcesDirectory());
    }
    void TearDown() override {
        // The background queue's events of this test have all arrived before the next one starts.
        RunLoop::main().runFor(0.05);
    }

    // Presents a new tutorial over the white screen, as the settings screen does.
    void present(CGSize screen = {375, 667}, UIEdgeInsets safeArea = {}) {
        host = std::make_unique<cw::HeadlessHost>(screen);
        ASSERT_TRUE(host->launch(app));
        tutorial = std::make_shared<RecordingOnboarding>();
        tutorial->additionalSafeAreaInsets = safeArea;
        app->root->present(tutorial, true);
        host->settle();
        ASSERT_EQ(host->topViewController(), tutorial);
    }

    // The usage events in the order they arrived: screen, action, details.
    std::vector<nlohmann::json> events() const {
        std::vector<nlohmann::json> result;
        for (const auto& r : server.requestsAt("/m/api/analytics/")) {
            const auto body = r.json();
            EXPECT_EQ(body.value("screen_name", ""), "TutorialScreen");
            EXPECT_EQ(body.value("screen_action", ""), "Tap");
            result.push_back(body.value("event_details", nlohmann::json()));
        }
        return result;
    }

    std::shared_ptr<UIScrollView> scroll() const { return tutorial->scrollView(); }
    std::string buttonTitle() const { return tutorial->nextButton()->currentTitle().value_or(""); }

    RecordingServer server;
    AppEnvironment environment{"cw-onboarding"};
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<WhiteScreenApplication> app = std::make_shared<WhiteScreenApplication>();
    std::shared_ptr<RecordingOnboarding> tutorial;
};

} // namespace

TEST_F(Onboarding, NextPagesThroughTheFourThemesAndDoneClosesTheTutorial) {
    present();
    EXPECT_TRUE(host->isShowing("Connect"));
    EXPECT_TRUE(host->isShowing("Everyone wants to hear about the new addition. Invite your family and friends to "
                                "communicate about your baby. Anytime!"));
    EXPECT_EQ(buttonTitle(), "Next");

    const char* titles[] = {"Post & Share", "Learn", "Track"};
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(host->tapText("Next")) << "page " << page;
        EXPECT_EQ(tutorial->pageIndex(), page);
        EXPECT_EQ(tutorial->pageControl()->currentPage(), page);
        EXPECT_TRUE(host->isShowing(titles[page - 1]));
        EXPECT_FALSE(host->isShowing("Connect")) << "the first page has scrolled away";
    }
    EXPECT_THAT(tutorial->animatedScrollsEndedAt,
                ElementsAre(CGPoint{375, 0}, CGPoint{750, 0}, CGPoint{1125, 0}));
    EXPECT_EQ(buttonTitle(), "Done");
    EXPECT_TRUE(host->isShowing("Track your baby's journey toward home by clicking on the journey map or answering "
                                "questions to receive even more personalized information."));
    ASSERT_TRUE(server.waitForRequests(3));
    EXPECT_EQ(events(), std::vector<nlohmann::json>(3, navigated()));

    // "Done": the tap is reported like the others, then the end of the tutorial, and it closes.
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_EQ(host->topViewController(), app->root);
    EXPECT_FALSE(app->root->presentedViewController());
    ASSERT_TRUE(server.waitForRequests(5));
    // Both leave from a background queue, so they may arrive in either order.
    const auto all = events();
    EXPECT_THAT(std::vector<nlohmann::json>(all.begin() + 3, all.end()),
                UnorderedElementsAre(navigated(), navigatedToLast()));
}

TEST_F(Onboarding, SwipesMoveToThePageWhereTheScrollComesToRestWithoutEvents) {
    present();
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(host->scroll(scroll(), {-300, 0}));
        EXPECT_EQ(scroll()->contentOffset().x, 375.0 * page);
        EXPECT_EQ(tutorial->pageIndex(), page);
    }
    EXPECT_EQ(buttonTitle(), "Done");
    EXPECT_EQ(tutorial->pageControl()->currentPage(), 3);
    // Past the last page the tutorial stays there.
    ASSERT_TRUE(host->scroll(scroll(), {-300, 0}));
    EXPECT_EQ(tutorial->pageIndex(), 3);

    ASSERT_TRUE(host->scroll(scroll(), {300, 0}));
    EXPECT_EQ(tutorial->pageIndex(), 2);
    EXPECT_EQ(buttonTitle(), "Next");
    EXPECT_TRUE(host->isShowing("Learn"));

    // Without paging a swipe can end between pages: the page is the one the left edge is on.
    scroll()->isPagingEnabled = false;
    ASSERT_TRUE(host->scroll(scroll(), {-300, 0})); // 750 + 300
    EXPECT_EQ(tutorial->pageIndex(), 2);
    ASSERT_TRUE(host->scroll(scroll(), {-100, 0})); // 1150: on the last page
    EXPECT_EQ(tutorial->pageIndex(), 3);
    EXPECT_EQ(buttonTitle(), "Done");
    ASSERT_TRUE(host->scroll(scroll(), {500, 0})); // 650
    EXPECT_EQ(tutorial->pageIndex(), 1);
    EXPECT_EQ(tutorial->pageControl()->currentPage(), 1);
    EXPECT_EQ(buttonTitle(), "Next");
    RunLoop::main().runFor(0.05);
    EXPECT_EQ(server.requestCount(), 0u) << "swipes are not reported";

    // A swipe to the last page, then "Done" closes at once.
    scroll()->isPagingEnabled = true;
    ASSERT_TRUE(host->scroll(scroll(), {-1500, 0}));
    ASSERT_TRUE(host->scroll(scroll(), {-1500, 0}));
    ASSERT_EQ(buttonTitle(), "Done");
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(app->root->presentedViewController());
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_THAT(events(), UnorderedElementsAre(navigated(), navigatedToLast()));
}

TEST_F(Onboarding, ThePagesStandSideBySideAboveTheDotsAndTheButtonOnANotchedScreen) {
    present({375, 812}, {44, 0, 34, 0});
    const auto root = tutorial->view();
    root->layoutIfNeeded();

    const auto pages = tutorial->screens();
    ASSERT_EQ(pages.size(), 4u);
    const CGRect scrollFrame = scroll()->frame();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i]->frame().origin.x, 375.0 * static_cast<double>(i)) << "page " << i;
        EXPECT_EQ(pages[i]->frame().size.width, 375) << "page " << i;
        EXPECT_EQ(pages[i]->frame().size.height, pages[0]->frame().size.height);
        EXPECT_LE(pages[i]->frame().size.height, scrollFrame.size.height);
        EXPECT_NEAR(pages[i]->frame().midY(), scrollFrame.size.height / 2, 0.5) << "centred in the scroll view";
    }
    EXPECT_EQ(scroll()->contentSize().width, 1500);
    EXPECT_TRUE(scroll()->isPagingEnabled);
    EXPECT_EQ(tutorial->bgImageView()->frame(), root->bounds());
    EXPECT_EQ(root->subviews().front(), tutorial->bgImageView());

    const CGRect button = tutorial->nextButton()->frame();
    const CGRect dots = tutorial->pageControl()->frame();
    EXPECT_EQ(button.maxY(), 812 - 34 - 20) << "20 points above the safe area's bottom";
    EXPECT_EQ(button.minX(), root->layoutMargins().left);
    EXPECT_EQ(button.maxX(), 375 - root->layoutMargins().right);
    EXPECT_EQ(scrollFrame.minY(), 0);
    EXPECT_EQ(scrollFrame.size.width, 375);
    EXPECT_EQ(dots.minY(), scrollFrame.maxY());
    EXPECT_EQ(button.minY(), dots.maxY() + 12);
    EXPECT_EQ(dots.midX(), 187.5);

    const auto& control = tutorial->pageControl();
    EXPECT_EQ(control->numberOfPages(), 4);
    EXPECT_EQ(control->currentPage(), 0);
    EXPECT_EQ(control->currentPageIndicatorTintColor, UIColorPalette::cwy_mountainMeadow());
    EXPECT_EQ(control->pageIndicatorTintColor, UIColorPalette::cwy_mountainMeadow().withAlphaComponent(0.5));

    // Every page carries its own pictures.
    for (const auto& view : pages) {
        auto page = std::dynamic_pointer_cast<TutorialScreen>(view);
        ASSERT_TRUE(page);
        ASSERT_TRUE(page->titleImageView.lock() && page->contentImageView.lock());
        EXPECT_TRUE(page->titleImageView.lock()->image());
        EXPECT_TRUE(page->contentImageView.lock()->image());
        EXPECT_GT(page->contentImageView.lock()->frame().size.height, TutorialScreen::kMinimumContentImageHeight);
    }
}

} // namespace cw::test
