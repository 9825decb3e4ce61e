// The timeline against replies of the test's choosing: the order of its weeks, a reply without
// weeks, a failed load, a milestone without an id, and its headers' chevrons.

#include "JourneyRecordingFixture.h"

#include "Controllers/Journey/JourneyItemCell.h"
#include "Controllers/Journey/JourneyMilestoneViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Views/RoundedSectionHeaderViewTwo.h"
#include "kits/banners/GSMessage.h"

#include <numbers>

namespace cw::journeytest {

namespace {

nlohmann::json milestone(int id, const std::string& label, bool editable) {
    return {{"id", id}, {"label", label}, {"date", "Mar 7, 2019"}, {"overlay_text", label}, {"editable", editable}};
}

nlohmann::json journeyReply(nlohmann::json weeks) {
    return {{"nicu_journey_data", std::move(weeks)},
            {"days_of_life_description", "3 weeks and 2 days"},
            {"gestational_age_description", "31 weeks and 5 days"},
            {"adjusted_gestational_age_description", "34 weeks and 6 days"},
            {"baby", {{"full_name", "Ada Lind"}, {"id", 7}}}};
}

class JourneyTimeline : public JourneyRecordingTest {
protected:
    std::shared_ptr<JourneyViewController> openTimeline() {
        auto timeline = instantiateViewController<JourneyViewController>(*UIStoryboard::named("Journey"));
        timeline->baby = baby;
        show(timeline);
        return timeline;
    }
    std::shared_ptr<RoundedSectionHeaderViewTwo> header(const JourneyViewController& timeline, long section) {
        return std::dynamic_pointer_cast<RoundedSectionHeaderViewTwo>(timeline.tableView.lock()->headerView(section));
    }
};

} // namespace

TEST_F(JourneyTimeline, WeeksRunNewestFirstAndTheirHeadersShowTheirChevronsUpright) {
    reply("baby/nicu_journey_data", 200,
          journeyReply({{"Week 3", {milestone(1, "Third", true)}},
                        {"Week 10", {milestone(2, "Tenth", false), milestone(3, "Tenth again", true)}},
                        {"Week 1", {milestone(4, "First", true)}},
                        {"Notes", {milestone(5, "Unnumbered", true)}}}));
    auto timeline = openTimeline();
    ASSERT_TRUE(waitFor([&] { return timeline->journeySections.size() == 4; }));
    std::vector<std::string> names;
    for (const auto& s : timeline->journeySections) names.push_back(s.name.value_or(""));
    EXPECT_EQ(names, (std::vector<std::string>{"Week 10", "Week 3", "Week 1", "Notes"}));
    EXPECT_EQ(timeline->sectionExpanded, (std::vector<bool>{true, false, false, false}));
    EXPECT_TRUE(host->isShowing("Tenth again"));
    EXPECT_TRUE(host->isShowing("Ada Lind"));
    EXPECT_EQ(timeline->tableView.lock()->alpha(), 1);

    // A tap turns the chevron; the header drawn again for the new state stands upright, whichever
    // header the table hands out.
    ASSERT_TRUE(host->tap(header(*timeline, 1)->button()));
    EXPECT_EQ(timeline->sectionExpanded, (std::vector<bool>{true, true, false, false}));
    for (long s = 0; s < 4; ++s) {
        auto h = header(*timeline, s);
        ASSERT_TRUE(h) << s;
        EXPECT_EQ(h->button()->transform(), CGAffineTransform()) << s;
    }
    for (long s = 0; s < 4; ++s) header(*timeline, s)->button()->setTransform(CGAffineTransform::makeRotation(std::numbers::pi));
    timeline->tableView.lock()->reloadData();
    host->settle();
    for (long s = 0; s < 4; ++s) EXPECT_EQ(header(*timeline, s)->button()->transform(), CGAffineTransform()) << s;
    EXPECT_TRUE(host->isShowing("Third"));
}

TEST_F(JourneyTimeline, AReplyWithoutWeeksStillFillsTheHeaderAndAFailedLoadKeepsTheWeeks) {
    reply("baby/nicu_journey_data", 200, journeyReply(nlohmann::json::object()));
    auto timeline = openTimeline();
    ASSERT_TRUE(waitFor([&] { return host->isShowing("Ada Lind"); }));
    EXPECT_TRUE(timeline->journeySections.empty());
    EXPECT_EQ(timeline->tableView.lock()->numberOfSections(), 0);
    EXPECT_EQ(timeline->gestationAgeWeeksLabel.lock()->attributedText()->string(), "31 weeks");
    EXPECT_EQ(timeline->daysOfLifeDaysLabel.lock()->attributedText()->string(), "2 days");

    // After a good load, a failed one leaves the weeks and shows its error.
    reply("baby/nicu_journey_data", 200, journeyReply({{"Week 1", {milestone(4, "First", true)}}}));
    timeline->loadJourney();
    ASSERT_TRUE(waitFor([&] { return host->isShowing("First"); }));
    reply("baby/nicu_journey_data", 500, {{"message", "down"}});
    timeline->loadJourney();
    ASSERT_TRUE(waitFor([&] { return !GSMessage::history().empty(); }));
    EXPECT_EQ(GSMessage::history().back().text, "The server answered with an error.");
    EXPECT_EQ(GSMessage::history().back().settings.textNumberOfLines, 0);
    EXPECT_TRUE(host->isShowing("First"));
}

TEST_F(JourneyTimeline, OpeningAMilestoneWithoutAnIdReportsNA) {
    reply("baby/nicu_journey_data", 200,
          journeyReply({{"Week 1", {{{"label", "No id"}, {"date", "Mar 7, 2019"}}}}}));
    auto timeline = openTimeline();
    ASSERT_TRUE(waitFor([&] { return host->isShowing("No id"); }));
    ASSERT_TRUE(host->tapText("No id"));
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(host->topViewController());
    ASSERT_TRUE(std::dynamic_pointer_cast<JourneyMilestoneViewController>(navigation->topViewController()));
    ASSERT_TRUE(waitFor([&] { return !eventDetails("NicuJourneyScreen").empty(); }));
    EXPECT_EQ(eventDetails("NicuJourneyScreen").front(),
              (nlohmann::json{{"NicuJourneyItem", "User tapped on nicu journey item to open details"},
                              {"nicu_item_id", "N/A"}}));
}

TEST_F(JourneyTimeline, ATimelineWithoutABabyIdSendsNothing) {
    baby->setBabyId(std::nullopt);
    auto timeline = openTimeline();
    expectNothingElseSent();
    EXPECT_TRUE(timeline->journeySections.empty());
    EXPECT_TRUE(timeline->tableView.lock()->isHidden());
}

} // namespace cw::journeytest
