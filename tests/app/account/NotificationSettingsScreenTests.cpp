#include "AccountFixture.h"

#include "App/MainNavigationController.h"
#include "Controllers/Account/NotificationSettingsViewController.h"
#include "Services/AuthenticationContext.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "Views/DatePickerCell.h"
#include "Views/ToggleCell.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UIEvent.h"

#include <algorithm>
#include <atomic>
#include <gmock/gmock.h>

using ::testing::Contains;
using ::testing::ElementsAre;

namespace cw::test {

namespace {

using Row = NotificationSettingsViewController::Row;

class NotificationSettingsTest : public AccountTest {
protected:
    std::shared_ptr<NotificationSettingsViewController> showSettings() {
        auto screen =
            instantiateViewController<NotificationSettingsViewController>(*UIStoryboard::named("Settings"));
        app->appController()->pushViewController(screen, false);
        host->settle();
        return screen;
    }
    // The switch of a row, found by the row's title.
    std::shared_ptr<UISwitch> switchOf(NotificationSettingsViewController& screen, const std::string& title) {
        auto table = screen.tableView();
        for (long section = 0; section < table->numberOfSections(); ++section)
            for (long row = 0; row < table->numberOfRows(section); ++row)
                if (auto cell = std::dynamic_pointer_cast<ToggleCell>(table->cellForRow(IndexPath::forRow(row, section))))
                    if (cell->textLabel()->text() == title) return cell->toggle();
        return nullptr;
    }
    // A finger on the switch, without letting the test clock run.
    void flip(NotificationSettingsViewController& screen, const std::string& title) {
        auto toggle = switchOf(screen, title);
        ASSERT_TRUE(toggle) << title;
        const CGRect frame = toggle->convert(toggle->bounds(), static_cast<const UIView*>(nullptr));
        cw::tap(host->window(), {frame.midX(), frame.midY()});
        RunLoop::main().runUntilIdle();
    }
    std::optional<std::string> stored(const std::string& column) {
        return queryOne("SELECT " + column + " FROM members WHERE email = 'demo@cradleway.test'");
    }
    std::size_t saves() const { return requestsAnswered("POST", "member/notification/settings"); }
    // Lets the server answer what was sent (real time), without moving the test clock.
    void letTheServerAnswer() { RunLoop::main().runFor(0.3); }
};

TEST_F(NotificationSettingsTest, SwitchesChangedWithinASecondAreSavedTogetherOneSecondLater) {
    launchAsMother();
    auto screen = showSettings();
    EXPECT_THAT(host->visibleTexts(), Contains("Customize Notifications"));
    EXPECT_TRUE(host->isShowing("Quiet Time"));
    for (const char* title : {"Recommended Content", "Posts", "Comments", "Daily Updates", "Scheduled"})
        EXPECT_TRUE(switchOf(*screen, title) && switchOf(*screen, title)->isOn() == (std::string(title) != "Scheduled"))
            << title;
    EXPECT_EQ(screen->tableView()->numberOfRows(1), 1) << "quiet time off: Scheduled alone";
    EXPECT_EQ(screen->tableView()->rectForRow(IndexPath::forRow(0, 0)).size.height, 58.0);
    const std::size_t before = saves();

    flip(*screen, "Posts");
    host->advance(0.6);
    flip(*screen, "Comments");
    EXPECT_FALSE(postNotifications(UserDefaults::standard()));
    EXPECT_FALSE(commentNotifications(UserDefaults::standard()));
    host->advance(0.99);
    letTheServerAnswer();
    EXPECT_EQ(saves(), before) << "nothing before a second has passed since the last change";
    host->advance(0.02);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return stored("comment_notifications") == "0"; }, 10));
    letTheServerAnswer();
    EXPECT_EQ(saves(), before + 1);
    EXPECT_EQ(stored("post_notifications"), "0");
    EXPECT_EQ(stored("recommended_notifications"), "1");

    ASSERT_TRUE(waitForEvents("NotificationSettingsScreen", 2));
    EXPECT_THAT(eventsOf("NotificationSettingsScreen"),
                testing::UnorderedElementsAre(event("Tap", {{"postsSwitch", false}}),
                                              event("Tap", {{"commentsSwitch", false}})));
}

// On a slow ward network a save may still be on its way when the next comes due (a wheel turned
// for a few seconds saves once a second): the server takes them in the order they reach it, and
// the setting the member left is the one it keeps.
TEST_F(NotificationSettingsTest, ASaveOvertakenOnTheWayDoesNotUndoTheNextChange) {
    RecordingServer front;
    auto gate = std::make_shared<Gate>();
    auto saved = std::make_shared<std::atomic<int>>(0);
    front.setHandler([upstream = demo->baseUrl(), gate, saved](const RecordedRequest& request,
                                                                httplib::Response& response) {
        // The first save lingers on the way, so that whatever is sent after it reaches the server first.
        if (request.method == "POST" && request.path == "/m/api/member/notification/settings" && (*saved)++ == 0)
            gate->wait();
        forwardRequest(upstream, request, response);
    });
    prepareBundle(*environment, front.base(), "org.cradleway.account-tests");
    launchAsMother();
    auto screen = showSettings();

    flip(*screen, "Posts");
    host->advance(1.01);
    ASSERT_TRUE(waitUntil([&] { return *saved == 1; }));
    flip(*screen, "Comments");
    host->advance(1.01);
    EXPECT_FALSE(waitUntil([&] { return *saved == 2; }, 1)) << "a second save went while the first was on its way";
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return saves() == 2; }));
    EXPECT_EQ(stored("comment_notifications"), "0") << "the later change was undone";
    EXPECT_EQ(stored("post_notifications"), "0");
    front.stop();
}

// A change is saved a second after it is made: when the member logs out within that second and
// another signs in on the phone, the change is still hers and never reaches his account.
TEST_F(NotificationSettingsTest, AChangeComingDueAfterHerLogoutNeverReachesTheNextMembersAccount) {
    launchAsMother();
    auto screen = showSettings();
    const std::size_t before = saves();
    flip(*screen, "Posts");
    AuthenticationContext::shared().logout();
    signIn("partner@cradleway.test");
    host->advance(1.01);
    letTheServerAnswer();
    EXPECT_EQ(saves(), before);
    EXPECT_EQ(queryOne("SELECT post_notifications FROM members WHERE email = 'partner@cradleway.test'"), "1");
}

TEST_F(NotificationSettingsTest, TheQuietTimeOpensItsTimesAndAPickerUnderTheOneTapped) {
    DeviceSettingsGuard device("en_US", "America/Chicago");
    launchAsMother();
    auto screen = showSettings();
    flip(*screen, "Scheduled");
    EXPECT_TRUE(notificationSchedule(UserDefaults::standard()));
    EXPECT_EQ(screen->doNotDisturbSection(),
              (std::vector<Row>{Row::toggle(Row::Toggle::schedule), Row::rightDetail(Row::RightDetail::from),
                                Row::rightDetail(Row::RightDetail::to)}));
    host->settle();
    // The server's quiet time until now, in the device's 12-hour clock.
    EXPECT_TRUE(host->isShowing("10:00 PM"));
    EXPECT_TRUE(host->isShowing("07:00 AM"));

    // "From" opens its picker; "To" then moves the picker under itself, fourth in the section.
    ASSERT_TRUE(host->scroll(screen->tableView(), {0, -400}));
    ASSERT_TRUE(host->tapText("From"));
    EXPECT_EQ(screen->doNotDisturbSection()[2], Row::timePicker(Row::TimePicker::from));
    EXPECT_EQ(screen->tableView()->rectForRow(IndexPath::forRow(2, 1)).size.height, 162.0);
    ASSERT_TRUE(host->scroll(screen->tableView(), {0, -400}));
    ASSERT_TRUE(host->tapText("To"));
    EXPECT_EQ(screen->doNotDisturbSection(),
              (std::vector<Row>{Row::toggle(Row::Toggle::schedule), Row::rightDetail(Row::RightDetail::from),
                                Row::rightDetail(Row::RightDetail::to), Row::timePicker(Row::TimePicker::to)}));
    ASSERT_TRUE(host->tapText("To"));
    EXPECT_EQ(screen->doNotDisturbSection().size(), 3u);
    ASSERT_TRUE(host->tapText("From"));
    ASSERT_TRUE(host->tapText("From"));
    EXPECT_EQ(screen->doNotDisturbSection().size(), 3u) << "a second tap closes it";

    // Picking 22:30 in the start picker.
    ASSERT_TRUE(host->tapText("From"));
    auto cell = std::dynamic_pointer_cast<DatePickerCell>(screen->tableView()->cellForRow(IndexPath::forRow(2, 1)));
    ASSERT_TRUE(cell);
    DateFormatter wallClock;
    wallClock.setDateFormat("yyyy-MM-dd HH:mm");
    ASSERT_TRUE(host->turnDatePicker(*wallClock.date("2020-09-13 22:30")));
    EXPECT_TRUE(host->isShowing("10:30 PM")) << screenTexts();
    host->advance(1.0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return stored("scheduled_from") == "22:30:00"; }, 10));
    EXPECT_EQ(stored("scheduled"), "1");
    EXPECT_EQ(stored("scheduled_to"), "07:00:00");
    // The wheel reports each row it settles on as the finger turns it, and the events may arrive
    // in any order: the one for the row it rests on is among them.
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] {
            auto events = eventsOf("NotificationSettingsScreen");
            return std::find(events.begin(), events.end(), event("Tap", {{"scheduledFrom", 2230}})) != events.end();
        },
        10));
    EXPECT_THAT(eventsOf("NotificationSettingsScreen"), Contains(event("Tap", {{"scheduledSwitch", true}})));

    // Off again: Scheduled alone, the picker gone; every switch has one action, its own.
    flip(*screen, "Scheduled");
    EXPECT_EQ(screen->doNotDisturbSection(), (std::vector<Row>{Row::toggle(Row::Toggle::schedule)}));
    for (const char* title : {"Recommended Content", "Posts", "Comments", "Daily Updates", "Scheduled"})
        EXPECT_EQ(switchOf(*screen, title)->targetActionCount(), 1u) << title;
}

TEST_F(NotificationSettingsTest, AChangeIsSavedEvenWhenTheScreenIsLeftAtOnce) {
    launchAsMother();
    std::weak_ptr<NotificationSettingsViewController> left;
    {
        auto screen = showSettings();
        left = screen;
        flip(*screen, "Daily Updates");
        app->appController()->popViewController(false);
    }
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(left.expired()) << "the pending save holds the screen";
    host->advance(1.0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return stored("daily_update_notifications") == "0"; }, 10));
    RunLoop::main().runUntil([&] { return left.expired(); }, 5);
    EXPECT_TRUE(left.expired()) << "and lets it go once sent";
}

TEST_F(NotificationSettingsTest, ARefusedSaveSaysSoAndKeepsTheChoice) {
    launchAsMother();
    auto screen = showSettings();
    demo->stop();
    flip(*screen, "Recommended Content");
    host->advance(1.0);
    ASSERT_TRUE(waitUntil([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Could not update settings");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_FALSE(switchOf(*screen, "Recommended Content")->isOn());
    EXPECT_FALSE(recommendedContentNotifications(UserDefaults::standard()));
}

TEST_F(NotificationSettingsTest, TheSwitchesShowWhatTheServerHeldWhenTheMainInterfaceLoaded) {
    // The member changed them on another device.
    {
        auto lease = demo->server().state().pool->acquire();
        lease->exec("UPDATE members SET comment_notifications = 0, scheduled = 1, scheduled_to = '06:15:00' "
                    "WHERE email = 'demo@cradleway.test'");
    }
    DeviceSettingsGuard device("en_US", "Europe/Berlin");
    launchAsMother();
    ASSERT_TRUE(waitUntil([] { return notificationSchedule(UserDefaults::standard()); }));
    auto screen = showSettings();
    EXPECT_FALSE(switchOf(*screen, "Comments")->isOn());
    EXPECT_TRUE(switchOf(*screen, "Posts")->isOn());
    EXPECT_TRUE(switchOf(*screen, "Scheduled")->isOn());
    EXPECT_TRUE(host->isShowing("06:15 AM"));
}

} // namespace

} // namespace cw::test
