#include "DemoServerSuite.h"

#include "Models/BabyData.h"
#include "Models/CareGiversResponse.h"
#include "Models/DailyUpdateData.h"
#include "Models/JourneyData.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "foundation/time/DateFormatter.h"

namespace cw::e2e {
namespace {

// Everything the server keeps per baby, for a baby of the signed-in family.
class DemoServerBabyTest : public DemoServerSuite {
protected:
    void SetUp() override {
        ASSERT_TRUE(signInDemoMember());
        ASSERT_FALSE(babyIds().empty());
        babyId = babyIds().front();
    }
    std::int64_t babyId = 0;
};

TEST_F(DemoServerBabyTest, DailyUpdatesAndTheCareTeamReadIntoTheirRecords) {
    Outcome updates, team;
    BabyService().fetchDailyUpdate(babyId, updates.success(), updates.failure());
    BabyService().fetchCareGivers(babyId, team.success(), team.failure());
    ASSERT_TRUE(accepted(updates));
    ASSERT_TRUE(accepted(team));

    const DailyUpdateResponse daily(updates.object());
    // Every entry's time reads: none was dropped.
    EXPECT_EQ(daily.dailyUpdates.size(), updates.object()["daily_update"].count());
    ASSERT_GE(daily.dailyUpdates.size(), 14u);
    EXPECT_FALSE(daily.daysOfLifeDescription->empty());
    EXPECT_FALSE(daily.gestationalAgeDescription->empty());
    bool subItems = false;
    for (const auto& update : daily.dailyUpdates) {
        EXPECT_FALSE(update.items.empty());
        for (const auto& item : update.items) {
            EXPECT_TRUE(item.name && item.title);
            subItems = subItems || (item.subItems && !item.subItems->empty());
        }
    }
    EXPECT_TRUE(subItems);

    const CareGiversResponse careTeam(team.object());
    EXPECT_TRUE(careTeam.careTeamName);
    ASSERT_FALSE(careTeam.careGivers.empty());
    for (const auto& giver : careTeam.careGivers)
        EXPECT_TRUE(giver.title && giver.description);
    EXPECT_FALSE(careTeam.daysOfLifeDescription->empty());
}

TEST_F(DemoServerBabyTest, TheThreeGrowthSeriesGiveDatedPointsWithUnits) {
    // What the measurements screen reads of each entry: a time in its own pattern, a value, units.
    DateFormatter serverFormatter;
    serverFormatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
    Outcome weight, height, head;
    BabyService().fetchWeight(babyId, weight.success(), weight.failure());
    BabyService().fetchHeight(babyId, height.success(), height.failure());
    BabyService().fetchHeadCircumference(babyId, head.success(), head.failure());
    for (auto [outcome, key] :
         {std::pair{&weight, "weight"}, {&height, "height"}, {&head, "head_circumference"}}) {
        ASSERT_TRUE(accepted(*outcome)) << key;
        const auto entries = outcome->object()[key].arrayValue();
        ASSERT_GE(entries.size(), 2u) << key;
        for (const JSON& entry : entries) {
            EXPECT_TRUE(serverFormatter.date(entry["updated_at"].stringValue())) << entry.serialize();
            EXPECT_GT(entry["value"].doubleValue(), 0) << key;
            EXPECT_TRUE(entry["units"].string()) << key;
        }
    }
}

TEST_F(DemoServerBabyTest, TheJourneyIsReadAndAMilestoneAddedEditedAndDeleted) {
    Outcome data, kinds;
    BabyService().fetchJourneyData(babyId, data.success(), data.failure());
    BabyService().fetchJourneyList(babyId, kinds.success(), kinds.failure());
    ASSERT_TRUE(accepted(data));
    ASSERT_TRUE(accepted(kinds));
    const JourneyResponse journey = JourneySection::parseJourneyData(data.object());
    ASSERT_FALSE(journey.sections.empty());
    EXPECT_TRUE(journey.sections.front().weekNumber);
    EXPECT_TRUE(journey.fullName);
    EXPECT_TRUE(journey.daysOfLifeDescription);
    std::size_t items = 0, photos = 0;
    for (const auto& section : journey.sections) {
        items += section.items.size();
        for (const auto& item : section.items)
            photos += item.imageURL.has_value();
        for (const auto& item : section.items)
            EXPECT_TRUE(item.id && item.label && item.dateDescription);
    }
    EXPECT_GT(items, 0u);
    EXPECT_GT(photos, 0u);

    std::vector<JourneyMilestoneType> milestoneTypes;
    for (const JSON& entry : kinds.object()["nicu_journey_list"].arrayValue())
        milestoneTypes.emplace_back(entry);
    ASSERT_FALSE(milestoneTypes.empty());
    const auto withText = std::find_if(milestoneTypes.begin(), milestoneTypes.end(),
                                       [](const JourneyMilestoneType& type) { return type.isInput; });
    ASSERT_NE(withText, milestoneTypes.end());
    for (const auto& type : milestoneTypes)
        EXPECT_TRUE(type.dropdownText && !type.type.empty());

    Outcome added;
    BabyService().addJourneyItem(babyId, "2026-11-30", withText->type,
                                 std::string("First cuddle with Grandma"), solidImage(0xFF88AA44),
                                 added.success(), added.failure());
    ASSERT_TRUE(accepted(added));
    const JourneyItem item(added.object()["nicu_journey_add"]);
    ASSERT_TRUE(item.id) << added.object().serialize();
    EXPECT_TRUE(item.imageURL);

    Outcome edited;
    BabyService().editJourneyItem(babyId, *item.id, "2026-12-01", solidImage(0xFF4488AA), edited.success(),
                                  edited.failure());
    ASSERT_TRUE(accepted(edited));
    const JourneyItem changed(edited.object()["nicu_journey_edit"]);
    EXPECT_EQ(changed.id, item.id);
    EXPECT_NE(changed.dateDescription, item.dateDescription);
    ASSERT_TRUE(changed.imageURL);
    EXPECT_TRUE(servedPicture(changed.imageURL->absoluteString()));

    // A milestone of a kind without text, and no photo.
    const auto plain = std::find_if(milestoneTypes.begin(), milestoneTypes.end(),
                                    [](const JourneyMilestoneType& type) { return !type.isInput; });
    ASSERT_NE(plain, milestoneTypes.end());
    Outcome bare;
    BabyService().addJourneyItem(babyId, "2026-12-02", plain->type, std::nullopt, nullptr, bare.success(),
                                 bare.failure());
    ASSERT_TRUE(accepted(bare));
    EXPECT_TRUE(JourneyItem(bare.object()["nicu_journey_add"]).id);

    // The milestone screen deletes through the base request on a baby service.
    Outcome deleted;
    BabyService service;
    service.post("nicu_journey_delete",
                 JSON(nlohmann::json{{"baby_id", babyId}, {"user_id", userId()}, {"id", *item.id}}),
                 deleted.taskSuccess(), [&](const BaseHTTPService::Task&, const NSError& error) {
                     BabyService::handleError(&error, deleted.failure());
                 });
    ASSERT_TRUE(accepted(deleted));
}

TEST_F(DemoServerBabyTest, TheBabiesAreSavedWithAPictureAndMarkedForDischarge) {
    auto babies = AuthenticationContext::shared().babies();
    ASSERT_FALSE(babies.empty());
    babies.front()->setFullName(babies.front()->fullName() + " Grace");
    babies.front()->setRequestImage(solidImage(0xFFCC8844));
    // A baby added in the profile form: no id yet, its dates as the form writes them.
    babies.push_back(
        std::make_shared<BabyData>("Baby Hart", "Nov, 28 2026", "Jan, 20 2027", Gender::Unknown));
    Outcome saved;
    BabyService().updateBabies(babies, saved.success(), saved.failure());
    ASSERT_TRUE(accepted(saved));
    std::vector<std::shared_ptr<BabyData>> stored;
    for (const JSON& entry : saved.object()["response"].arrayValue())
        if (auto baby = BabyData::initWithResponseObject(entry)) stored.push_back(baby);
    ASSERT_EQ(stored.size(), babies.size()) << saved.object().serialize();
    EXPECT_EQ(stored.front()->fullName(), babies.front()->fullName());
    ASSERT_TRUE(stored.front()->imageFile());
    EXPECT_TRUE(servedPicture(*stored.front()->imageFile()));
    EXPECT_EQ(stored.back()->fullName(), "Baby Hart");
    EXPECT_EQ(stored.back()->birthday(), "2026-11-28");
    AuthenticationContext::shared().save(stored);

    Outcome discharged;
    BabyService().markDischarged(babyIds(), discharged.success(), discharged.failure());
    ASSERT_TRUE(accepted(discharged));
    for (const auto id : babyIds())
        EXPECT_TRUE(discharged.object()[std::to_string(id)].bool_().has_value()) << id;
}

TEST_F(DemoServerBabyTest, ABabyIsRemovedFromTheFamily) {
    const auto ids = babyIds();
    Outcome removed;
    BabyService().deleteBabyWithBabyID(ids.back(), removed.taskSuccess(), removed.taskFailure());
    ASSERT_TRUE(accepted(removed));

    Outcome refused;
    BabyService().fetchCareGivers(ids.back(), refused.success(), refused.failure());
    ASSERT_TRUE(runUntil([&] { return refused.done(); }));
    EXPECT_TRUE(refused.error);
}

} // namespace
} // namespace cw::e2e
