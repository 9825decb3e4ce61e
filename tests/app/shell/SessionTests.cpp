#include "ShellFixture.h"
#include "tests/support/Gate.h"

#include "App/SideNavigationHeaderView.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "Services/AuthenticationContext.h"
#include "Services/RetryService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/defaults/Storage.h"
#include "Services/BaseHTTPService.h"
#include "net/HTTPCookieStorage.h"

#include <gmock/gmock.h>

#include <atomic>

using ::testing::SizeIs;

namespace cw::test {

namespace {

std::vector<std::int64_t> resetMembers(const std::vector<RecordedRequest>& resets) {
    std::vector<std::int64_t> ids;
    for (const auto& r : resets)
        ids.push_back(r.json().value("user_id", std::int64_t{-1}));
    return ids;
}

// Every request of the member refused as with a token that no longer holds, and the renewal
// answered with `renewal` once `held` (when given) opens.
void refuseEveryRequestAndAnswerTheRenewal(RecordingServer& server, std::function<void(httplib::Response&)> renewal,
                                           std::shared_ptr<Gate> held = nullptr) {
    server.setHandler([renewal = std::move(renewal), held](const RecordedRequest& request, httplib::Response& response) {
        if (request.path == "/m/api/tokens/") {
            if (held) held->wait();
            renewal(response);
        }
        else if (request.path.starts_with("/m/api/"))
            response.status = 401, response.set_content(R"({"message":"Not authorised"})", "application/json");
    });
}

bool renewalEnded() {
    return !RetryService::shared().isRefreshing();
}

// The member a request names: "user_id" of its JSON body or of its query; -1 for none.
std::int64_t memberOf(const RecordedRequest& request) {
    const auto body = request.json();
    if (body.is_object() && body.contains("user_id")) {
        const auto& id = body["user_id"];
        if (id.is_number_integer()) return id.get<std::int64_t>();
        if (id.is_string()) return std::stoll(id.get<std::string>());
    }
    if (auto id = request.param("user_id")) return std::stoll(*id);
    return -1;
}

} // namespace

// The mother's requests meet 401 and her renewal is slow; she logs out and the father signs in.
// Whether her renewal's answer comes before his sign-in or after it, it is hers: it stores no token
// on the signed-out device, replaces none of his, and her parked requests (her settings, her push
// token, her resets) are never sent again, least of all under his session.
TEST_F(ShellTest, HerRenewalHeldAcrossHerLogoutAndTheNextSignInLeavesTheNextSessionAlone) {
    for (const bool answeredBeforeHeSignsIn : {true, false}) {
        SCOPED_TRACE(answeredBeforeHeSignsIn ? "answered before he signs in" : "answered after he signed in");
        restart();
        storeSession(true, true);
        OpenOnExit renewal{std::make_shared<Gate>()};
        auto answered = std::make_shared<std::atomic<bool>>(false);
        server.setHandler([gate = renewal.gate, answered](const RecordedRequest& request, httplib::Response& response) {
            if (request.path == "/m/api/tokens/") {
                gate->wait();
                response.set_content(R"({"access_token":"renewed-access","refresh_token":"renewed-refresh"})",
                                     "application/json");
                answered->store(true);
            } else if (request.header("X-Access-Token") == "stored-access") {
                response.status = 401;
                response.set_content(R"({"message":"Not authorised"})", "application/json");
            }
        });
        launch();
        host->settle();
        ASSERT_TRUE(mainNavigation());
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return !requestsAt("/m/api/tokens/").empty(); }, 10));

        ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
        ASSERT_TRUE(host->tapText("Logout"));
        ASSERT_TRUE(host->pickAlertAction("OK"));
        ASSERT_TRUE(host->isShowing("Log In"));

        // Her renewal's answer, and whatever it would set off, has come once a request sent after
        // it has arrived.
        const auto answer = [&] {
            renewal.gate->open();
            ASSERT_TRUE(RunLoop::main().runUntil([&] { return answered->load(); }, 10));
            BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
            ASSERT_TRUE(RunLoop::main().runUntil([&] { return !requestsAt("/m/api/sentinel/").empty(); }, 10));
            RunLoop::main().runFor(0.1);
        };
        if (answeredBeforeHeSignsIn) {
            ASSERT_NO_FATAL_FAILURE(answer());
            EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
            EXPECT_FALSE(UserDefaults::standard().stringForKey("token")) << "a token stored on a signed-out device";
            EXPECT_FALSE(UserDefaults::standard().stringForKey("refreshToken"));
        }
        signInThroughTheScreen(signInReply(memberJSON(52, "Noah Berg", "noah@example.test"), "access-2"));
        if (!answeredBeforeHeSignsIn) {
            ASSERT_NO_FATAL_FAILURE(answer());
        }
        // His screens carry on with his session: a return to the front resets his count with his token.
        host->enterBackground();
        host->enterForeground();
        ASSERT_TRUE(RunLoop::main().runUntil(
            [&] {
                for (const auto& reset : requestsAt("/m/api/notification/reset"))
                    if (memberOf(reset) == 52) return true;
                return false;
            },
            10));
        RunLoop::main().runFor(0.1);

        auto& session = AuthenticationContext::shared();
        EXPECT_EQ(session.oAuthToken(), "access-2");
        EXPECT_EQ(session.oAuthRefreshToken(), "refresh-access-2");
        EXPECT_EQ(UserDefaults::standard().stringForKey("token"), "access-2");
        for (const auto& request : server.requests()) {
            const auto token = request.header("X-Access-Token");
            EXPECT_NE(token, "renewed-access") << "sent again with her renewed tokens: " << request.path;
            const std::int64_t member = memberOf(request);
            if (member == 41) {
                EXPECT_EQ(token, "stored-access") << "hers, sent again: " << request.path;
            } else if (member == 52) {
                EXPECT_EQ(token, "access-2") << request.path;
            }
        }
        EXPECT_THAT(requestsAt("/m/api/tokens/"), SizeIs(1));
    }
}

// Her notification settings are slow to come; she logs out and the father signs in, and his come
// first. Hers, arriving last, are dropped: what is stored (and what his screen shows and saves) is
// his.
TEST_F(ShellTest, HerSettingsHeldAcrossHerLogoutAndTheNextSignInNeverBecomeHis) {
    storeSession(true, true);
    OpenOnExit hers{std::make_shared<Gate>()};
    auto answered = std::make_shared<std::atomic<bool>>(false);
    server.setHandler([gate = hers.gate, answered](const RecordedRequest& request, httplib::Response& response) {
        if (request.path != "/m/api/member/notification/settings") return;
        if (request.param("user_id") == "41") {
            gate->wait();
            response.set_content(R"({"post_notifications": false, "comment_notifications": true})", "application/json");
            answered->store(true);
        } else {
            response.set_content(R"({"post_notifications": true, "comment_notifications": false})", "application/json");
        }
    });
    launch();
    host->settle();
    ASSERT_TRUE(mainNavigation());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !requestsAt("/m/api/member/notification/settings").empty(); }, 10));
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));

    signInThroughTheScreen(signInReply(memberJSON(52, "Noah Berg", "noah@example.test"), "access-2"));
    auto& defaults = UserDefaults::standard();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !commentNotifications(defaults); }, 10)) << "his settings";

    hers.gate->open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return answered->load(); }, 10));
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !requestsAt("/m/api/sentinel/").empty(); }, 10));
    RunLoop::main().runFor(0.1);
    EXPECT_TRUE(postNotifications(defaults));
    EXPECT_FALSE(commentNotifications(defaults));
    const auto fetched = requestsAt("/m/api/member/notification/settings");
    ASSERT_THAT(fetched, SizeIs(2));
    for (const auto& request : fetched)
        EXPECT_EQ(request.header("X-Access-Token"), request.param("user_id") == "41" ? "stored-access" : "access-2");
}

// The mother changed her password on another phone (or the renewal met some other refusal): the
// first requests of the signed-in screens are refused, so is their renewal, and the sign-in screen
// comes back in place of an empty feed and a menu with her name.
TEST_F(ShellTest, ARenewalTheServerRefusesBringsBackTheSignInScreen) {
    const std::string elsewhere = "http://localhost:" + std::to_string(server.port()) + "/m/api/tokens/";
    struct Refusal {
        const char* what;
        std::function<void(httplib::Response&)> renewal;
    };
    const std::vector<Refusal> refusals = {
        {"the refresh token no longer holds",
         [](httplib::Response& r) {
             r.status = 401;
             r.set_content(R"({"message":"The refresh token is not valid. Please sign in again."})",
                           "application/json");
         }},
        {"a reply that is no JSON", [](httplib::Response& r) { r.set_content("<html>gateway</html>", "text/html"); }},
        {"a redirect to another server", [elsewhere](httplib::Response& r) { r.set_redirect(elsewhere, 302); }},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        restart();
        storeSession(true, true);
        // The renewal's answer waits until the signed-in screens have been seen.
        OpenOnExit renewalHeld{std::make_shared<Gate>()};
        refuseEveryRequestAndAnswerTheRenewal(server, refusal.renewal, renewalHeld.gate);
        launch();
        std::weak_ptr<MainNavigationController> signedInScreens = mainNavigation();
        ASSERT_FALSE(signedInScreens.expired());
        renewalHeld.gate->open();

        ASSERT_TRUE(RunLoop::main().runUntil([&] { return !requestsAt("/m/api/tokens/").empty() && renewalEnded(); }));
        host->settle();
        EXPECT_EQ(app->window()->rootViewController(), UIViewControllerPtr(app->authenticationController()));
        EXPECT_TRUE(host->isShowing("Log In"));
        EXPECT_FALSE(host->isShowing("Maya Lind"));
        EXPECT_FALSE(app->healthCheckTimer());
        EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
        RunLoop::main().runUntilIdle();
        EXPECT_TRUE(signedInScreens.expired()) << "the screens of the session are let go";
    }
}

// A renewal that met the server's own failure says nothing about the tokens, as no connection says
// nothing: the member stays signed in on her screens, and only the refused requests fail.
TEST_F(ShellTest, ARenewalMeetingAServerErrorKeepsTheSession) {
    storeSession(true, true);
    refuseEveryRequestAndAnswerTheRenewal(server, [](httplib::Response& r) {
        r.status = 503;
        r.set_content(R"({"message":"Service unavailable"})", "application/json");
    });
    launch();
    host->settle();
    const auto signedIn = mainNavigation();
    ASSERT_TRUE(signedIn);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !requestsAt("/m/api/tokens/").empty() && renewalEnded(); }));
    host->settle();
    EXPECT_EQ(app->window()->rootViewController(), UIViewControllerPtr(signedIn));
    EXPECT_FALSE(host->isShowing("Log In"));
    ASSERT_TRUE(app->healthCheckTimer());
    EXPECT_TRUE(app->healthCheckTimer()->isValid());
    EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "stored-access");
    EXPECT_EQ(AuthenticationContext::shared().oAuthRefreshToken(), "stored-refresh");
    AuthenticationContext stored;
    stored.loadTokens();
    EXPECT_EQ(stored.oAuthToken(), "stored-access");
}

// The cookies of the device hold what the last member proved to the server (her invitation check,
// her record-number look-up): whoever signs in next on the phone must not send them. The one that
// names the phone holds nothing of hers: it stays, so that the server still knows the phone at its
// next sign-in and counts its wrong passwords apart from a stranger's.
TEST_F(ShellTest, TheNextMemberOnTheDeviceSendsNoneOfTheLastMembersCookies) {
    const auto cookiesFile = environment->dataDirectory() / "Cookies.json";
    storeSession(true, true);
    HTTPCookieStorage::shared()->setCookiesFromResponse(
        {"cw_client=0123456789abcdef0123456789abcdef; Path=/m/api; Max-Age=2592000; HttpOnly"},
        server.base() + "/m/api/invite/check");
    HTTPCookieStorage::shared()->setCookiesFromResponse(
        {"cw_device=fedcba9876543210fedcba9876543210; Path=/m/api; Max-Age=7776000; HttpOnly"},
        server.base() + "/m/api/signin");
    ASSERT_NE(cw::readWholeFile(cookiesFile).bytes.find("cw_client"), std::string::npos);
    launch();
    host->settle();

    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    EXPECT_TRUE(host->isShowing("Log In"));
    ASSERT_THAT(HTTPCookieStorage::shared()->cookies(), SizeIs(1));
    EXPECT_EQ(HTTPCookieStorage::shared()->cookies()[0].name, "cw_device");
    EXPECT_EQ(cw::readWholeFile(cookiesFile).bytes.find("cw_client"), std::string::npos);

    signInThroughTheScreen(signInReply(memberJSON(52, "Noah Berg", "noah@example.test"), "access-2"));
    const auto signIns = requestsAt("/m/api/signin/");
    ASSERT_THAT(signIns, SizeIs(1));
    EXPECT_EQ(signIns[0].header("Cookie"), "cw_device=fedcba9876543210fedcba9876543210");
}

TEST_F(ShellTest, ANewSessionAfterALogoutGetsAMainInterfaceOfItsOwnWhoseDrawerDoesItsChoresForTheNewMember) {
    server.reply("GET", "/m/api/member/notification/settings",
                 {Reply{200, R"({"post_notifications": true})"}, Reply{200, R"({"post_notifications": false})"}});
    launch();
    EXPECT_EQ(app->window()->rootViewController(), app->authenticationController());
    EXPECT_TRUE(host->isShowing("Log In"));

    // The first member signs in on the sign-in screen: the drawer loads for the first time.
    signInThroughTheScreen(signInReply(memberJSON(41, "Maya Lind", "maya@example.test"), "access-1"));
    auto mainInterface = mainNavigation();
    ASSERT_TRUE(mainInterface);
    EXPECT_EQ(mainInterface, app->appController());
    waitForRequests(5); // sign-in, settings, two resets, the device token
    EXPECT_THAT(requestsAt("/m/api/member/notification/settings"), SizeIs(1));
    EXPECT_EQ(resetMembers(requestsAt("/m/api/notification/reset")), (std::vector<std::int64_t>{41, 41}));
    EXPECT_EQ(UIApplication::shared().remoteRegistrationCount(), 1);
    const auto firstTimer = app->healthCheckTimer();
    ASSERT_TRUE(firstTimer);
    EXPECT_TRUE(firstTimer->isValid());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_TRUE(host->isShowing("Maya Lind"));

    // Logout from the menu. The interface she used goes with her session; only her drawer is held
    // on here, as a reply on its way would, to see that its late end undoes nothing of the next.
    std::weak_ptr<MainNavigationController> usedInterface = mainInterface;
    auto lateDrawer = drawer();
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    EXPECT_EQ(app->window()->rootViewController(), app->authenticationController());
    EXPECT_FALSE(app->healthCheckTimer());
    EXPECT_FALSE(firstTimer->isValid());
    EXPECT_FALSE(UIApplication::shared().isRegisteredForRemoteNotifications());
    EXPECT_TRUE(postNotifications(UserDefaults::standard())) << "the stored settings went with the logout";
    // The menu button's and the logout's events (the five before were counted already).
    waitForRequests(7);
    server.clearRequests();
    mainInterface.reset();
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(usedInterface.expired()) << "the first member's interface is let go";

    // The second member's session starts deeper in the signed-out flow (as a registration ends).
    app->authenticationController()->pushViewController(std::make_shared<UIViewController>(), false);
    host->settle();
    servePicture("/images/upload/noah.png", 0xFF2040C0);
    AuthenticationContext::shared().login(
        JSON(signInReply(memberJSON(52, "Noah Berg", "noah@example.test", "images/upload/noah.png"), "access-2")));
    host->settle();

    ASSERT_TRUE(mainNavigation());
    EXPECT_EQ(mainNavigation(), app->appController()) << "a new main interface, made for this session";
    EXPECT_NE(drawer(), lateDrawer);
    EXPECT_THAT(app->authenticationController()->viewControllers(), SizeIs(1))
        << "the signed-out flow is back at its first screen";
    ASSERT_TRUE(app->healthCheckTimer());
    EXPECT_NE(app->healthCheckTimer(), firstTimer);
    EXPECT_TRUE(app->healthCheckTimer()->isValid());

    // Its drawer does its chores for this member as it loads.
    // Settings, two resets, the device token, and the member's picture for the menu, in any order.
    waitForRequests(5);
    EXPECT_EQ(UIApplication::shared().remoteRegistrationCount(), 2);
    EXPECT_TRUE(UIApplication::shared().isRegisteredForRemoteNotifications());
    lateDrawer.reset();
    EXPECT_TRUE(UIApplication::shared().isRegisteredForRemoteNotifications())
        << "the first member's drawer, let go late, left the new registration alone";
    EXPECT_THAT(requestsAt("/m/api/member/notification/settings"), SizeIs(1));
    EXPECT_EQ(requestsAt("/m/api/member/notification/settings").front().param("user_id"), "52");
    ASSERT_THAT(requestsAt("/m/api/member/push_notif_token"), SizeIs(1));
    EXPECT_EQ(requestsAt("/m/api/member/push_notif_token").front().json().value("user_id", "?"), "52");
    EXPECT_EQ(resetMembers(requestsAt("/m/api/notification/reset")), (std::vector<std::int64_t>{52, 52}));
    EXPECT_TRUE(RunLoop::main().runUntil([] { return !postNotifications(UserDefaults::standard()); }))
        << "the new member's settings are stored";

    // The menu shows the member of this session, with the picture.
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_TRUE(host->isShowing("Noah Berg"));
    EXPECT_FALSE(host->isShowing("Maya Lind"));
    const auto& photo = menu()->headerView()->userImageView;
    // The menu's own picture stands until hers has come.
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return photo->image() && photo->image()->pixel(0, 0) == 0xFF2040C0u; }));
    waitForRequests(6); // and the menu button's event
    expectNothingElseSent();
}

TEST_F(ShellTest, ASessionLostWithoutLogoutLeavesNothingOfItsInterfaceToTheNextMember) {
    storeSession(true, true);
    launch();
    host->settle();
    std::weak_ptr<MainNavigationController> firstInterface = mainNavigation();
    ASSERT_FALSE(firstInterface.expired());
    // What the first member's interface kept: a chosen baby and the feed's cards.
    auto& session = AuthenticationContext::shared();
    session.setSelectedBabyId(7);
    auto card = std::make_shared<FeedResponse>();
    card->cardId = 5;
    FeedDataStore::shared().setCachedFeed({card});

    // A refused token refresh logs out: the sign-in flow comes back at once.
    session.logout();
    ASSERT_EQ(app->window()->rootViewController(), app->authenticationController());
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(firstInterface.expired());
    EXPECT_FALSE(session.selectedBabyId());
    EXPECT_EQ(FeedDataStore::shared().cachedFeedResponse(5), nullptr);

    signInThroughTheScreen(signInReply(memberJSON(52, "Noah Berg", "noah@example.test"), "access-2"));
    ASSERT_TRUE(mainNavigation());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_TRUE(host->isShowing("Noah Berg"));
    EXPECT_FALSE(host->isShowing("Maya Lind"));
}

TEST_F(ShellTest, AFirstSessionLoadsTheDrawerOnceWithoutDoingItsChoresTwice) {
    launch();
    signInThroughTheScreen(signInReply(memberJSON(41, "Maya Lind", "maya@example.test"), "access-1"));
    waitForRequests(5);
    EXPECT_EQ(UIApplication::shared().remoteRegistrationCount(), 1);
    EXPECT_THAT(requestsAt("/m/api/member/notification/settings"), SizeIs(1));
    EXPECT_THAT(requestsAt("/m/api/notification/reset"), SizeIs(2));
    EXPECT_FALSE(host->isShowing("Log In"));
    expectNothingElseSent();
}

} // namespace cw::test
