// The screens that show one page per baby, as a hostile server fills them: a sign-in reply that
// names thousands of babies (a family has one to a few). The feed's header, the Update tab and My
// Baby open as quickly as for the twins, page by a finger, and make views only for the babies near
// the one shown; Save in My Baby still sends every baby.
#include "BabyScreenFixture.h"

#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/Baby/BabyPageViewController.h"
#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UINavigationController.h"

#include <functional>
#include <mutex>

namespace cw::test {
namespace {

class ManyBabies : public BabyScreenTest {
protected:
    static constexpr int kBabies = 2000;
    // Views a screen of the twins makes, with room to spare; a view a baby would pass it.
    static constexpr std::size_t kViewsOfAFewBabies = 1500;

    void SetUp() override {
        BabyScreenTest::SetUp();
        front.setHandler([this, upstream = server_->baseUrl()](const RecordedRequest& request, httplib::Response& response) {
            if (request.path == "/m/api/baby/update" || request.path == "/m/api/baby/update/") {
                // Kept to be read, answered as a server that took it.
                std::lock_guard lock(mutex);
                babyUpdates.push_back(request);
                response.set_content(R"({"response":[]})", "application/json");
                return;
            }
            forwardRequest(upstream, request, response);
            // The twins first, then babies of the twins' shape, each with an id and a name of her own.
            std::string body = response.body;
            nameManyBabiesInSignIn(request.path, body, count);
            if (body != response.body) response.set_content(body, "application/json");
        });
        prepareBundle(*environment, front.base(), "org.cradleway.baby-tests");
    }
    void TearDown() override {
        front.stop();
        BabyScreenTest::TearDown();
    }

    // Signs in through the hostile front and launches.
    void launch() {
        ASSERT_NO_FATAL_FAILURE(signInAndLaunch());
        ASSERT_EQ(babies().size(), static_cast<std::size_t>(count));
        ASSERT_TRUE(showsSoon("Olivia Hart"));
    }
    std::shared_ptr<MainNavigationController> main() const {
        return std::dynamic_pointer_cast<MainNavigationController>(host->window()->rootViewController());
    }
    std::shared_ptr<FeedViewController> feed() const {
        auto drawer = app ? app->mainViewController() : nullptr;
        return drawer ? std::dynamic_pointer_cast<FeedViewController>(drawer->centerViewController()) : nullptr;
    }
    std::shared_ptr<BabyPageViewController> updatePager() const {
        auto tabs = std::dynamic_pointer_cast<TabBarController>(main()->viewControllers().front());
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers().at(1));
        return std::dynamic_pointer_cast<BabyPageViewController>(navigation->viewControllers().front());
    }
    // Every view in the window and in what is presented over it.
    std::size_t viewsInWindow() const {
        std::function<std::size_t(const UIView&)> count = [&](const UIView& view) {
            std::size_t n = 1;
            for (const auto& sub : view.subviews())
                n += count(*sub);
            return n;
        };
        return count(*host->window());
    }
    // The side menu's "My Baby". A tap on the menu button while the feed's failure banner (the server
    // refuses a feed of so many babies) slides over it opens nothing: the finger tries again.
    void openMyBaby() {
        for (int tries = 0; tries < 3 && !host->isShowing("My Baby"); ++tries) {
            host->tapIdentifier("hamburgerButton");
            host->settle();
            showsSoon("My Baby", 3);
        }
        ASSERT_TRUE(host->tapText("My Baby"));
        host->settle();
    }
    // A finger across the lower half of the screen, right to left.
    void swipeToNext() {
        host->drag({340, 520}, {90, 520}, 10);
        host->settle();
    }

    // How many babies the sign-in reply names.
    int count = kBabies;
    RecordingServer front;
    std::mutex mutex;
    std::vector<RecordedRequest> babyUpdates;
};

TEST_F(ManyBabies, TheFeedsHeaderPagesByAFingerAndMakesPicturesOnlyNearTheBabyShown) {
    launch();
    auto screen = feed();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->babyHeaderPageControl->numberOfPages(), kBabies);
    EXPECT_LE(screen->headerImageViews.size(), 5u);
    EXPECT_LT(viewsInWindow(), kViewsOfAFewBabies);
    // The pages are a screen wide each, side by side: the header holds all of them.
    EXPECT_DOUBLE_EQ(screen->babyHeaderScrollView->contentSize().width, 375.0 * kBabies);

    // A finger on the pictures pages to Noah, then to the first baby the server made up.
    for (const char* name : {"Noah Hart", "Baby 2"}) {
        ASSERT_TRUE(host->drag({330, 80}, {80, 80}, 10));
        host->settle();
        EXPECT_TRUE(showsSoon(name)) << name;
    }
    EXPECT_EQ(screen->babyHeaderPageControl->currentPage(), 2);
    EXPECT_DOUBLE_EQ(screen->babyHeaderScrollView->contentOffset().x, 2 * 375.0);
    // The baby shown has her picture where it is seen.
    ASSERT_FALSE(screen->headerImageViews.empty());
    bool pictureShown = false;
    for (const auto& picture : screen->headerImageViews)
        pictureShown = pictureShown || picture->frame().origin.x == 2 * 375.0;
    EXPECT_TRUE(pictureShown);
    EXPECT_LE(screen->headerImageViews.size(), 5u);
    EXPECT_EQ(AuthenticationContext::shared().selectedBabyId(), 900'002);
}

TEST_F(ManyBabies, TheUpdateTabPagesByAFingerAndMakesPagesOnlyNearTheOneShown) {
    launch();
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(showsSoon("Daily Update"));
    auto pager = updatePager();
    ASSERT_TRUE(pager);
    EXPECT_EQ(pager->pageControl->numberOfPages(), kBabies);
    auto made = [&] {
        std::size_t n = 0;
        for (const auto& page : pager->viewControllers)
            n += page != nullptr;
        return n;
    };
    ASSERT_EQ(pager->viewControllers.size(), static_cast<std::size_t>(kBabies));
    EXPECT_LE(made(), 9u);

    // The made-up babies' pages say their daily updates could not be fetched: the server knows
    // none of them.
    swipeToNext();
    EXPECT_TRUE(showsSoon("Noah Hart"));
    for (long page = 2; page <= 3; ++page) {
        swipeToNext();
        EXPECT_TRUE(waitFor([&] { return pager->pageIndex == page; })) << page;
    }
    EXPECT_EQ(pager->pageControl->currentPage(), 3);
    EXPECT_LE(made(), 9u);
    EXPECT_LT(viewsInWindow(), kViewsOfAFewBabies);
    EXPECT_EQ(AuthenticationContext::shared().selectedBabyId(), 900'003);
}

TEST_F(ManyBabies, MyBabyOpensMakesFormsNearThePageShownAndSaveSendsEveryBaby) {
    launch();
    ASSERT_NO_FATAL_FAILURE(openMyBaby());
    ASSERT_TRUE(showsSoon("Olivia Hart"));
    auto navigation = main();
    auto screen = std::dynamic_pointer_cast<MyBabyViewController>(navigation->topViewController());
    ASSERT_TRUE(screen);
    auto made = [&] {
        std::size_t n = 0;
        for (const auto& form : screen->babyFormViewArray)
            n += form != nullptr;
        return n;
    };
    ASSERT_EQ(screen->babyFormViewArray.size(), static_cast<std::size_t>(kBabies));
    EXPECT_EQ(screen->pageControl()->numberOfPages(), kBabies);
    EXPECT_LE(made(), 9u);
    EXPECT_LT(viewsInWindow(), kViewsOfAFewBabies);

    // The member pages on to a baby the server made up, renames her, and saves.
    for (int page = 1; page <= 2; ++page) {
        host->drag({340, 300}, {90, 300}, 10);
        host->settle();
    }
    ASSERT_EQ(screen->currentBabyNumber, 2);
    const auto form = screen->babyFormViewArray.at(2);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->babyFullName(), "Baby 2");
    ASSERT_TRUE(host->tap(form->babyfullNameTextField()));
    // Return puts the keyboard away from over Save.
    ASSERT_TRUE(host->type(" Rose\n"));
    EXPECT_LE(made(), 9u);
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(mutex);
        return !babyUpdates.empty();
    }));

    std::lock_guard lock(mutex);
    ASSERT_EQ(babyUpdates.size(), 1u);
    const auto& sent = babyUpdates[0];
    const auto ids = sent.fields("babies[][id]"), names = sent.fields("babies[][full_name]"),
               births = sent.fields("babies[][birthday]"), expected = sent.fields("babies[][expected_birthday]");
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(kBabies));
    ASSERT_EQ(names.size(), ids.size());
    ASSERT_EQ(births.size(), ids.size());
    ASSERT_EQ(expected.size(), ids.size());
    const auto stored = babies();
    for (std::size_t i = 0; i < ids.size() && !::testing::Test::HasFailure(); ++i) {
        EXPECT_EQ(ids[i], std::to_string(*stored[i]->babyId())) << i;
        EXPECT_EQ(names[i], i == 2 ? "Baby 2 Rose" : stored[i]->fullName()) << i;
        EXPECT_EQ(births[i], stored[i]->birthday()) << i;
        EXPECT_EQ(expected[i], stored[i]->expectedBirthday()) << i;
    }
}

// A family of three as a family sees it: every picture and page is there when paged to, and Save
// sends the three.
TEST_F(ManyBabies, AFamilyOfThreePagesToTheThirdBabyOnEveryScreen) {
    count = 3;
    launch();
    auto screen = feed();
    for (const char* name : {"Noah Hart", "Baby 2"}) {
        ASSERT_TRUE(host->drag({330, 80}, {80, 80}, 10));
        host->settle();
        EXPECT_TRUE(showsSoon(name)) << name;
    }
    ASSERT_EQ(screen->headerImageViews.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(screen->headerImageViews[i]->frame(), (CGRect{375.0 * static_cast<CGFloat>(i), 0, 375, 187.5})) << i;

    // The Update tab opens on the baby chosen, and pages back to the twins.
    ASSERT_TRUE(host->tapText("Update"));
    auto pager = updatePager();
    ASSERT_TRUE(waitFor([&] { return pager && pager->pageIndex == 2; }));
    for (const auto& page : pager->viewControllers)
        EXPECT_TRUE(page);
    host->drag({35, 520}, {285, 520}, 10);
    host->settle();
    EXPECT_TRUE(showsSoon("Noah Hart"));

    ASSERT_TRUE(host->tapText("Home"));
    host->settle();
    ASSERT_NO_FATAL_FAILURE(openMyBaby());
    auto myBaby = std::dynamic_pointer_cast<MyBabyViewController>(main()->topViewController());
    ASSERT_TRUE(myBaby);
    ASSERT_EQ(myBaby->babyFormViewArray.size(), 3u);
    for (const auto& form : myBaby->babyFormViewArray)
        ASSERT_TRUE(form);
    EXPECT_EQ(myBaby->babyFormViewArray[2]->babyFullName(), "Baby 2");
    myBaby->enableSaveButton();
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(mutex);
        return !babyUpdates.empty();
    }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(babyUpdates[0].fields("babies[][full_name]"), (std::vector<std::string>{"Olivia Hart", "Noah Hart", "Baby 2"}));
}

} // namespace
} // namespace cw::test
