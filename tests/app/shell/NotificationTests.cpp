// Remote notifications on the application delegate: the device token, the handlers in each state of
// the application, routing, the tap's usage event, and what happens after a logout.

#include "ShellFixture.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "foundation/dispatch/RunLoop.h"
#include "uikit/controllers/UNUserNotificationCenter.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::UnorderedElementsAreArray;

namespace cw::test {

namespace {

const std::string kToken = "/m/api/member/push_notif_token";
const std::string kReceived = "/m/api/notification/received";
const std::string kReset = "/m/api/notification/reset";
const std::string kAnalytics = "/m/api/analytics/";

class NotificationTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        FeedDataStore::shared().setCachedFeed({});
    }
    void TearDown() override {
        FeedDataStore::shared().setCachedFeed({});
        ShellTest::TearDown();
    }

    // Launches with a stored session and lets the main interface's start-up requests pass.
    void launchSignedIn() {
        storeSession(true, true);
        launch();
        waitForRequests(5); // the drawer's settings and resets, the activation's reset, the token
        ASSERT_THAT(requestsAt(kToken), SizeIs(1));
        expectNothingElseSent();
    }

    // The background handler in `state`; the result it completed with, if it did.
    std::optional<UIBackgroundFetchResult> receive(const nlohmann::json& payload, UIApplicationState state,
                                                   const std::function<void()>& atCompletion = {}) {
        UIApplication::shared().setState(state);
        std::optional<UIBackgroundFetchResult> result;
        app->didReceiveRemoteNotification(UIApplication::shared(), payload, [&](UIBackgroundFetchResult r) {
            if (atCompletion) atCompletion();
            result = r;
        });
        host->settle();
        return result;
    }

    // The tap handler in `state`; whether it completed.
    bool tap(const nlohmann::json& payload, UIApplicationState state, const std::function<void()>& atCompletion = {}) {
        UIApplication::shared().setState(state);
        UNNotificationResponse response;
        response.notification.request.content.userInfo = payload;
        bool completed = false;
        app->didReceive(UNUserNotificationCenter::current(), response, [&] {
            if (atCompletion) atCompletion();
            completed = true;
        });
        host->settle();
        return completed;
    }

    UIViewControllerPtr top() const { return mainNavigation()->topViewController(); }
    std::shared_ptr<FeedDetailWebViewController> article() const {
        return std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    }
    std::shared_ptr<PostDetailsViewController> post() const {
        return std::dynamic_pointer_cast<PostDetailsViewController>(top());
    }
    void backToTheFeed() {
        mainNavigation()->popToRootViewController(false);
        host->settle();
    }
    void putCardInTheFeed(std::int64_t id) {
        auto card = std::make_shared<FeedResponse>();
        card->cardId = id;
        card->cardType = CardType::educationContent;
        FeedDataStore::shared().setCachedFeed({card});
    }
    std::vector<nlohmann::json> eventDetails() const {
        std::vector<nlohmann::json> details;
        for (const auto& e : events())
            details.push_back(nlohmann::json{{"screen", e.screen}, {"action", e.action}, {"details", e.details}});
        return details;
    }
};

} // namespace

TEST_F(NotificationTest, TheDeviceTokenGoesToTheServerAsLowerCaseHexadecimalText) {
    // The drawer registers when it loads at launch; the host answers with its own token.
    storeSession(true, true);
    launch();
    waitForRequests(5);
    ASSERT_THAT(requestsAt(kToken), SizeIs(1));
    EXPECT_EQ(requestsAt(kToken).front().json().value("push_token", "?"), "0aff1042");
    EXPECT_EQ(requestsAt(kToken).front().json().value("user_id", "?"), "41");
    expectNothingElseSent();

    auto& application = UIApplication::shared();
    app->didRegisterForRemoteNotificationsWithDeviceToken(application, Data{0x0A, 0xFF});
    app->didRegisterForRemoteNotificationsWithDeviceToken(application, Data{});
    ASSERT_NO_FATAL_FAILURE(waitForRequests(2));
    std::vector<std::string> tokens;
    for (const auto& r : requestsAt(kToken))
        tokens.push_back(r.json().value("push_token", "?"));
    EXPECT_THAT(tokens, testing::UnorderedElementsAre("0aff", ""));
    server.clearRequests();

    // A failed registration and the payload-only handler print, and do nothing else.
    app->didFailToRegisterForRemoteNotificationsWithError(application, NSError("NSCocoaErrorDomain", 3010, {}));
    app->didReceiveRemoteNotification(application, nlohmann::json{{"not_id", 8}, {"screen", "post"}, {"post_id", 29}});
    host->settle();
    EXPECT_THAT(console.str(), HasSubstr(R"({"not_id":8,"post_id":29,"screen":"post"})"));
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
    expectNothingElseSent();
}

TEST_F(NotificationTest, InFrontANotificationShowsWithAnAlertAndABadgeAndIsOnlyReportedAsReceived) {
    launchSignedIn();
    const nlohmann::json payload = {{"not_id", 3}, {"screen", "feed"}, {"feed_id", 12},
                                    {"notification_type", "education_content"}};
    EXPECT_EQ(host->deliverPush(payload), UIBackgroundFetchResult::newData);
    EXPECT_EQ(UNUserNotificationCenter::current().lastPresentationOptions(),
              UNNotificationPresentationOptionAlert | UNNotificationPresentationOptionBadge);
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
    ASSERT_NO_FATAL_FAILURE(waitForRequests(1));
    ASSERT_THAT(requestsAt(kReceived), SizeIs(1));
    EXPECT_EQ(requestsAt(kReceived)[0].json().value("not_id", "?"), "3");
    expectNothingElseSent();
}

TEST_F(NotificationTest, InFrontANotificationDropsInAsABannerWhoseTapOpensItsPost) {
    launchSignedIn();
    const std::string text = "Ruth commented on your post";
    const nlohmann::json payload = {{"aps", {{"alert", text}, {"badge", 3}}}, {"not_id", 9}, {"screen", "post"},
                                    {"post_id", 31}, {"notification_type", "comment"}};
    host->deliverPush(payload);
    EXPECT_EQ(UIApplication::shared().applicationIconBadgeNumber(), 3) << "shown with its badge";
    // Seen at the top of the screen, over the feed's bar, with the application's name.
    auto shown = host->findByText(text);
    ASSERT_TRUE(shown) << "no banner; the screen shows: " << testing::PrintToString(host->visibleTexts());
    EXPECT_LT(host->tapPointOf(*shown).y, 64);
    EXPECT_TRUE(host->isShowing("now"));
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1)) << "arriving opens nothing";

    // A tap on the banner is a tap on the notification: reported, routed and reset; the banner goes.
    ASSERT_TRUE(host->tap(shown));
    ASSERT_TRUE(post());
    EXPECT_EQ(post()->postId, 31);
    EXPECT_FALSE(host->isShowing(text));
    ASSERT_NO_FATAL_FAILURE(waitForRequests(3));
    EXPECT_THAT(requestsAt(kReceived), SizeIs(1));
    EXPECT_THAT(eventsOf("comment"), SizeIs(1));
    EXPECT_THAT(requestsAt(kReset), SizeIs(1));
    backToTheFeed();

    // Left alone, it slides away after a few seconds; a notification without a text shows none.
    host->deliverPush(payload);
    ASSERT_TRUE(host->isShowing(text));
    host->advance(6);
    EXPECT_FALSE(host->isShowing(text));
    host->deliverPush({{"not_id", 10}, {"screen", "post"}, {"post_id", 31}});
    EXPECT_FALSE(host->findByIdentifier("NotificationBanner"));
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
}

TEST_F(NotificationTest, TheBackgroundHandlerRoutesAndResetsOnlyWhenTheMemberOpenedTheNotification) {
    launchSignedIn();
    const nlohmann::json payload = {{"not_id", 3}, {"screen", "post"}, {"post_id", 29}, {"notification_type", "post"}};
    auto& application = UIApplication::shared();

    // Arrived in the background: reported as received, nothing else.
    EXPECT_EQ(receive(payload, UIApplicationState::background), UIBackgroundFetchResult::newData);
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
    ASSERT_NO_FATAL_FAILURE(waitForRequests(1));
    EXPECT_THAT(requestsAt(kReceived), SizeIs(1));
    expectNothingElseSent();

    // Opened (inactive): the post is shown and the count reset before the handler completes.
    application.setApplicationIconBadgeNumber(5);
    bool routedAndResetFirst = false;
    EXPECT_EQ(receive(payload, UIApplicationState::inactive,
                      [&] { routedAndResetFirst = post() && application.applicationIconBadgeNumber() == 0; }),
              UIBackgroundFetchResult::newData);
    EXPECT_TRUE(routedAndResetFirst);
    ASSERT_TRUE(post());
    EXPECT_EQ(post()->postId, 29);
    ASSERT_NO_FATAL_FAILURE(waitForRequests(3));
    EXPECT_THAT(requestsAt(kReceived), SizeIs(1));
    EXPECT_THAT(requestsAt(kReset), SizeIs(1));
    ASSERT_THAT(eventsOf("post"), SizeIs(1));
    expectNothingElseSent();
    backToTheFeed();

    // An id given as text is no notification to report; an unknown screen is not reset.
    application.setApplicationIconBadgeNumber(5);
    EXPECT_EQ(receive({{"not_id", "3"}, {"screen", "calendar"}, {"notification_type", "post"}},
                      UIApplicationState::inactive),
              UIBackgroundFetchResult::newData);
    EXPECT_EQ(application.applicationIconBadgeNumber(), 5);
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
    ASSERT_NO_FATAL_FAILURE(waitForRequests(1));
    EXPECT_THAT(eventsOf("post"), SizeIs(1)) << "the tap is still reported";
    expectNothingElseSent();
}

TEST_F(NotificationTest, TheTapHandlerReportsAndRoutesInEveryStateThenCompletesThenResets) {
    launchSignedIn();
    auto& application = UIApplication::shared();
    const nlohmann::json payload = {{"not_id", 6}, {"screen", "Post"}, {"post_id", 30}, {"notification_type", "comment"}};
    for (auto state : {UIApplicationState::active, UIApplicationState::inactive, UIApplicationState::background}) {
        application.setApplicationIconBadgeNumber(5);
        bool routedBeforeCompletionAndResetAfter = false;
        EXPECT_TRUE(tap(payload, state, [&] {
            routedBeforeCompletionAndResetAfter = post() && application.applicationIconBadgeNumber() == 5;
        }));
        EXPECT_TRUE(routedBeforeCompletionAndResetAfter);
        EXPECT_EQ(application.applicationIconBadgeNumber(), 0);
        ASSERT_TRUE(post());
        EXPECT_EQ(post()->postId, 30);
        ASSERT_NO_FATAL_FAILURE(waitForRequests(2));
        EXPECT_THAT(eventsOf("comment"), SizeIs(1));
        EXPECT_THAT(requestsAt(kReset), SizeIs(1));
        EXPECT_THAT(requestsAt(kReceived), IsEmpty());
        expectNothingElseSent();
        backToTheFeed();
    }
}

TEST_F(NotificationTest, RoutingOpensTheCardsArticleOrThePostByTheScreenInAnyLetterCase) {
    launchSignedIn();
    putCardInTheFeed(12);
    using Path = RemoteNotificationPayload::Path;
    auto deliver = [&](const nlohmann::json& payload, Path path) {
        if (path == Path::tap)
            EXPECT_TRUE(tap(payload, UIApplicationState::inactive));
        else
            EXPECT_EQ(receive(payload, UIApplicationState::inactive), UIBackgroundFetchResult::newData);
    };
    auto& application = UIApplication::shared();

    for (Path path : {Path::tap, Path::background}) {
        SCOPED_TRACE(path == Path::tap ? "tap" : "background");
        // A cached card goes as it is, with the notification.
        deliver({{"screen", "FEED"}, {"feed_id", 12}, {"not_id", 4}}, path);
        ASSERT_TRUE(article());
        EXPECT_EQ(article()->detailsData, FeedDataStore::shared().cachedFeedResponse(12));
        EXPECT_EQ(article()->notificationId, 4);
        EXPECT_FALSE(article()->relatedContentUrl);
        EXPECT_FALSE(mainNavigation()->isNavigationBarHidden()) << "the article's bar shows";
        backToTheFeed();

        // Another card by its address; the post id stands in for a missing card id (7.0 is whole).
        deliver({{"screen", "feed"}, {"post_id", 7.0}}, path);
        ASSERT_TRUE(article());
        EXPECT_EQ(article()->relatedContentUrl, "/content/education/7");
        EXPECT_FALSE(article()->detailsData);
        EXPECT_FALSE(article()->notificationId);
        backToTheFeed();

        // Numbers that are not whole, and Booleans, are no ids.
        deliver({{"screen", "feed"}, {"feed_id", 7.5}, {"post_id", true}}, path);
        EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));

        // The education library's notifications open nothing.
        for (const char* screen : {"recommended", "Daily_Update"}) {
            deliver({{"screen", screen}}, path);
            EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
        }
    }
    EXPECT_TRUE(app->mainViewController()->loadEducationCenterFromNotification);

    // Ids as decimal text are read on the tap path only; the background path still resets and
    // completes.
    ASSERT_TRUE(tap({{"screen", "feed"}, {"feed_id", "12"}}, UIApplicationState::inactive));
    ASSERT_TRUE(article());
    EXPECT_EQ(article()->detailsData, FeedDataStore::shared().cachedFeedResponse(12));
    backToTheFeed();
    ASSERT_TRUE(tap({{"screen", "post"}, {"post_id", "+29"}}, UIApplicationState::inactive));
    ASSERT_TRUE(post());
    EXPECT_EQ(post()->postId, 29);
    backToTheFeed();
    for (const char* text : {" 12", "12a", "", "99999999999999999999"}) {
        ASSERT_TRUE(tap({{"screen", "feed"}, {"feed_id", text}}, UIApplicationState::inactive));
        EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1)) << '"' << text << '"';
    }
    application.setApplicationIconBadgeNumber(5);
    EXPECT_EQ(receive({{"screen", "feed"}, {"feed_id", "12"}}, UIApplicationState::inactive),
              UIBackgroundFetchResult::newData);
    EXPECT_THAT(mainNavigation()->viewControllers(), SizeIs(1));
    EXPECT_EQ(application.applicationIconBadgeNumber(), 0);
}

TEST_F(NotificationTest, TheTapIsReportedByTheKindOfNotificationWithTheIdsAsSent) {
    launchSignedIn();
    struct Case {
        nlohmann::json payload;
        std::optional<nlohmann::json> event;
    };
    const auto event = [](const char* screen, nlohmann::json details) {
        return nlohmann::json{{"screen", screen}, {"action", "Tap"}, {"details", std::move(details)}};
    };
    const std::vector<Case> cases = {
        {{{"notification_type", "education_content"}, {"screen", "feed"}, {"feed_id", 12}},
         event("education_content", {{"EducationContentNotification",
                                      "User tapped on a education content notification for feed"},
                                     {"feed_id", 12}})},
        {{{"notification_type", "education_content"}, {"screen", "feed"}, {"feed_id", "13"}},
         event("education_content", {{"EducationContentNotification",
                                      "User tapped on a education content notification for feed"},
                                     {"feed_id", "13"}})},
        {{{"notification_type", "education_content"}, {"screen", "daily_update"}},
         event("education_content", {{"DailyUpdateNotification", "User tapped on a daily update notification"}})},
        {{{"notification_type", "post"}, {"screen", "post"}, {"post_id", 29}},
         event("post", {{"UserPostNotification", "User tapped on a new post notification"}, {"post_id", 29}})},
        {{{"notification_type", "post"}},
         event("post", {{"UserPostNotification", "User tapped on a new post notification"}, {"post_id", "N/A"}})},
        {{{"notification_type", "comment"}, {"screen", "POST"}, {"post_id", 30}},
         event("comment", {{"CommentNotification", "User tapped on a comment notification for post"}, {"post_id", 30}})},
        {{{"notification_type", "comment"}, {"screen", "feed"}},
         event("comment", {{"CommentNotification", "User tapped on a comment notification for feed"}, {"post_id", "N/A"}})},
        {{{"notification_type", "comment"}, {"screen", "daily_update"}, {"post_id", 31}},
         event("comment", {{"CommentNotification", "User tapped on a comment notification for feed"}, {"post_id", "N/A"}})},
        {{{"notification_type", "comment"}, {"screen", 5}, {"post_id", 32}},
         event("comment", {{"CommentNotification", "User tapped on a comment notification for feed"}, {"post_id", "N/A"}})},
        {{{"notification_type", "Post"}, {"screen", "post"}, {"post_id", 33}}, std::nullopt},
        {{{"notification_type", 1}}, std::nullopt},
        {nlohmann::json::array({"not", "a", "dictionary"}), std::nullopt},
    };
    std::vector<nlohmann::json> expected;
    for (const auto& c : cases) {
        ASSERT_TRUE(tap(c.payload, UIApplicationState::inactive)) << c.payload.dump();
        if (c.event) expected.push_back(*c.event);
    }
    // Sent one by one, they may arrive in any order; one reset followed each tap.
    ASSERT_NO_FATAL_FAILURE(waitForRequests(expected.size() + cases.size()));
    EXPECT_THAT(eventDetails(), UnorderedElementsAreArray(expected));
    EXPECT_THAT(requestsAt(kReset), SizeIs(cases.size()));
    // A kind without an event still routes.
    EXPECT_TRUE(std::any_of(mainNavigation()->viewControllers().begin(), mainNavigation()->viewControllers().end(),
                            [](const UIViewControllerPtr& c) {
                                auto p = std::dynamic_pointer_cast<PostDetailsViewController>(c);
                                return p && p->postId == 33;
                            }));
    expectNothingElseSent();
}

TEST_F(NotificationTest, AfterLogoutATappedNotificationIsReportedInNobodysNameAndOpensNothing) {
    launchSignedIn();
    putCardInTheFeed(5);
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_EQ(app->window()->rootViewController(), app->authenticationController());
    waitForRequests(2); // the menu button's and the logout's events
    expectNothingElseSent();

    const nlohmann::json payload = {{"not_id", 1}, {"screen", "feed"}, {"feed_id", 5},
                                    {"notification_type", "education_content"}};
    host->tapPush(payload);
    EXPECT_THAT(app->authenticationController()->viewControllers(), SizeIs(1));
    EXPECT_TRUE(host->isShowing("Log In"));
    EXPECT_EQ(receive(payload, UIApplicationState::inactive), UIBackgroundFetchResult::newData);
    EXPECT_TRUE(receive({{"screen", "recommended"}}, UIApplicationState::inactive).has_value());
    EXPECT_THAT(app->authenticationController()->viewControllers(), SizeIs(1));
    EXPECT_THAT(app->mainViewController(), testing::IsNull()) << "the member's interface went with her";
    EXPECT_THAT(mainNavigation(), testing::IsNull());

    // Both taps are still reported, the arrival too, but in nobody's name: the member who signed
    // out is not the device's any more. Nobody's count is reset, and coming back to the front
    // resets none either.
    host->enterBackground();
    host->enterForeground();
    ASSERT_NO_FATAL_FAILURE(waitForRequests(3));
    EXPECT_THAT(eventsOf("education_content"), SizeIs(2));
    ASSERT_THAT(requestsAt(kReceived), SizeIs(1));
    EXPECT_FALSE(requestsAt(kReceived)[0].json().contains("user_id"));
    for (const auto& event : requestsAt("/m/api/analytics/"))
        EXPECT_FALSE(event.json().contains("user_id")) << event.body;
    EXPECT_THAT(requestsAt(kReset), IsEmpty());
    EXPECT_THAT(requestsAt("/m/api/tokens/"), IsEmpty()) << "nothing to renew without a session";
    expectNothingElseSent();
}

} // namespace cw::test
