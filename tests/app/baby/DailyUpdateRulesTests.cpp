// The daily update page against a recording server that answers what each case needs: which entry
// is shown, the day looked up from the calendar near midnight, failures, and the usage events.
#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "Controllers/Baby/DailyUpdateStackCell.h"
#include "Controllers/Baby/DailyUpdateViewController.h"

#include "App/AppStoryboards.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DateFormatter.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "host/UIApplicationMain.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ResidentSize.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UINavigationController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace cw::test {
namespace {

using nlohmann::json;

json entry(const std::string& updatedAt, std::vector<json> items) {
    return {{"updated_at", updatedAt}, {"items", items}};
}

json item(const std::string& title, std::optional<std::string> info = std::nullopt,
          std::optional<std::string> name = std::nullopt) {
    json i = {{"title", title}, {"subtitle", title + " subtitle"}};
    if (info) i["info"] = *info;
    if (name) i["name"] = *name;
    return i;
}

json reply(std::vector<json> entries) {
    return {{"gestational_age_description", "29 weeks and 2 days"},
            {"days_of_life_description", "3 weeks and 3 days"},
            {"adjusted_gestational_age_description", "32 weeks and 5 days"},
            {"daily_update", entries}};
}

Date parsed(const std::string& text) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd'T'HH:mm:ssZ").date(text);
}

class DailyUpdateRules : public ::testing::Test {
protected:
    void SetUp() override {
        prepareBundle(environment, server.base(), "org.cradleway.daily-tests");
        registerAppStoryboards();
        auto& session = AuthenticationContext::shared();
        session.setUser(UserData::initWithResponseObject(JSON(json{
            {"id", 41}, {"full_name", "Maya Lind"}, {"email", "maya@example.test"}, {"relationship", "Mother"}, {"security_code", 1041}})));
        session.updateTokens(JSON(json{{"tokens", {{"access_token", "a"}, {"refresh_token", "r"}}}}));
        session.setSelectedBabyId(std::nullopt);
        GSMessage::clearHistory();
        host.launch(app);
    }
    void TearDown() override {
        RunLoop::main().runFor(0.05);
        forgetSession();
    }

    // The "Update" tab's pager over one baby, the server answering `answer`.
    std::shared_ptr<DailyUpdateViewController> open(std::optional<Reply> answer, std::optional<std::int64_t> babyId = 7) {
        if (answer) server.reply("POST", "/m/api/baby/daily_update", *answer);
        auto b = std::make_shared<BabyData>("Olivia Hart", "2026-02-10", "2026-04-21", Gender::Female);
        b->setBabyId(babyId);
        AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{b});
        auto pager = std::static_pointer_cast<DailyUpdatePageViewController>(
            UIStoryboard::named("Main")->instantiateViewController("DailyUpdatePageViewController"));
        host.window()->setRootViewController(std::make_shared<UINavigationController>(pager));
        host.settle();
        auto page = std::dynamic_pointer_cast<DailyUpdateViewController>(pager->viewControllers.at(0));
        if (answer) {
            EXPECT_TRUE(RunLoop::main().runUntil([&] { return !page->tableView->isHidden(); }, 10)) << "no reply came";
        }
        host.settle();
        return page;
    }
    // The usage events received, once `count` have arrived.
    std::vector<json> events(std::size_t count) {
        RunLoop::main().runUntil([&] { return server.requestsAt("/m/api/analytics/").size() >= count; }, 10);
        std::vector<json> result;
        for (const auto& r : server.requestsAt("/m/api/analytics/")) {
            const auto body = r.json();
            EXPECT_EQ(body.value("screen_name", ""), "DailyUpdate");
            EXPECT_EQ(body.value("screen_action", ""), "Tap");
            result.push_back(body.value("event_details", json::object()));
        }
        return result;
    }
    static std::string updatedAt(const std::string& serverTime) {
        DateFormatter f;
        f.setDateStyle(DateFormatter::Style::mediumStyle);
        f.setTimeStyle(DateFormatter::Style::shortStyle);
        return "Updated At " + f.string(parsed(serverTime));
    }

    RecordingServer server;
    AppEnvironment environment{"cw-daily"};
    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
};

TEST_F(DailyUpdateRules, ShowsTheLastEntryOfTheListNotTheLatestDate) {
    DeviceSettingsGuard device("en_US", "Europe/London");
    auto page = open(Reply{200, reply({entry("2026-03-11T07:00:00+0000", {item("Wednesday")}),
                                       entry("2026-03-09T07:00:00+0000", {item("Monday")}),
                                       entry("2026-03-10T07:00:00+0000", {item("Tuesday"), item("Tuesday too")})})
                                     .dump()});
    EXPECT_TRUE(host.isShowing("Tuesday"));
    EXPECT_TRUE(host.isShowing("Tuesday Too"));
    EXPECT_FALSE(host.isShowing("Wednesday"));
    EXPECT_EQ(page->tableView->numberOfRows(0), 2);
    // The header tells when it was shown; picking a day tells that entry's own time.
    EXPECT_THAT(page->updateTimeLabel->text().value_or(""), ::testing::StartsWith("Updated at "));
    EXPECT_EQ(page->babyNameLabel->text(), "Olivia Hart");
    EXPECT_EQ(page->gestationAgeWeeksLabel->attributedText()->string(), "29 weeks");
    EXPECT_EQ(page->babyAdjustedAgeDaysLabel->attributedText()->string(), "5 days");

    page->calendarViewController(*std::make_shared<CalendarPopoverViewController>(std::vector<Date>{}, std::nullopt),
                                 parsed("2026-03-10T15:00:00+0000"));
    host.settle();
    EXPECT_EQ(page->updateTimeLabel->text(), updatedAt("2026-03-10T07:00:00+0000"));
    // A day without an entry changes nothing.
    page->calendarViewController(*std::make_shared<CalendarPopoverViewController>(std::vector<Date>{}, std::nullopt),
                                 parsed("2026-03-12T12:00:00+0000"));
    EXPECT_EQ(page->updateTimeLabel->text(), updatedAt("2026-03-10T07:00:00+0000"));
}

// An entry at 23:30 local time belongs to that local day, in the calendar and when looked up.
TEST_F(DailyUpdateRules, TheDayOfAnEntryIsTheDevicesLocalDayEastAndWestOfUTC) {
    struct Case {
        const char* zone;
        const char* late;      // 23:30 on the local day
        const char* nextEarly; // 00:30 the local day after
        const char* day;       // the late entry's local day
    };
    for (const Case& c : {Case{"Pacific/Auckland", "2026-03-09T10:30:00+0000", "2026-03-09T11:30:00+0000", "2026-03-09"},
                          Case{"America/Los_Angeles", "2026-02-10T07:30:00+0000", "2026-02-10T08:30:00+0000", "2026-02-09"}}) {
        SCOPED_TRACE(c.zone);
        DeviceSettingsGuard device("en_US", c.zone);
        server.reset();
        auto page = open(Reply{200, reply({entry(c.late, {item("Late")}), entry(c.nextEarly, {item("Early")})}).dump()});
        EXPECT_TRUE(host.isShowing("Early"));
        ASSERT_TRUE(host.tapIdentifier("calendarButton"));
        // The late entry's local day is offered; the UTC day of it is another day.
        ASSERT_TRUE(host.findByIdentifier(c.day));
        ASSERT_TRUE(host.tapIdentifier(c.day));
        EXPECT_TRUE(host.isShowing("Late"));
        EXPECT_FALSE(host.isShowing("Early"));
        EXPECT_EQ(page->updateTimeLabel->text(), updatedAt(c.late));
        EXPECT_FALSE(host.findByIdentifier(c.day)) << "the popover closed";
    }
}

TEST_F(DailyUpdateRules, TwoEntriesOfOneDayShowTheOneLaterInTheList) {
    DeviceSettingsGuard device("en_US", "UTC");
    auto page = open(Reply{200, reply({entry("2026-03-10T18:00:00+0000", {item("Evening")}),
                                       entry("2026-03-10T07:00:00+0000", {item("Morning")}),
                                       entry("2026-03-09T07:00:00+0000", {item("Day before")})})
                                     .dump()});
    EXPECT_TRUE(host.isShowing("Day Before"));
    ASSERT_TRUE(host.tapIdentifier("calendarButton"));
    ASSERT_TRUE(host.tapIdentifier("2026-03-10"));
    EXPECT_TRUE(host.isShowing("Morning"));
    EXPECT_EQ(page->updateTimeLabel->text(), updatedAt("2026-03-10T07:00:00+0000"));
}

TEST_F(DailyUpdateRules, AFailedFetchShowsTheBannerAndTheCalendarOpensNothing) {
    auto page = open(Reply{500, "{\"message\": \"down\"}"});
    ASSERT_FALSE(GSMessage::history().empty());
    EXPECT_EQ(GSMessage::history().back().text, "Could not fetch daily updates");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_FALSE(page->activityIndicator->isAnimating());
    EXPECT_EQ(page->tableView->numberOfRows(0), 0);
    EXPECT_EQ(page->babyNameLabel->text(), "") << "the scene's text stays";
    ASSERT_TRUE(host.tapIdentifier("calendarButton"));
    EXPECT_FALSE(page->presentedViewController());
    const auto sent = events(1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (json{{"DailyUpdateCalendarTapped", "User tapped on daily update calendar"}, {"baby_id", 7}}));
}

TEST_F(DailyUpdateRules, AReplyWithoutEntriesLeavesNothingToPick) {
    auto page = open(Reply{200, reply({}).dump()});
    EXPECT_EQ(page->tableView->numberOfRows(0), 0);
    EXPECT_FALSE(page->tableView->isHidden());
    EXPECT_EQ(page->daysOfLifeWeeksLabel->attributedText()->string(), "3 weeks");
    ASSERT_TRUE(host.tapIdentifier("calendarButton"));
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(page->presentedViewController());
    ASSERT_TRUE(navigation);
    auto calendar = std::dynamic_pointer_cast<CalendarPopoverViewController>(navigation->viewControllers().at(0));
    ASSERT_TRUE(calendar);
    EXPECT_FALSE(calendar->selectedDate);
    for (const auto& day : calendar->calendarView()->dayViews())
        EXPECT_FALSE(day->isEnabled());
    EXPECT_FALSE(calendar->calendarView()->selectedDate());
}

TEST_F(DailyUpdateRules, ItemsExplainThemselvesInAPopoverAndEventsNameWhatIsMissing) {
    const std::string info = "Babies are weighed every night at the 10 pm care time.";
    auto page = open(Reply{200, reply({entry("2026-03-10T07:00:00+0000",
                                             {item("Weight", info, "weight"), item("Breathing", std::nullopt, "breathing"),
                                              item("Unnamed", "Something to read.")})})
                                     .dump()});
    auto buttons = [&] {
        std::vector<std::shared_ptr<UIButton>> found;
        for (long row = 0; row < 3; ++row) {
            auto cell = std::dynamic_pointer_cast<DailyUpdateStackCell>(page->tableView->cellForRow(IndexPath(row, 0)));
            found.push_back(cell ? cell->detailButton : nullptr);
        }
        return found;
    };
    auto b = buttons();
    ASSERT_TRUE(b[0] && b[1] && b[2]);
    EXPECT_EQ(b[1]->tag(), 1);
    EXPECT_EQ(b[0]->tintColor(), UIColor::lightGrayColor());
    // Configured again and again, the row still has one target.
    page->tableView->reloadData();
    host.settle();
    EXPECT_EQ(buttons()[0]->targetActionCount(), 1u);

    ASSERT_TRUE(host.tap(buttons()[1]));
    EXPECT_FALSE(page->presentedViewController()) << "an item without info opens nothing";
    ASSERT_TRUE(host.tap(buttons()[0]));
    auto popover = page->presentedViewController();
    ASSERT_TRUE(popover);
    EXPECT_TRUE(host.isShowing(info));
    const CGSize size = popover->preferredContentSize();
    EXPECT_EQ(size.width, 300);
    EXPECT_EQ(size.height, heightWithWidth(info, 260, UIFont::systemFont(13)) + 40);
    auto frame = popover->popoverPresentationController()->popoverFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 300);
    EXPECT_EQ(popover->view()->backgroundColor(), UIColor(0xf7 / 255.0, 0xf7 / 255.0, 0xf7 / 255.0));
    ASSERT_TRUE(host.tapOutsidePopover());
    EXPECT_FALSE(page->presentedViewController());
    ASSERT_TRUE(host.tap(buttons()[2]));
    ASSERT_TRUE(host.tapOutsidePopover());

    const auto sent = events(3);
    ASSERT_EQ(sent.size(), 3u);
    const json text = "User tapped a daily update item";
    // Each event is a request of its own: they may arrive in any order.
    EXPECT_THAT(sent, ::testing::UnorderedElementsAre(
                          json{{"DailyUpdateItemTapped", text}, {"baby_id", 7}, {"item_name", "breathing"}},
                          json{{"DailyUpdateItemTapped", text}, {"baby_id", 7}, {"item_name", "weight"}},
                          json{{"DailyUpdateItemTapped", text}, {"baby_id", 7}, {"item_name", "N/A"}}));
}

TEST_F(DailyUpdateRules, ABabyWithoutAnIdAsksForNothingAndItsEventsSayNA) {
    auto page = open(std::nullopt, std::nullopt);
    RunLoop::main().runUntil([&] { return !page->tableView->isHidden(); }, 5);
    host.settle();
    EXPECT_TRUE(server.requestsAt("/m/api/baby/daily_update").empty());
    ASSERT_FALSE(GSMessage::history().empty());
    EXPECT_EQ(GSMessage::history().back().text, "Could not fetch daily updates");
    // Shown from elsewhere, an entry's items still report.
    page->showResponse(DailyUpdateResponse(JSON(reply({entry("2026-03-10T07:00:00+0000", {item("Weight", "Read me.")})}))));
    host.settle();
    auto cell = std::dynamic_pointer_cast<DailyUpdateStackCell>(page->tableView->cellForRow(IndexPath(0, 0)));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(host.tap(cell->detailButton));
    ASSERT_TRUE(host.tapOutsidePopover());
    ASSERT_TRUE(host.tapIdentifier("calendarButton"));
    ASSERT_TRUE(host.tapOutsidePopover());
    ASSERT_TRUE(host.tapText("Growth Charts"));
    const auto sent = events(3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_THAT(sent, ::testing::UnorderedElementsAre(
                          json{{"DailyUpdateItemTapped", "User tapped a daily update item"}, {"baby_id", "N/A"}, {"item_name", "N/A"}},
                          json{{"DailyUpdateCalendarTapped", "User tapped on daily update calendar"}, {"baby_id", "N/A"}},
                          json{{"DailyUpdateGraphsTapped", "User tapped on daily update graphs"}, {"baby_id", "N/A"}}));
}

// A server's explanation of ten megabytes in the latest entry: the page shows the entry, and the
// member picks its day again, with no copy of the megabytes beyond the reply the page keeps.
TEST_F(DailyUpdateRules, AnExplanationOfTenMegabytesIsKeptOnceWhateverDayIsShown) {
    // As the application runs: what the reply's making freed is not resident for a copy to reuse.
    cw::returnLargeBlocksToTheSystem();
    auto page = open(std::nullopt, std::nullopt);
    RunLoop::main().runUntil([&] { return !page->tableView->isHidden(); }, 5);
    host.settle();
    DailyUpdateResponse response(
        JSON(reply({entry("2026-03-10T07:00:00+0000", {item("Weight", std::string(10u << 20, 'w'), "weight")})})));
    struct Step {
        const char* what;
        std::function<void()> act;
        std::int64_t megabytes; // taken at most
    };
    const Step steps[] = {
        {"the page shows the entry", [&] { page->showResponse(std::move(response)); host.settle(); }, 4},
        {"the day is picked again",
         [&] {
             page->calendarViewController(*std::make_shared<CalendarPopoverViewController>(std::vector<Date>{}, std::nullopt),
                                          parsed("2026-03-10T07:00:00+0000"));
             host.settle();
         },
         4},
    };
    for (const Step& step : steps) {
        cw::test::resetPeakResidentSize();
        const std::int64_t before = cw::test::residentMegabytes("VmRSS:");
        step.act();
        const std::int64_t taken = cw::test::residentMegabytes("VmHWM:") - before;
        EXPECT_TRUE(page->dailyUpdate) << step.what;
        if (cw::test::residentSizeIsSound()) {
            EXPECT_LE(taken, step.megabytes) << step.what;
        }
    }
}

} // namespace
} // namespace cw::test
