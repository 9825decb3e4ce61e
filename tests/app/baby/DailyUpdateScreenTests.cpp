// The baby tabs as the demo mother sees them, against the demo server: the daily update of each
// twin, its explanations, its calendar and the measurement charts.
#include "BabyScreenFixture.h"

#include "App/MainNavigationController.h"
#include "App/TabBarController.h"
#include "Controllers/Account/CareTeamViewController.h"
#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "Controllers/Baby/DailyUpdateStackCell.h"
#include "Controllers/Baby/DailyUpdateViewController.h"
#include "Controllers/Baby/MeasurementChart.h"
#include "Controllers/Baby/MeasurementsViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/text/CaseMapping.h"
#include "foundation/time/DateFormatter.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"
#include "uikit/view/ViewRendering.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::StartsWith;

namespace cw::test {
namespace {

const UIFont kNumber = UIFont::systemFont(17, UIFont::Weight::medium);

class BabyTabs : public BabyScreenTest {
protected:
    // The pager of a tab (1 Update, 2 Team, 3 Journey).
    std::shared_ptr<BabyPageViewController> pager(std::size_t tab) {
        auto main = std::dynamic_pointer_cast<MainNavigationController>(host->window()->rootViewController());
        if (!main) return nullptr;
        auto tabs = std::dynamic_pointer_cast<TabBarController>(main->viewControllers().front());
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers().at(tab));
        return navigation ? std::dynamic_pointer_cast<BabyPageViewController>(navigation->viewControllers().front()) : nullptr;
    }
    std::shared_ptr<DailyUpdateViewController> shownPage() {
        auto p = pager(1);
        return std::dynamic_pointer_cast<DailyUpdateViewController>(p->viewControllers.at(static_cast<std::size_t>(p->pageIndex)));
    }
    // Opens the "Update" tab and waits for the shown baby's entry.
    std::shared_ptr<DailyUpdateViewController> openUpdates(const std::string& name) {
        EXPECT_TRUE(host->tapText("Update"));
        EXPECT_TRUE(showsSoon(name));
        auto page = shownPage();
        EXPECT_TRUE(waitFor([&] { return page->dailyUpdate != nullptr; }));
        return page;
    }
    std::shared_ptr<DailyUpdateStackCell> rowOf(const DailyUpdateViewController& page, const std::string& title) {
        for (const auto& cell : page.tableView->visibleCells())
            if (auto row = std::dynamic_pointer_cast<DailyUpdateStackCell>(cell); row && row->titleLabel->text() == title)
                return row;
        return nullptr;
    }
    void swipe(CGFloat distance, int steps = 10) {
        const CGFloat start = distance > 0 ? 340 : 35;
        host->drag({start, 520}, {start - distance, 520}, steps);
    }
    std::int64_t idOf(const std::string& name) {
        for (const auto& b : babies())
            if (b->fullName() == name) return b->babyId().value_or(-1);
        return -1;
    }
};

TEST_F(BabyTabs, TheUpdateTabShowsEachTwinsLatestEntry) {
    signInAndLaunch();
    auto page = openUpdates("Olivia Hart");
    EXPECT_TRUE(host->isShowing("Daily Update"));
    for (const char* age : {"29 weeks", "2 days", "3 weeks", "3 days", "32 weeks", "5 days"})
        EXPECT_TRUE(host->isShowing(age)) << age;
    // Only the digits are enlarged.
    const auto weeks = *page->gestationAgeWeeksLabel->attributedText();
    EXPECT_EQ(weeks.attributes(0).font, kNumber);
    EXPECT_EQ(weeks.attributes(1).font, kNumber);
    EXPECT_EQ(weeks.attributes(2).font, UIFont::systemFont(15, UIFont::Weight::medium));
    EXPECT_THAT(page->updateTimeLabel->text().value_or(""), StartsWith("Updated at "));
    for (const char* row : {"Weight", "Breathing", "Feeding", "Temperature", "Photo Of The Day"})
        EXPECT_TRUE(host->isShowing(row)) << row;

    // The latest of the server's entries is the one shown.
    const auto server = serverDailyUpdates(idOf("Olivia Hart"));
    ASSERT_FALSE(server.dailyUpdates.empty());
    EXPECT_EQ(page->dailyUpdate->updatedAt, server.dailyUpdates.back().updatedAt);

    auto updates = pager(1);
    EXPECT_EQ(updates->pageControl->numberOfPages(), 2);
    EXPECT_FALSE(updates->pageControl->isHidden());
    EXPECT_TRUE(isVisibleOnScreen(*updates->pageControl));
    // The dots stand just under the bar, over the page's header.
    EXPECT_EQ(updates->pageControl->convert(updates->pageControl->bounds(), nullptr).minY(), 64 + 8);

    // A swipe to Noah; one given up on the way stays with him.
    swipe(250);
    EXPECT_TRUE(showsSoon("Noah Hart"));
    EXPECT_EQ(updates->pageIndex, 1);
    EXPECT_EQ(updates->pageControl->currentPage(), 1);
    EXPECT_TRUE(host->isShowing("Daily Update"));
    swipe(-60, 40);
    EXPECT_EQ(updates->pageIndex, 1);
    EXPECT_TRUE(host->isShowing("Noah Hart"));
    EXPECT_EQ(AuthenticationContext::shared().selectedBabyId(), idOf("Noah Hart"));
}

// The daily update as a hostile server sends it: the latest entry's breathing row names thousands
// of sub-rows and lines (the server's rows hold a handful).
class HostileDailyUpdate : public BabyTabs {
protected:
    static constexpr int kLines = 2000;
    // The weight's explanation: 3,000 characters.
    static inline const std::string kExplanation = [] {
        std::string text;
        for (int i = 0; text.size() < 2990; ++i)
            text += "Sentence " + std::to_string(i) + " of how she is weighed. ";
        return text.substr(0, 2991) + " The end.";
    }();

    void SetUp() override {
        BabyTabs::SetUp();
        front.setHandler([upstream = server_->baseUrl()](const RecordedRequest& request, httplib::Response& response) {
            forwardRequest(upstream, request, response);
            if (request.path != "/m/api/baby/daily_update" && request.path != "/m/api/baby/daily_update/") return;
            auto reply = nlohmann::json::parse(response.body, nullptr, false);
            if (!reply.is_object() || !reply["daily_update"].is_array() || reply["daily_update"].empty()) return;
            for (auto& item : reply["daily_update"].back()["items"]) {
                if (item.value("title", "") == "Weight") item["info"] = kExplanation;
                if (item.value("title", "") != "Breathing") continue;
                item["subitems"] = nlohmann::json::array();
                item["data"] = nlohmann::json::array();
                for (int i = 0; i < kLines; ++i) {
                    item["subitems"].push_back({{"title", "Flow " + std::to_string(i)}, {"value", "2 litres a minute"}});
                    item["data"].push_back("Line " + std::to_string(i));
                }
            }
            response.set_content(reply.dump(), "application/json");
        });
        prepareBundle(*environment, front.base(), "org.cradleway.baby-tests");
    }
    void TearDown() override {
        front.stop();
        BabyTabs::TearDown();
    }

    RecordingServer front;
};

TEST_F(HostileDailyUpdate, ARowOfThousandsOfLinesShowsTheFirstFiftyAndTheTabStillPages) {
    signInAndLaunch();
    auto page = openUpdates("Olivia Hart");
    ASSERT_TRUE(waitFor([&] { return rowOf(*page, "Breathing") != nullptr; }));
    const auto row = rowOf(*page, "Breathing");
    EXPECT_TRUE(host->isShowing("Flow 0"));
    // Fifty sub-rows with a hairline between each two, then fifty lines.
    const auto& lines = row->stackView->arrangedSubviews();
    ASSERT_EQ(lines.size(), 50u + 49u + 50u);
    const auto last = std::dynamic_pointer_cast<UILabel>(lines.back());
    ASSERT_TRUE(last);
    EXPECT_EQ(last->text(), "Line 49");

    swipe(250);
    EXPECT_TRUE(showsSoon("Noah Hart"));
    EXPECT_EQ(pager(1)->pageIndex, 1);
}

TEST_F(HostileDailyUpdate, ALongExplanationLeavesTheTitleBarToCloseItAndScrollsToItsEnd) {
    host.reset();
    host = std::make_unique<cw::HeadlessHost>(CGSize{320, 568});
    signInAndLaunch();
    auto page = openUpdates("Olivia Hart");
    ASSERT_TRUE(host->tap(rowOf(*page, "Weight")->detailButton));
    auto shown = page->presentedViewController();
    ASSERT_TRUE(shown);
    const auto label = std::dynamic_pointer_cast<UILabel>(host->findByText(kExplanation));
    ASSERT_TRUE(label);
    // A finger's drags bring its end into the popover, where the finger reaches it.
    ASSERT_TRUE(host->scroll(label, {0, -3000}));
    host->settle();
    const CGRect end = label->convert(label->rects({kExplanation.size() - 4, 4}).back(), nullptr);
    EXPECT_TRUE(shown->popoverPresentationController()->popoverFrame()->contains(end)) << end;
    EXPECT_TRUE(host->viewUnderFinger({end.midX(), end.midY()})->isDescendant(shown->view().get()));
    // The title bar stays uncovered: a tap on it closes the popover.
    const auto bar = page->navigationController()->navigationBar();
    ASSERT_TRUE(host->tapPoint(host->tapPointOf(*bar)));
    host->settle();
    EXPECT_FALSE(page->presentedViewController());
}

TEST_F(BabyTabs, TheSelectedBabyOpensANewPagerAndTheOtherTabsPageTheSameBabies) {
    signInAndLaunch();
    AuthenticationContext::shared().setSelectedBabyId(idOf("Noah Hart"));
    openUpdates("Noah Hart");
    EXPECT_EQ(pager(1)->pageIndex, 1);

    for (std::size_t tab : {2u, 3u}) {
        ASSERT_TRUE(host->tapText(tab == 2 ? "Team" : "Journey"));
        auto p = pager(tab);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->pageIndex, 1);
        ASSERT_EQ(p->viewControllers.size(), 2u);
        std::vector<std::string> names;
        for (const auto& page : p->viewControllers) {
            if (auto team = std::dynamic_pointer_cast<CareTeamViewController>(page)) names.push_back(team->baby->fullName());
            if (auto journey = std::dynamic_pointer_cast<JourneyViewController>(page)) names.push_back(journey->baby->fullName());
        }
        EXPECT_THAT(names, ElementsAre("Olivia Hart", "Noah Hart"));
        EXPECT_FALSE(p->pageControl->isHidden());
    }
    EXPECT_TRUE(host->isShowing("NICU Journey"));
}

TEST_F(BabyTabs, TheCurrentDotOfTheTwinsShowsOnTheTeamAndJourneyPages) {
    signInAndLaunch();
    const auto distance = [](const UIColor& a, const UIColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    };
    for (const auto& [tab, name, shown] : {std::tuple<std::size_t, const char*, const char*>{2, "Team", "Blue Pod Team"},
                                           {3, "Journey", "NICU Journey"}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(host->tapText(name));
        ASSERT_TRUE(showsSoon(shown));
        host->settle();
        const auto dots = pager(tab)->pageControl;
        ASSERT_EQ(dots->numberOfPages(), 2);
        ASSERT_TRUE(isVisibleOnScreen(*dots));
        // The dots keep their colours: the current one white, the others light gray.
        EXPECT_EQ(dots->currentPageIndicatorTintColor, UIColor::whiteColor());
        EXPECT_EQ(dots->pageIndicatorTintColor, UIColor::lightGrayColor());

        const auto picture = cw::renderView(*host->window(), host->scale());
        const auto pixel = [&](CGPoint point) {
            return picture->pixelColor(static_cast<int>(point.x * host->scale()), static_cast<int>(point.y * host->scale()));
        };
        // The current dot's centre against what lies behind it, just beside the dot.
        const CGRect current = dots->convert(dots->indicatorRect(dots->currentPage()), nullptr);
        const UIColor dot = pixel({current.midX(), current.midY()});
        const UIColor behind = pixel({current.maxX() + 2, current.midY()});
        EXPECT_LT(distance(dot, UIColor(1, 1, 1, 1)), 0.05) << "the dot keeps its white";
        EXPECT_GT(distance(dot, behind), 0.5) << "the dot " << dot << " on " << behind;
    }
}

TEST_F(BabyTabs, AMemberWithoutStoredBabiesSeesTheEmptyPage) {
    launchWithoutBabies();
    ASSERT_TRUE(host->tapText("Update"));
    EXPECT_TRUE(host->isShowing("No Babies Yet"));
    EXPECT_TRUE(host->isShowing("Your babies appear here once they are added to your account."));
    EXPECT_TRUE(pager(1)->pageControl->isHidden());
    // Its picture, for docs/screens/ when CW_SCREENSHOT_DIR names it (scripts/screenshots does).
    const char* pictures = std::getenv("CW_SCREENSHOT_DIR");
    const std::filesystem::path dir = pictures && *pictures ? std::filesystem::path(pictures) : environment->directory();
    std::string error;
    EXPECT_TRUE(host->screenshot(dir / "baby-empty-state.png", &error)) << error;
    ASSERT_TRUE(host->tapText("Journey"));
    EXPECT_TRUE(host->isShowing("No Babies Yet"));
    EXPECT_EQ(pager(3)->viewControllers.size(), 1u);
}

TEST_F(BabyTabs, WeightExplainsItselfInAPopoverAndBreathingOpensNothing) {
    signInAndLaunch();
    auto page = openUpdates("Olivia Hart");
    auto weight = rowOf(*page, "Weight");
    auto breathing = rowOf(*page, "Breathing");
    ASSERT_TRUE(weight && breathing);
    ASSERT_TRUE(host->tap(breathing->detailButton));
    EXPECT_FALSE(page->presentedViewController());
    ASSERT_TRUE(host->tap(weight->detailButton));
    EXPECT_TRUE(host->isShowing("Babies are weighed every night at the 10 pm care time."));
    auto popover = page->presentedViewController();
    ASSERT_TRUE(popover);
    EXPECT_EQ(popover->popoverPresentationController()->popoverFrame()->width(), 300);
    EXPECT_NE(popover->popoverPresentationController()->arrowDirection(), UIPopoverArrowDirectionUnknown);
    ASSERT_TRUE(host->tapOutsidePopover());

    const nlohmann::json id = idOf("Olivia Hart");
    const auto events = storedEvents("DailyUpdate", 2);
    ASSERT_EQ(events.size(), 2u);
    std::vector<nlohmann::json> details;
    for (const auto& e : events) {
        EXPECT_EQ(e.action, "Tap");
        details.push_back(e.details);
    }
    // Each event is a request of its own: they may arrive in any order.
    EXPECT_THAT(details,
                ::testing::UnorderedElementsAre(
                    nlohmann::json{{"DailyUpdateItemTapped", "User tapped a daily update item"}, {"baby_id", id}, {"item_name", "breathing"}},
                    nlohmann::json{{"DailyUpdateItemTapped", "User tapped a daily update item"}, {"baby_id", id}, {"item_name", "weight"}}));
}

TEST_F(BabyTabs, TheCalendarOffersTheDaysOfTheEntries) {
    signInAndLaunch();
    auto page = openUpdates("Olivia Hart");
    const auto server = serverDailyUpdates(idOf("Olivia Hart"));
    ASSERT_GE(server.dailyUpdates.size(), 6u);
    const DailyUpdate& latest = server.dailyUpdates.back();
    const DailyUpdate& fiveDaysAgo = server.dailyUpdates[server.dailyUpdates.size() - 6];

    ASSERT_TRUE(host->tapIdentifier("calendarButton"));
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(page->presentedViewController());
    ASSERT_TRUE(navigation);
    auto calendar = std::dynamic_pointer_cast<CalendarPopoverViewController>(navigation->viewControllers().front());
    ASSERT_TRUE(calendar);
    const auto frame = navigation->popoverPresentationController()->popoverFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size, (CGSize{320, 340}));
    EXPECT_TRUE(host->isShowing(CVDate(latest.updatedAt).globalDescription()));
    auto marked = calendar->calendarView()->dayView(CVDate(latest.updatedAt));
    ASSERT_TRUE(marked);
    EXPECT_TRUE(marked->isSelected());
    EXPECT_THAT(calendar->menuView()->weekdayNames(), ElementsAre("Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"));

    // A day without an entry refuses the tap (the month may need paging back to the older entry).
    std::shared_ptr<CVCalendarDayView> refused;
    for (const auto& day : calendar->calendarView()->dayViews())
        if (!day->isEnabled()) refused = day;
    ASSERT_TRUE(refused);
    ASSERT_TRUE(host->tap(refused));
    EXPECT_EQ(page->presentedViewController(), navigation);

    if (!CVDate(fiveDaysAgo.updatedAt).isSameMonth(CVDate(latest.updatedAt))) {
        const CGRect f = calendar->calendarView()->convert(calendar->calendarView()->bounds(), nullptr);
        host->drag({f.minX() + 10, f.midY()}, {f.maxX() - 10, f.midY()});
    }
    DateFormatter identifier;
    identifier.setDateFormat("yyyy-MM-dd");
    ASSERT_TRUE(host->tapIdentifier(identifier.string(fiveDaysAgo.updatedAt)));
    EXPECT_FALSE(page->presentedViewController());

    DateFormatter shown;
    shown.setDateStyle(DateFormatter::Style::mediumStyle);
    shown.setTimeStyle(DateFormatter::Style::shortStyle);
    EXPECT_EQ(page->updateTimeLabel->text(), "Updated At " + shown.string(fiveDaysAgo.updatedAt));
    // That day's feeding, as the server has it.
    const auto& feeding = *std::find_if(fiveDaysAgo.items.begin(), fiveDaysAgo.items.end(),
                                        [](const DailyUpdateItem& i) { return i.name == "feeding"; });
    auto row = rowOf(*page, "Feeding");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->subtitleLabel->text(), feeding.subtitle);
    std::vector<std::string> lines;
    for (const auto& v : row->stackView->arrangedSubviews())
        if (auto label = std::dynamic_pointer_cast<UILabel>(v)) lines.push_back(label->text().value_or(""));
    EXPECT_EQ(lines, *feeding.data);
    // Breathing shows that day's support, as the server has it, and its settings below.
    const auto& support = *std::find_if(fiveDaysAgo.items.begin(), fiveDaysAgo.items.end(),
                                        [](const DailyUpdateItem& i) { return i.name == "breathing"; });
    auto breathing = rowOf(*page, "Breathing");
    ASSERT_TRUE(breathing);
    EXPECT_EQ(breathing->subtitleLabel->text(), support.subtitle);
    EXPECT_FALSE(breathing->stackView->arrangedSubviews().empty());
}

TEST_F(BabyTabs, TheChartsControlShowsTheThreeSeries) {
    signInAndLaunch();
    openUpdates("Olivia Hart");
    ASSERT_TRUE(host->tapText("Growth Charts"));
    EXPECT_TRUE(showsSoon("Olivia Hart's Measurements"));
    auto main = std::dynamic_pointer_cast<MainNavigationController>(host->window()->rootViewController());
    auto measurements = std::dynamic_pointer_cast<MeasurementsViewController>(host->topViewController());
    if (!measurements) {
        auto tabs = std::dynamic_pointer_cast<TabBarController>(main->viewControllers().front());
        auto nav = std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers().at(1));
        measurements = std::dynamic_pointer_cast<MeasurementsViewController>(nav->topViewController());
    }
    ASSERT_TRUE(measurements);
    ASSERT_TRUE(waitFor([&] { return measurements->weightChart && measurements->heightChart && measurements->headCircumferenceChart; }));

    struct Series {
        std::string title;
        void (BabyService::*request)(std::int64_t, ObjectSuccess, RequestFailure);
        const char* key;
        std::optional<MeasurementChart>& chart;
    };
    const std::int64_t id = idOf("Olivia Hart");
    long section = -1;
    EXPECT_TRUE(host->isShowing("WEIGHT (G)"));
    for (const Series& s : {Series{"Weight (g)", &BabyService::fetchWeight, "weight", measurements->weightChart},
                            Series{"Length (cm)", &BabyService::fetchHeight, "height", measurements->heightChart},
                            Series{"Head Circumference (cm)", &BabyService::fetchHeadCircumference, "head_circumference",
                                   measurements->headCircumferenceChart}}) {
        SCOPED_TRACE(s.key);
        ++section;
        EXPECT_EQ(measurements->titleForHeaderInSection(nullptr, section), s.title);
        // Every header shown reads in capitals.
        if (auto header = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(measurements->tableView()->headerView(section))) {
            EXPECT_EQ(header->textLabel()->text(), cw::uppercased(s.title));
        }
        std::optional<JSON> reply;
        BabyService service;
        (service.*s.request)(id, [&](const JSON& r) { reply = r; }, [](const RequestError&) {});
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return reply.has_value(); }, 10));
        const auto points = MeasurementData::series(*reply, s.key);
        ASSERT_FALSE(points.empty());
        const auto& chart = *s.chart;
        const std::size_t n = points.size();
        ASSERT_EQ(chart.markers->viewsForChartPoints().size(), n);
        EXPECT_EQ(chart.xAxis->axisModel().firstModelValue, 0);
        EXPECT_EQ(chart.xAxis->axisModel().lastModelValue, std::max<double>(n - 1, 1));
        const double step = n <= 17 ? 1 : n <= 89 ? 7 : 30;
        for (const auto& value : chart.xAxis->axisValues())
            EXPECT_EQ(std::fmod(value.scalar, step), 0) << value.scalar;
        double largest = 0;
        for (const auto& p : points)
            largest = std::max(largest, p.value);
        EXPECT_DOUBLE_EQ(chart.yAxis->axisModel().lastModelValue, largest * 1.2);
        // The y axis climbs from 0 in the round step its height calls for.
        const double yStep = yStepFor(largest * 1.2);
        const auto yValues = chart.yAxis->axisValues();
        ASSERT_GE(yValues.size(), 2u);
        EXPECT_EQ(yValues.front().scalar, 0);
        for (std::size_t i = 1; i < yValues.size(); ++i)
            EXPECT_NEAR(yValues[i].scalar - yValues[i - 1].scalar, yStep, 1e-9) << i;
        const auto locations = chart.markers->chartPointsScreenLocs();
        for (std::size_t i = 1; i < n; ++i) {
            EXPECT_GT(locations[i].x, locations[i - 1].x) << "in list order";
            if (points[i].value > points[i - 1].value) {
                EXPECT_LT(locations[i].y, locations[i - 1].y) << "higher for more";
            }
        }
        EXPECT_EQ(chart.chart.view()->superview(), s.key == std::string("weight")   ? measurements->weightContentView
                                                   : s.key == std::string("height") ? measurements->heightContentView
                                                                                    : measurements->headCircumferenceContentView);
    }
    const auto events = storedEvents("DailyUpdate", 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].details, (nlohmann::json{{"DailyUpdateGraphsTapped", "User tapped on daily update graphs"}, {"baby_id", id}}));
}

} // namespace
} // namespace cw::test
