// Adding, opening, editing and deleting a milestone of a demo twin's journey, as the demo mother
// does it, checked against what the demo server stores.

#include "JourneyDemoFixture.h"

#include "Controllers/Journey/JourneyAddViewController.h"
#include "Controllers/Journey/JourneyEditViewController.h"
#include "Controllers/Journey/JourneyFormSupport.h"
#include "Controllers/Journey/JourneyMilestoneViewController.h"
#include "Views/RoundedSectionHeaderViewTwo.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Calendar.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIAlertController.h"

namespace cw::journeytest {

namespace {

constexpr std::uint32_t kRed = 0xFFD0'2020;
constexpr std::uint32_t kBlue = 0xFF20'40D0;

bool hidden(const std::weak_ptr<UIStackView>& stack) {
    auto s = stack.lock();
    return !s || s->isHidden();
}

// The colour in the middle of what an image view shows.
UIColor middleColour(const std::weak_ptr<UIImageView>& view) {
    auto v = view.lock();
    auto image = v ? v->image() : nullptr;
    return image ? image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() / 2) : UIColor::clearColor();
}

} // namespace

TEST_F(JourneyDemoTest, AMilestoneIsAddedWithItsKindTitleDateAndPhoto) {
    auto timeline = openTimeline("Olivia Hart");
    auto olivia = timeline->baby;
    const std::string babyId = std::to_string(*olivia->babyId());
    const auto itemsBefore = count("SELECT COUNT(*) FROM journey_items WHERE baby_id = " + babyId);

    ASSERT_TRUE(host->tapText("Add Milestone"));
    auto add = topAs<JourneyAddViewController>();
    ASSERT_TRUE(add);
    // The kinds come from the server: the first is chosen, with today's date; no title for it.
    ASSERT_TRUE(waitForText("First time holding me"));
    EXPECT_FALSE(showsActivityOverlay(add));
    EXPECT_EQ(add->options.size(), 8u);
    const std::string today = cw::journey::shownDateFormatter().string(Date::now());
    EXPECT_TRUE(host->isShowing(today));
    EXPECT_TRUE(hidden(add->titleStackView));
    ASSERT_TRUE(waitForEvents("NicuJourneyScreen", "NicuJourneyItemAdd"));
    EXPECT_EQ(eventsWith("NicuJourneyScreen", "NicuJourneyItemAdd")[0].details,
              (nlohmann::json{{"NicuJourneyItemAdd", "User tapped on nicu journey item to add milestone"}}));

    // "Something else" shows the row headed "Title" a quarter of a second later.
    ASSERT_TRUE(host->tapText("First time holding me"));
    add->milestonePicker()->pick(7, 0);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(host->isShowing("Something else"));
    EXPECT_TRUE(hidden(add->titleStackView));
    host->advance(0.24);
    EXPECT_TRUE(hidden(add->titleStackView));
    host->advance(0.02);
    EXPECT_FALSE(hidden(add->titleStackView));
    EXPECT_TRUE(host->isShowing("Title"));
    // The wheels put away, the title is typed.
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Type here"));
    ASSERT_TRUE(host->type("Grandpa Joe"));

    // A special visit clears the title and heads the row "Visitor".
    ASSERT_TRUE(host->tapText("Something else"));
    ASSERT_TRUE(host->turnPicker("A special visit"));
    EXPECT_TRUE(host->isShowing("Visitor"));
    EXPECT_FALSE(host->isShowing("Grandpa Joe"));
    EXPECT_EQ(add->titleField.lock()->text().value_or(""), "");

    // Back to "Something else" with "First smile", three days after the birth.
    ASSERT_TRUE(host->turnPicker("Something else"));
    EXPECT_TRUE(host->isShowing("Title"));
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Type here"));
    ASSERT_TRUE(host->type("First smile\n"));
    ASSERT_TRUE(host->tapText(today));
    auto picker = add->datePicker();
    ASSERT_TRUE(olivia->birthDate());
    EXPECT_EQ(picker->minimumDate(), olivia->birthDate());
    EXPECT_LE(picker->maximumDate().value_or(Date()), Date::now());
    EXPECT_GT(picker->maximumDate().value_or(Date()), Date::now() - 60);
    const Date thirdDay = *olivia->birthDate() + 3 * 86400;
    ASSERT_TRUE(host->turnDatePicker(thirdDay));
    const std::string shownDay = cw::journey::shownDateFormatter().string(thirdDay);
    EXPECT_TRUE(host->isShowing(shownDay));
    // The wheels stop at the birth: a day before it springs back to it.
    EXPECT_FALSE(host->turnDatePicker(*olivia->birthDate() - 86400));
    EXPECT_EQ(add->selectedDate, olivia->birthDate());
    ASSERT_TRUE(host->turnDatePicker(thirdDay));
    ASSERT_TRUE(host->tapText("Done"));

    // A photo, cropped square.
    ASSERT_TRUE(host->tapIdentifier("cameraButton"));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(host->pickImage(pictureFile("smile", kRed, 160, 120)));
    auto cropper = std::dynamic_pointer_cast<RSKImageCropViewController>(host->topViewController());
    ASSERT_TRUE(cropper);
    // The square is measured on the form's own view.
    const CGRect form = add->view()->frame();
    EXPECT_EQ(cropper->maskRect(), CGRect(20, form.size.height / 2 - (form.size.width - 40) / 2,
                                          form.size.width - 40, form.size.width - 40));
    ASSERT_TRUE(host->tapText("Choose"));
    EXPECT_EQ(top(), add);
    const UIColor shown = middleColour(add->imageView);
    EXPECT_GT(shown.red(), 0.7);
    picture("journey-add");

    ASSERT_TRUE(host->tapText("Save"));
    // Only the form closes; the timeline loads again, the newest week open.
    ASSERT_TRUE(waitFor([&] { return top() == timeline; }));
    ASSERT_TRUE(waitFor([&] {
        return count("SELECT COUNT(*) FROM journey_items WHERE baby_id = " + babyId) == itemsBefore + 1;
    }));
    const std::string added = "SELECT %s FROM journey_items WHERE baby_id = " + babyId + " AND label = 'First smile'";
    auto column = [&](const std::string& name) {
        std::string sql = added;
        sql.replace(sql.find("%s"), 2, name);
        return text(sql);
    };
    EXPECT_EQ(column("type"), "other");
    EXPECT_EQ(column("overlay_text"), "First smile");
    EXPECT_EQ(column("date"), cw::journey::postDateFormatter().string(thirdDay));
    EXPECT_FALSE(column("file_name").empty());
    const long firstWeek = static_cast<long>(timeline->journeySections.size()) - 1;
    ASSERT_TRUE(waitFor([&] {
        const auto& items = timeline->journeySections.back().items;
        return std::any_of(items.begin(), items.end(), [](const JourneyItem& i) { return i.label == "First smile"; });
    }));
    EXPECT_EQ(rowsShown(*timeline, firstWeek), 0);
    ASSERT_TRUE(host->tap(header(*timeline, firstWeek)->button()));
    EXPECT_TRUE(revealRow(*timeline, "First smile"));

    ASSERT_TRUE(waitForEvents("NicuJourneyMilestoneScreen", "NicuJourneyItemSave"));
    const auto saves = eventsWith("NicuJourneyMilestoneScreen", "NicuJourneyItemSave");
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].action, "Tap");
    EXPECT_EQ(saves[0].details,
              (nlohmann::json{{"NicuJourneyItemSave", "User tapped on nicu journey item to save a new milestone"},
                              {"milestone_type", "other"}}));
}

TEST_F(JourneyDemoTest, AMilestoneIsEditedTwiceAndThenDeletedAfterTheQuestion) {
    auto timeline = openTimeline("Olivia Hart");
    const std::string babyId = std::to_string(*timeline->baby->babyId());
    const std::string kangaroo =
        "FROM journey_items WHERE baby_id = " + babyId + " AND label = 'First kangaroo care'";
    const std::string dayBefore = text("SELECT date " + kangaroo);
    const std::string fileBefore = text("SELECT file_name " + kangaroo);
    const long firstWeek = static_cast<long>(timeline->journeySections.size()) - 1;
    ASSERT_TRUE(host->tap(header(*timeline, firstWeek)->button()));
    ASSERT_TRUE(revealRow(*timeline, "First kangaroo care"));
    ASSERT_TRUE(host->tapText("First kangaroo care"));
    auto details = topAs<JourneyMilestoneViewController>();
    ASSERT_TRUE(details);
    EXPECT_TRUE(host->isShowing("An hour on Mum's chest"));
    ASSERT_TRUE(waitFor([&] { return details->imageView.lock()->image() != nullptr; }));
    picture("journey-milestone");

    // The menu, drawn: Edit, Delete, Cancel.
    auto menu = details->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->image());
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    auto sheet = std::dynamic_pointer_cast<UIAlertController>(host->topViewController());
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->actions().size(), 3u);
    EXPECT_EQ(sheet->actions()[0]->title(), std::optional<std::string>("Edit"));
    EXPECT_EQ(sheet->actions()[1]->title(), std::optional<std::string>("Delete"));
    EXPECT_EQ(sheet->actions()[2]->title(), std::optional<std::string>("Cancel"));
    ASSERT_TRUE(host->pickAlertAction("Edit"));

    // Saved untouched: the same day goes back.
    auto edit = topAs<JourneyEditViewController>();
    ASSERT_TRUE(edit);
    EXPECT_TRUE(host->isShowing(timeline->journeySections.back().items[3].dateDescription.value_or("?")));
    ASSERT_TRUE(waitFor([&] { return edit->imageView.lock()->image() != nullptr; }));
    picture("journey-edit");
    // Its wheel opens at the milestone's day, not at today.
    ASSERT_TRUE(edit->selectedDate);
    ASSERT_TRUE(host->tap(edit->dateField.lock()));
    EXPECT_TRUE(Calendar::current().isDate(edit->datePicker()->date(), *edit->selectedDate));
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitFor([&] { return top() == details; }));
    EXPECT_EQ(text("SELECT date " + kangaroo), dayBefore);
    EXPECT_TRUE(host->isShowing("An hour on Mum's chest"));

    // A new photo: shown here, and the timeline beneath loads again (only its newest week open).
    ASSERT_TRUE(waitFor([&] { return timeline->sectionExpanded.back() == false; }));
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Edit"));
    ASSERT_TRUE(host->tapIdentifier("cameraButton"));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(host->pickImage(pictureFile("kangaroo", kBlue)));
    ASSERT_TRUE(host->tapText("Choose"));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitFor([&] { return top() == details; }));
    ASSERT_TRUE(waitFor([&] { return text("SELECT file_name " + kangaroo) != fileBefore; }));
    ASSERT_TRUE(waitFor([&] { return middleColour(details->imageView).blue() > 0.6; }));
    EXPECT_EQ(details->milestone->id, std::optional<std::int64_t>(count("SELECT id " + kangaroo)));

    // Delete, then Cancel: nothing is sent.
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Delete"));
    ASSERT_TRUE(waitForText("Are you sure you want to Delete this milestone?"));
    ASSERT_TRUE(host->pickAlertAction("Cancel"));
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(count("SELECT COUNT(*) " + kangaroo), 1);
    EXPECT_EQ(top(), details);
    // Delete and Yes: back on the timeline, and the server has no such milestone.
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Delete"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitFor([&] { return top() == timeline; }));
    EXPECT_EQ(count("SELECT COUNT(*) " + kangaroo), 0);
    EXPECT_FALSE(showsActivityOverlay(timeline));
}

} // namespace cw::journeytest
