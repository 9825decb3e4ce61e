// The journey timeline of the demo twins, as the demo mother sees and uses it: the weeks, the dots,
// opening and closing weeks, and opening a milestone.

#include "JourneyDemoFixture.h"

#include "Controllers/Journey/JourneyItemCell.h"
#include "Controllers/Journey/JourneyMilestoneViewController.h"
#include "Views/RoundedSectionHeaderViewTwo.h"
#include "foundation/dispatch/RunLoop.h"

namespace cw::journeytest {

namespace {

// Whether the dot a row shows is the blue of the family's own milestones (else the teal of the
// care team's).
bool showsBlueDot(const std::shared_ptr<UITableViewCell>& cell) {
    auto image = cell ? cell->imageView()->image() : nullptr;
    if (!image) return false;
    const UIColor c = image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() / 2);
    return c.blue() > c.green() && c.blue() > c.red();
}

bool showsTealDot(const std::shared_ptr<UITableViewCell>& cell) {
    auto image = cell ? cell->imageView()->image() : nullptr;
    if (!image) return false;
    const UIColor c = image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() / 2);
    return c.green() > c.blue() && c.green() > c.red();
}

} // namespace

TEST_F(JourneyDemoTest, TheTimelineOpensOnTheNewestWeekWithBlueDotsForTheFamilysMilestones) {
    auto timeline = openTimeline("Olivia Hart");
    EXPECT_EQ(timeline->title(), std::optional<std::string>("NICU Journey"));
    ASSERT_TRUE(waitForText("Olivia Hart"));

    // The weeks, newest first; only the newest is open.
    const auto& weeks = timeline->journeySections;
    ASSERT_GE(weeks.size(), 3u);
    for (std::size_t i = 1; i < weeks.size(); ++i)
        EXPECT_GT(weeks[i - 1].weekNumber.value_or(0), weeks[i].weekNumber.value_or(0));
    EXPECT_EQ(weeks.back().name, std::optional<std::string>("Week 1"));
    EXPECT_EQ(rowsShown(*timeline, 0), static_cast<long>(weeks[0].items.size()));
    for (long s = 1; s < static_cast<long>(weeks.size()); ++s)
        EXPECT_EQ(rowsShown(*timeline, s), 0) << "week " << s;
    EXPECT_TRUE(host->isShowing(*weeks[0].name));
    EXPECT_TRUE(host->isShowing("My first bath"));
    EXPECT_FALSE(host->isShowing("Arrived in the NICU"));
    // The header: the ages in weeks and days, and the time of this load.
    bool updatedAt = false;
    for (const auto& t : host->visibleTexts())
        if (t.rfind("Updated at ", 0) == 0) updatedAt = true;
    EXPECT_TRUE(updatedAt);

    // The family's bath is blue.
    EXPECT_TRUE(showsBlueDot(rowShowing(*timeline, "My first bath")));
    picture("journey-timeline");

    // Opening the first week shows its four milestones and reports nothing.
    const long first = static_cast<long>(weeks.size()) - 1;
    ASSERT_TRUE(host->tap(header(*timeline, first)->button()));
    EXPECT_EQ(rowsShown(*timeline, first), 4);
    ASSERT_TRUE(revealRow(*timeline, "Arrived in the NICU"));
    EXPECT_TRUE(showsTealDot(rowShowing(*timeline, "Arrived in the NICU")));
    ASSERT_TRUE(revealRow(*timeline, "First kangaroo care"));
    EXPECT_TRUE(showsBlueDot(rowShowing(*timeline, "First kangaroo care")));
    // Closing it again (not the newest week) is reported with its name; closing the newest is not.
    ASSERT_TRUE(host->tap(header(*timeline, first)->button()));
    EXPECT_EQ(rowsShown(*timeline, first), 0);
    ASSERT_TRUE(host->scroll(timeline->tableView.lock(), {0, 900}));
    ASSERT_TRUE(host->tap(header(*timeline, 0)->button()));
    EXPECT_EQ(rowsShown(*timeline, 0), 0);
    ASSERT_TRUE(waitForEvents("NicuJourneyScreen", "NicuJourneyChevron"));
    RunLoop::main().runFor(0.2);
    const auto chevrons = eventsWith("NicuJourneyScreen", "NicuJourneyChevron");
    ASSERT_EQ(chevrons.size(), 1u);
    EXPECT_EQ(chevrons[0].action, "Tap");
    EXPECT_EQ(chevrons[0].details,
              (nlohmann::json{{"NicuJourneyChevron", "User tapped on nicu journey chevron to open details"},
                              {"week", "Week 1"}}));
}

TEST_F(JourneyDemoTest, ACareTeamMilestoneShowsItsTextWithoutAMenuAndOKReturns) {
    auto timeline = openTimeline("Olivia Hart");
    const long first = static_cast<long>(timeline->journeySections.size()) - 1;
    ASSERT_TRUE(host->tap(header(*timeline, first)->button()));
    ASSERT_TRUE(revealRow(*timeline, "Arrived in the NICU"));
    ASSERT_TRUE(host->tapText("Arrived in the NICU"));
    auto details = topAs<JourneyMilestoneViewController>();
    ASSERT_TRUE(details);
    // The overlay text, not the label; no menu for the care team's milestone.
    EXPECT_TRUE(host->isShowing("Welcome to the world"));
    EXPECT_FALSE(host->findByIdentifier("card_menu"));
    EXPECT_FALSE(details->navigationItem()->rightBarButtonItem());

    ASSERT_TRUE(waitForEvents("NicuJourneyScreen", "NicuJourneyItem"));
    const auto opened = eventsWith("NicuJourneyScreen", "NicuJourneyItem");
    ASSERT_EQ(opened.size(), 1u);
    const auto id = count("SELECT id FROM journey_items WHERE label = 'Arrived in the NICU' AND baby_id = " +
                          std::to_string(*timeline->baby->babyId()));
    EXPECT_EQ(opened[0].details,
              (nlohmann::json{{"NicuJourneyItem", "User tapped on nicu journey item to open details"},
                              {"nicu_item_id", id}}));

    ASSERT_TRUE(host->tapText("OK"));
    EXPECT_EQ(top(), timeline);
    // The row is no longer selected when the timeline shows again.
    EXPECT_FALSE(timeline->tableView.lock()->indexPathForSelectedRow());
}

} // namespace cw::journeytest
