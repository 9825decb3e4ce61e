// The feed as the demo father sees it, in the headless host against the embedded demo server: the
// cards and their days, the twins' header and title bar, scrolling and pulling, the filter, opening
// cards, a server that went away, and the usage events the server stored.

#include "App/AppDelegate.h"
#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedTableTimeTagCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Feed/FilterViewController.h"
#include "Controllers/Baby/JourneyPageViewController.h"
#include "Controllers/Journey/JourneyContainerViewController.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DateFormatter.h"
#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"
#include "host/HeadlessHost.h"
#include "server/Database.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/graphics/UIImage.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "tests/app/feed/FeedPictures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace cw::test {
namespace {

TEST_F(FeedScreenTest, EveryKindOfCardShowsAndEachDaysSeparatorFollowsItsCards) {
    signInAsTheFather();
    auto screen = feed();
    const auto& shown = screen->filteredData;

    // One card of each kind the server sends.
    std::vector<std::string> texts;
    for (const auto& c : shown)
        texts.push_back(textOf(*c));
    const long article = rowOf("Kangaroo care: skin to skin");
    const long post = rowOf("Held Noah for the first time today. He is so light!");
    const long update = rowOf("Daily update for Olivia");
    ASSERT_GE(article, 0);
    ASSERT_GE(post, 0);
    ASSERT_GE(update, 0);
    EXPECT_EQ(shown[article]->cardType, CardType::educationContent);
    EXPECT_EQ(shown[post]->cardType, CardType::userPost);
    EXPECT_EQ(shown[update]->cardType, CardType::dailyUpdateChange);

    // Newest first; each day's separator right after its last card, the oldest day's last of all.
    DateFormatter day;
    day.setDateFormat("EEE, MMM dd, yyyy");
    auto dayOf = [&](const FeedResponse& c) { return day.string(*FeedResponse::serverTimeFormatter().date(*c.cardTime)); };
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.front()->cardType, CardType::timeTag);
    EXPECT_EQ(shown.back()->cardType, CardType::timeTag);
    std::size_t separators = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i]->cardType != CardType::timeTag) {
            if (i + 1 < shown.size() && shown[i + 1]->cardType != CardType::timeTag) {
                EXPECT_EQ(dayOf(*shown[i]), dayOf(*shown[i + 1])) << "no separator between two days at " << i;
            }
            continue;
        }
        ++separators;
        ASSERT_GT(i, 0u);
        EXPECT_NE(shown[i - 1]->cardType, CardType::timeTag);
        EXPECT_EQ(dayOf(*shown[i]), dayOf(*shown[i - 1]));
        if (i + 1 < shown.size()) {
            EXPECT_NE(dayOf(*shown[i]), dayOf(*shown[i + 1]));
        }
    }
    EXPECT_GT(separators, 1u);
    EXPECT_EQ(shown.size(), screen->responseData.size() + separators);

    // On screen: the first separator reads its day, and it cannot be opened.
    const auto first = std::find_if(shown.begin(), shown.end(), [](const auto& c) { return c->cardType == CardType::timeTag; });
    const long separatorRow = first - shown.begin();
    scrollTo(separatorRow - 1);
    EXPECT_TRUE(host->isShowing(dayOf(**first))) << dayOf(**first);
    auto cell = std::dynamic_pointer_cast<FeedTableTimeTagCell>(screen->tableView->cellForRow(IndexPath{separatorRow, 0}));
    ASSERT_TRUE(cell);
    const CGRect frame = cell->convert(cell->bounds(), host->window().get());
    host->tapPoint({frame.midX(), frame.midY()});
    EXPECT_EQ(app->appController()->viewControllers().size(), 1u) << "a separator opened a screen";
    EXPECT_FALSE(screen->didComeFromPostDetails);

    // The hats card: four comments, three previews.
    const long hats = rowOf("Knitted two tiny hats for the twins. Blue and pink, of course.");
    ASSERT_GE(hats, 0);
    scrollTo(hats);
    auto hatsCell = std::dynamic_pointer_cast<FeedTableViewCell>(screen->tableView->cellForRow(IndexPath{hats, 0}));
    ASSERT_TRUE(hatsCell);
    EXPECT_EQ(hatsCell->writeACommentIconLabel()->text(), "4");
    for (const auto& preview : hatsCell->commentPreviews)
        EXPECT_FALSE(preview.stackView->isHidden());
    EXPECT_TRUE(host->isShowing("The nurses have asked for the pattern."));
    EXPECT_TRUE(host->isShowing("4"));

    // The events of the load, as the server stored them.
    ASSERT_TRUE(awaitEvents("feedViewContentRefreshSuccess", 1));
    ASSERT_TRUE(awaitEvents("feedViewBabyScreenWithImage", 1));
    const auto events = storedEvents();
    auto has = [&](const std::string& action, const nlohmann::json& details) {
        return std::any_of(events.begin(), events.end(),
                           [&](const StoredEvent& e) { return e.action == action && e.details == details; });
    };
    EXPECT_TRUE(has("Loaded", nlohmann::json::object()));
    EXPECT_TRUE(has("ServerRequest", {{"feedViewCheckForContent", "Checking for content"}}));
    EXPECT_TRUE(has("ServerRequest", {{"feedViewContentRefreshSuccess", "Content was refreshed"}}));
    EXPECT_TRUE(has("View", {{"feedViewBabyScreenWithImage", "User can see baby images"}}));
}

TEST_F(FeedScreenTest, TheHeaderPagesBetweenTheTwinsAndKeepsTheOneChosen) {
    signInAsTheFather();
    auto screen = feed();
    const auto babies = AuthenticationContext::shared().babies();
    ASSERT_EQ(babies.size(), 2u);
    EXPECT_EQ(screen->headerImageViews.size(), 2u);
    EXPECT_FALSE(screen->babyHeaderPageControl->isHidden());
    EXPECT_EQ(screen->babyHeaderPageControl->numberOfPages(), 2);
    EXPECT_TRUE(host->isShowing("Olivia Hart"));
    EXPECT_EQ(screen->titleBarBackgroundView->backgroundColor(), babies[0]->backgroundColor());
    // The pages stand side by side, a screen wide each.
    EXPECT_DOUBLE_EQ(screen->headerImageViews[0]->frame().size.width, 375.0);
    EXPECT_DOUBLE_EQ(screen->babyHeaderScrollView->contentSize().width, 750.0);
    EXPECT_DOUBLE_EQ(screen->tableView->tableHeaderView()->frame().size.height, 187.5);

    // Paging to Noah.
    ASSERT_TRUE(host->scroll(screen->babyHeaderScrollView, {-250, 0}));
    host->settle();
    EXPECT_DOUBLE_EQ(screen->babyHeaderScrollView->contentOffset().x, 375.0);
    EXPECT_TRUE(host->isShowing("Noah Hart"));
    EXPECT_EQ(screen->babyHeaderPageControl->currentPage(), 1);
    EXPECT_EQ(screen->titleBarBackgroundView->backgroundColor(), babies[1]->backgroundColor());
    EXPECT_EQ(AuthenticationContext::shared().selectedBabyId(), babies[1]->babyId());

    // Opening a post and coming back: one refresh, and the header still on Noah.
    ASSERT_TRUE(awaitEvents("feedViewCheckForContent", 1));
    const std::size_t before = refreshes();
    const long post = rowOf("Held Noah for the first time today. He is so light!");
    ASSERT_GE(post, 0);
    const FeedResponse::Card card = screen->filteredData[post];
    scrollTo(post);
    ASSERT_TRUE(host->tapText("Held Noah for the first time today. He is so light!"));
    auto details = std::dynamic_pointer_cast<PostDetailsViewController>(topScreen());
    ASSERT_TRUE(details);
    EXPECT_EQ(details->detailsData, card);
    EXPECT_EQ(details->titleLabel->text(), card->cardTitle);
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(awaitEvents("feedViewCheckForContent", before + 1));
    host->settle();
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(refreshes(), before + 1);
    EXPECT_FALSE(screen->didComeFromPostDetails);
    EXPECT_TRUE(host->isShowing("Noah Hart"));
    EXPECT_FALSE(host->isShowing("Olivia Hart"));
    EXPECT_EQ(screen->babyHeaderPageControl->currentPage(), 1);
    EXPECT_EQ(screen->titleBarBackgroundView->backgroundColor(), babies[1]->backgroundColor());
    EXPECT_DOUBLE_EQ(screen->babyHeaderScrollView->contentOffset().x, 375.0);

    const auto tapped = eventsWithDetail("feedViewPostDetailsScreenTapped");
    ASSERT_EQ(tapped.size(), 1u);
    EXPECT_EQ(tapped[0].action, "Tap");
    EXPECT_EQ(tapped[0].details, nlohmann::json({{"feedViewPostDetailsScreenTapped", "User tapped on a user post"},
                                                 {"postID", std::to_string(*card->cardId)},
                                                 {"cardType", "UserPost"}}));

    // An article opens the article page with its card.
    const long article = rowOf("Kangaroo care: skin to skin");
    ASSERT_GE(article, 0);
    scrollTo(article);
    ASSERT_TRUE(host->tapText("Kangaroo care: skin to skin"));
    auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(topScreen());
    ASSERT_TRUE(page) << topScreen()->className() << " " << ::testing::PrintToString(host->visibleTexts());
    ASSERT_TRUE(page->detailsData);
    EXPECT_EQ(page->detailsData->cardTitle, "Kangaroo care: skin to skin");
    EXPECT_TRUE(RunLoop::main().runUntil(
        [&] { return host->isShowing("Skin-to-skin contact steadies your baby's heart rate, breathing and temperature."); },
        10));
    ASSERT_TRUE(awaitEvents("feedViewPostDetailsScreenTapped", 2));
    EXPECT_EQ(eventsWithDetail("feedViewPostDetailsScreenTapped")[1].details,
              nlohmann::json({{"feedViewPostDetailsScreenTapped", "User tapped on a education content"},
                              {"educationContentID", "5"},
                              {"cardType", "EducationContent"}}));
}

TEST_F(FeedScreenTest, ScrollingFadesTheTitleBarInAndAPullOfFiftyPointsRefreshesOnce) {
    signInAsTheFather();
    auto screen = feed();
    ASSERT_TRUE(awaitEvents("feedViewCheckForContent", 1));

    ASSERT_TRUE(host->scroll(screen->tableView, {0, -50}));
    host->settle();
    EXPECT_NEAR(screen->titleBarBackgroundView->alpha(), 0.5, 1e-6);
    // Past fully shown: the view system draws anything above 1 as 1.
    EXPECT_GE(screen->searchBar->alpha(), 1.0);
    // A finger pulls the list 7.5 points past its top and holds it there.
    const CGPoint finger = host->tapPointOf(*screen->tableView);
    ASSERT_TRUE(host->dragAndHold(finger, {finger.x, finger.y + 57.5}, 20));
    ASSERT_DOUBLE_EQ(screen->tableView->contentOffset().y, -7.5);
    EXPECT_NEAR(screen->babyHeaderPageControl->alpha(), 0.5, 1e-6);
    EXPECT_NEAR(screen->filterButton->alpha(), 0.5, 1e-6);
    EXPECT_NEAR(screen->hamburgerButton.lock()->alpha(), 0.5, 1e-6);
    EXPECT_NEAR(screen->babyHeaderOverlayView->alpha(), 0.15, 1e-6);
    EXPECT_NEAR(screen->pullRefreshIndicator->alpha(), 0.15, 1e-6);
    EXPECT_DOUBLE_EQ(screen->babyHeaderTopConstraint.lock()->constant(), -7.5);
    EXPECT_DOUBLE_EQ(screen->activityIndicatorCenterYConstraint.lock()->constant(), -3.75);
    ASSERT_TRUE(host->liftFinger());
    EXPECT_EQ(refreshes(), 1u) << "7.5 points pull nothing in";

    // Let go 49 points down: nothing; 50 points down: one refresh.
    pull(49);
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(refreshes(), 1u);
    EXPECT_FALSE(screen->pullRefreshIndicator->isAnimating());
    pull(50);
    ASSERT_TRUE(awaitEvents("feedViewCheckForContent", 2));
    ASSERT_TRUE(awaitEvents("feedViewContentRefreshSuccess", 2));
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(refreshes(), 2u);
    EXPECT_FALSE(screen->pullRefreshIndicator->isAnimating());

    // The menu button opens the drawer.
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_EQ(app->mainViewController()->visibleLeftDrawerWidth(), 250.0);
    EXPECT_TRUE(host->isShowing("James Hart"));
}

TEST_F(FeedScreenTest, TheBookmarkedFilterKeepsTheBookmarkedCardsAcrossARelaunch) {
    signInAsTheFather();
    bookmark(5, "feed_id");
    bookmark(31, "post_id");
    chooseFilter("Bookmarked");
    pull(60);
    // The filter applies at once to the cards held, none of them bookmarked yet; the refresh brings the flags.
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return !feed()->filteredData.empty() && feed()->filteredData.size() <= 4; }));
    auto check = [&] {
        const auto& shown = feed()->filteredData;
        ASSERT_EQ(shown.size(), 4u);
        for (std::size_t i = 0; i < shown.size(); i += 2) {
            EXPECT_TRUE(shown[i]->bookmarked);
            EXPECT_EQ(shown[i + 1]->cardType, CardType::timeTag);
            EXPECT_EQ(shown[i + 1]->cardTime, shown[i]->cardTime);
        }
        EXPECT_GE(rowOf("Kangaroo care: skin to skin"), 0);
        EXPECT_GE(rowOf("Knitted two tiny hats for the twins. Blue and pink, of course."), 0);
        EXPECT_FALSE(host->isShowing("Daily update for Olivia"));
    };
    check();
    relaunch();
    check();

    // Unread: never a card without a read flag.
    chooseFilter("Unread");
    pull(60);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return feed()->filteredData.size() > 4; }));
    for (const auto& c : feed()->filteredData)
        if (c->cardType != CardType::timeTag) {
            EXPECT_EQ(c->cardRead, std::optional<bool>(false)) << textOf(*c);
        }
}

TEST_F(FeedScreenTest, AfterALogoutTheNextMemberSeesOnlyTheirOwnCards) {
    signInAsTheFather();
    bookmark(2, "feed_id");
    pull(60);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return FeedDataStore::shared().cachedFeedResponse(2)->bookmarked; }));

    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    ASSERT_TRUE(host->type("demo@cradleway.test"));
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    ASSERT_TRUE(host->type("cradleway-demo"));
    ASSERT_TRUE(host->tapText("Sign In"));
    // The father's bookmark is his; the mother's own bookmarks are hers.
    auto article = [&](std::int64_t id) -> FeedResponse::Card {
        // The mother's main interface is made as her session starts.
        auto screen = feed();
        if (!screen) return nullptr;
        for (const auto& c : screen->responseData)
            if (c->cardId == id && c->cardType == CardType::educationContent) return c;
        return nullptr;
    };
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return article(2) && !article(2)->bookmarked; }, 20))
        << "the father's cards stayed on screen";
    ASSERT_TRUE(article(5));
    EXPECT_TRUE(article(5)->bookmarked);
    EXPECT_FALSE(FeedDataStore::shared().cachedFeedResponse(2)->bookmarked);
}

TEST_F(FeedScreenTest, TheJourneyAndTheCommentsGetWhatTheFeedHandsOver) {
    signInAsTheFather();
    auto screen = feed();
    ASSERT_TRUE(host->tapIdentifier("journeyButton"));
    EXPECT_TRUE(std::dynamic_pointer_cast<JourneyContainerViewController>(topScreen()));
    // The stage pages of the father's babies, once the journey has come back.
    EXPECT_TRUE(RunLoop::main().runUntil(
        [&] { return host->isShowing("Olivia Hart's Journey") || host->isShowing("Noah Hart's Journey"); }, 10));
    ASSERT_TRUE(awaitEvents("nicuJourneyTapped", 1));
    EXPECT_EQ(eventsWithDetail("nicuJourneyTapped")[0].action, "Tap");
    EXPECT_EQ(eventsWithDetail("nicuJourneyTapped")[0].details,
              nlohmann::json({{"nicuJourneyTapped", "User tapped on the NICU Journey button"}}));
    ASSERT_TRUE(host->goBack());
    EXPECT_FALSE(screen->didComeFromPostDetails);

    // The comments of a card, opened on its second preview: the card, the feed as the delegate, the
    // comment to scroll to, and the input left alone.
    const FeedResponse::Card hats = screen->filteredData[rowOf("Knitted two tiny hats for the twins. Blue and pink, of course.")];
    screen->segueInstruction = SegueInstructions::scrollTo{1};
    // (Read before the list arrives: the list takes the index when its comments come.)
    screen->performSegue("showCommentVCSegueId", std::any(hats));
    auto comments = std::dynamic_pointer_cast<CommentTableViewController>(topScreen());
    ASSERT_TRUE(comments);
    EXPECT_EQ(comments->cardId, hats->cardId);
    EXPECT_EQ(comments->cardType, CardType::userPost);
    EXPECT_EQ(comments->delegate.lock().get(), static_cast<CommentTableViewControllerDelegate*>(screen.get()));
    EXPECT_EQ(comments->indexToScrollTo, std::optional<long>(1));
    EXPECT_FALSE(comments->shouldBecomeFirstResponser);
    host->settle();
    ASSERT_TRUE(host->goBack());

    // Written to: the input starts active; no card, nothing about one.
    screen->segueInstruction = SegueInstructions::writeAComment{};
    screen->performSegue("showCommentVCSegueId", std::any(std::string("not a card")));
    comments = std::dynamic_pointer_cast<CommentTableViewController>(topScreen());
    ASSERT_TRUE(comments);
    EXPECT_FALSE(comments->cardId);
    EXPECT_FALSE(comments->cardType);
    EXPECT_FALSE(comments->indexToScrollTo);
    EXPECT_TRUE(comments->shouldBecomeFirstResponser);
    host->settle();

    // The journey pages of the babies, shown by the feed.
    ASSERT_TRUE(host->goBack());
    screen->didTapJourney();
    host->settle();
    EXPECT_TRUE(std::dynamic_pointer_cast<JourneyPageViewController>(topScreen()));
}

TEST_F(FeedScreenTest, WithTheServerGoneARefreshKeepsTheListAndStopsTheIndicators) {
    signInAsTheFather();
    auto screen = feed();
    const auto before = screen->filteredData;
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(awaitEvents("feedViewContentRefreshSuccess", 1));

    // A refresh the server refuses (a stored baby outside the family): the cards stay, the
    // indicators stop, and the failure is reported.
    const auto babies = AuthenticationContext::shared().babies();
    auto stranger = std::make_shared<BabyData>("Not Ours", "2019-03-01", "2019-04-20", Gender::Female);
    stranger->setBabyId(99999);
    auto withStranger = babies;
    withStranger.push_back(stranger);
    AuthenticationContext::shared().save(withStranger);
    pull(60);
    ASSERT_TRUE(awaitEvents("feedViewContentRefreshFailure", 1));
    RunLoop::main().runUntil([&] { return !screen->pullRefreshIndicator->isAnimating(); }, 10);
    EXPECT_FALSE(screen->pullRefreshIndicator->isAnimating());
    EXPECT_EQ(screen->filteredData, before);
    EXPECT_EQ(eventsWithDetail("feedViewContentRefreshSuccess").size(), 1u);
    const auto failed = eventsWithDetail("feedViewContentRefreshFailure");
    EXPECT_EQ(failed[0].action, "ServerRequest");
    EXPECT_EQ(failed[0].details, nlohmann::json({{"feedViewContentRefreshFailure", "Checking for content failed"}}));
    AuthenticationContext::shared().save(babies);

    demo->stop();
    pull(60);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->pullRefreshIndicator->isAnimating(); }, 20));
    host->settle();
    EXPECT_EQ(screen->filteredData, before);
    EXPECT_FALSE(screen->feedActivityIndicator.lock()->isAnimating());
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());
    EXPECT_TRUE(host->isShowing("Olivia Hart"));
    EXPECT_TRUE(AuthenticationContext::shared().user()) << "the member stays signed in";
}

TEST_F(FeedScreenTest, AMemberWithoutBabiesSeesComingSoon) {
    signInAsTheFather();
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
    relaunch();
    auto screen = feed();
    EXPECT_TRUE(host->isShowing("Coming Soon!"));
    EXPECT_EQ(screen->titleBarBackgroundView->backgroundColor(), UIColorWithHex("#82CBAA", 1.0));
    ASSERT_EQ(screen->headerImageViews.size(), 1u);
    EXPECT_EQ(screen->headerImageViews[0]->image()->pngData(), UIImage::named("default_baby_header")->pngData());
    EXPECT_TRUE(screen->babyHeaderPageControl->isHidden());
    ASSERT_TRUE(awaitEvents("feedViewNoBabyScreen", 1));
    EXPECT_EQ(eventsWithDetail("feedViewNoBabyScreen")[0].details,
              nlohmann::json({{"feedViewNoBabyScreen", "User was shown coming soon screen"}}));
    EXPECT_EQ(eventsWithDetail("feedViewNoBabyScreen")[0].action, "View");
}

TEST_F(FeedScreenTest, TheApplicationsLifeIsReported) {
    signInAsTheFather();
    ASSERT_TRUE(awaitEvents("feedViewCheckForContent", 1));
    host->enterBackground();
    host->enterForeground();
    ASSERT_TRUE(awaitEvents("feedViewScreenDidEnterBackground", 1));
    ASSERT_TRUE(awaitEvents("feedViewScreenCameToForeground", 1));
    // Coming back refreshes the feed.
    ASSERT_TRUE(awaitEvents("feedViewCheckForContent", 2));
    NotificationCenter::defaultCenter().post(UIApplicationWillTerminateNotification);
    ASSERT_TRUE(awaitEvents("applicationWillTerminate", 1));
    EXPECT_EQ(eventsWithDetail("applicationWillTerminate")[0].details,
              nlohmann::json({{"applicationWillTerminate", "Application will be terminated"}}));
    EXPECT_EQ(eventsWithDetail("feedViewScreenDidEnterBackground")[0].action, "Loaded");
    EXPECT_EQ(eventsWithDetail("feedViewScreenCameToForeground")[0].details,
              nlohmann::json({{"feedViewScreenCameToForeground",
                               "Feed view cards were loaded as app came from background to foreground"}}));
}

// The screens the application's tour cannot reach yet, as pictures: the feed held pulled down, the
// filter screen, and the header of a member without babies. They go to the directory named by
// CW_FEED_PICTURES (scripts/screenshots names docs/screens), else into the test's own directory.
TEST_F(FeedScreenTest, PicturesOfThePulledFeedTheFilterAndAMemberWithoutBabies) {
    auto picture = [&](const std::string& name) { writeFeedPicture(*host, environment.directory() / "pictures", name); };
    signInAsTheFather();

    {
        // A finger holds the feed 80 points down: the header darkens and stretches, the indicator
        // shows, the controls have gone.
        cw::TouchDelivery finger(host->window());
        finger.send(UITouchPhase::began, {187, 420});
        for (int y = 430; y <= 500; y += 10)
            finger.send(UITouchPhase::moved, {187, static_cast<CGFloat>(y)});
        host->settle();
        EXPECT_DOUBLE_EQ(feed()->tableView->contentOffset().y, -80.0);
        EXPECT_GT(feed()->babyHeaderOverlayView->alpha(), 0.99);
        picture("feed-pulled");
        finger.cancelAll();
        host->settle();
    }

    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
    relaunch();
    EXPECT_TRUE(host->isShowing("Coming Soon!"));
    picture("feed-coming-soon");

    auto filter = std::make_shared<FilterViewController>();
    feed()->present(std::make_shared<UINavigationController>(filter), true);
    host->settle();
    // As the feed's filter button will show it: with a "Done" button.
    auto done = std::make_shared<UIBarButtonItem>(std::optional<std::string>("Done"), UIBarButtonItemStyle::done);
    done->tintColor = UIColorPalette::cwy_mountainMeadow();
    filter->navigationItem()->setRightBarButtonItem(done, true);
    ASSERT_TRUE(host->tapText("Bookmarked"));
    picture("feed-filter");
    filter->dismiss(true);
    host->settle();
}

} // namespace
} // namespace cw::test
