// The milestone forms and the milestone's details against replies of the test's choosing: what they
// send, how they read the server's dates on a device of another locale, and how they fail.

#include "JourneyRecordingFixture.h"

#include "Controllers/Journey/JourneyAddViewController.h"
#include "Controllers/Journey/JourneyEditViewController.h"
#include "Controllers/Journey/JourneyMilestoneViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DateFormatter.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "kits/banners/GSMessage.h"

namespace cw::journeytest {

namespace {

Date day(const char* ymd) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd").date(ymd);
}

std::string field(const test::RecordedRequest& request, const std::string& name) {
    const auto values = request.fields(name);
    return values.empty() ? std::string("<none>") : values.front();
}

std::string lastBanner() {
    const auto& history = GSMessage::history();
    return history.empty() ? std::string() : history.back().text;
}

// A milestone the family added: id 31, shown on 7 March 2019.
JourneyItem kangarooCare(const std::string& image) {
    return JourneyItem(JSON(nlohmann::json{{"id", 31},
                                           {"label", "First kangaroo care"},
                                           {"overlay_text", "An hour on Mum's chest"},
                                           {"date", "Mar 7, 2019"},
                                           {"image", image},
                                           {"editable", true}}));
}

// Records what the milestone screen tells its delegate.
class MilestoneReports : public JourneyMilestoneViewControllerDelegate {
public:
    void journeyMilestonViewControllerDidDeleteMilestone(JourneyMilestoneViewController&) override { ++deleted; }
    void journeyMilestonViewControllerDidEditMilestone(JourneyMilestoneViewController&) override { ++edited; }
    void journeyMilestonViewControllerDidCancel(JourneyMilestoneViewController&) override { ++cancelled; }
    int deleted = 0, edited = 0, cancelled = 0;
};

class JourneyForms : public JourneyRecordingTest {
protected:
    std::shared_ptr<JourneyAddViewController> openAdd() {
        auto add = instantiateViewController<JourneyAddViewController>(*UIStoryboard::named("Journey"));
        add->baby = baby;
        show(add);
        return add;
    }
    std::shared_ptr<JourneyMilestoneViewController> openMilestone(const JourneyItem& item) {
        auto details = instantiateViewController<JourneyMilestoneViewController>(*UIStoryboard::named("Journey"));
        details->baby = baby;
        details->milestone = item;
        details->delegate = reports;
        show(details);
        return details;
    }

    std::shared_ptr<MilestoneReports> reports = std::make_shared<MilestoneReports>();
};

} // namespace

TEST_F(JourneyForms, AThaiBuddhistDeviceSendsGregorianDatesAndShowsItsOwnYears) {
    DeviceSettingsGuard device("th_TH@calendar=buddhist", "Asia/Bangkok");
    reply("baby/nicu_journey_list", 200, {{"nicu_journey_list", {kind("first_feed", "My first feed", "")}}});
    auto add = openAdd();
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_list"));
    ASSERT_TRUE(waitFor([&] { return add->selected().has_value(); }));
    ASSERT_TRUE(host->tapText(*add->dateField.lock()->text()));
    ASSERT_TRUE(host->turnDatePicker(day("2019-03-07")));
    // The device shows its own calendar's year...
    EXPECT_NE(add->dateField.lock()->text().value_or("").find("2562"), std::string::npos);
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_add"));
    // ...and the server gets the Gregorian one.
    const auto sent = requestsAt("baby/nicu_journey_add").front();
    EXPECT_EQ(field(sent, "date"), "2019-03-07");
    EXPECT_EQ(field(sent, "type"), "first_feed");
    EXPECT_EQ(field(sent, "baby_id"), "7");
    EXPECT_EQ(field(sent, "user_id"), "42");
    // The title field's text goes even for a kind without a title row: the empty text.
    EXPECT_EQ(field(sent, "input_text"), "");
}

TEST_F(JourneyForms, WithoutAPickedPhotoNoPictureIsSentAndTheFormClosesItself) {
    servePicture("/static/feed.png", 0xFF30A050);
    reply("baby/nicu_journey_list", 200,
          {{"nicu_journey_list", {kind("first_feed", "My first feed", url("/static/feed.png")), kind("other", "Something else", "")}}});
    reply("baby/nicu_journey_add", 200, {{"status", "ok"}});
    auto add = openAdd();
    ASSERT_TRUE(waitFor([&] { return add->imageView.lock()->image() != nullptr; }));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_add"));
    // The kind's picture on screen is the server's own: it is not sent back as hers.
    EXPECT_TRUE(requestsAt("baby/nicu_journey_add").front().files().empty());
    // No delegate: the form still goes.
    ASSERT_TRUE(waitFor([&] { return !add->viewWindow(); }));
}

TEST_F(JourneyForms, SavingWithoutKindsOrAfterAFailedSaveShowsAnErrorAndKeepsTheForm) {
    reply("baby/nicu_journey_list", 500, {{"message", "down"}});
    auto add = openAdd();
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_list"));
    ASSERT_TRUE(waitFor([&] { return !showsActivityOverlay(add); }));
    EXPECT_TRUE(add->options.empty());
    EXPECT_FALSE(add->selectedDate);
    ASSERT_TRUE(host->tapText("Save"));
    EXPECT_EQ(lastBanner(), "An error occurred");
    EXPECT_FALSE(showsActivityOverlay(add));
    ASSERT_TRUE(waitForRequests("analytics/"));
    expectNothingElseSent();
    EXPECT_TRUE(requestsAt("baby/nicu_journey_add").empty());
    EXPECT_EQ(eventDetails("NicuJourneyMilestoneScreen").front(),
              (nlohmann::json{{"NicuJourneyItemSave", "User tapped on nicu journey item to save a new milestone"},
                              {"milestone_type", "N/A"}}));
}

TEST_F(JourneyForms, AFailedAddKeepsTheFormAsItWas) {
    reply("baby/nicu_journey_list", 200, {{"nicu_journey_list", {kind("other", "Something else", "")}}});
    reply("baby/nicu_journey_add", 500, {{"message", "The disk is full."}});
    auto add = openAdd();
    ASSERT_TRUE(waitFor([&] { return add->selected().has_value(); }));
    host->advance(1);
    ASSERT_TRUE(host->tapText("Type here"));
    ASSERT_TRUE(host->type("First smile\n"));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_add"));
    ASSERT_TRUE(waitFor([&] { return lastBanner() == "An error occurred"; }));
    EXPECT_FALSE(showsActivityOverlay(add));
    EXPECT_TRUE(host->isShowing("First smile"));
    EXPECT_TRUE(add->viewWindow());
    EXPECT_EQ(field(requestsAt("baby/nicu_journey_add").front(), "input_text"), "First smile");
}

TEST_F(JourneyForms, AFrenchDeviceReadsTheServersDateAndSavesTheSameDayUntouched) {
    DeviceSettingsGuard device("fr_FR", "Europe/Paris");
    reply("baby/nicu_journey_edit", 200, {{"status", "ok"}});
    auto edit = instantiateViewController<JourneyEditViewController>(*UIStoryboard::named("Journey"));
    edit->baby = baby;
    edit->milestone = kangarooCare("");
    show(edit);
    // The date as the server wrote it, then the day it names.
    EXPECT_TRUE(host->isShowing("Mar 7, 2019"));
    EXPECT_EQ(edit->selectedDate, day("2019-03-07"));
    EXPECT_TRUE(host->isShowing("First kangaroo care"));
    EXPECT_FALSE(edit->milestoneField.lock()->isEnabled());
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_edit"));
    const auto sent = requestsAt("baby/nicu_journey_edit").front();
    EXPECT_EQ(field(sent, "date"), "2019-03-07");
    EXPECT_EQ(field(sent, "id"), "31");
    // No photo on screen: no picture part.
    EXPECT_TRUE(sent.files().empty());
}

TEST_F(JourneyForms, ADateTurnedOnTheEditWheelsIsShownInTheDevicesStyleAndSaved) {
    DeviceSettingsGuard device("fr_FR", "Europe/Paris");
    reply("baby/nicu_journey_edit", 200, {{"status", "ok"}});
    auto edit = instantiateViewController<JourneyEditViewController>(*UIStoryboard::named("Journey"));
    edit->baby = baby;
    edit->milestone = kangarooCare("");
    // A date the server wrote in no form this screen reads: nothing to save until one is picked.
    edit->milestone->dateDescription = "7 mars 2019";
    show(edit);
    EXPECT_FALSE(edit->selectedDate);
    ASSERT_TRUE(host->tapText("Save"));
    EXPECT_EQ(lastBanner(), "An error occurred");
    ASSERT_TRUE(host->tapText("7 mars 2019"));
    EXPECT_EQ(edit->datePicker()->minimumDate(), day("2019-03-01"));
    ASSERT_TRUE(host->turnDatePicker(day("2019-03-09")));
    EXPECT_TRUE(host->isShowing("9 mars 2019"));
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_edit"));
    EXPECT_EQ(field(requestsAt("baby/nicu_journey_edit").front(), "date"), "2019-03-09");
}

TEST_F(JourneyForms, AnEditReplyWithoutTheMilestoneStillHandsBackTheMilestoneSoItCanBeDeleted) {
    servePicture("/uploads/kangaroo.png", 0xFF2040D0);
    reply("baby/nicu_journey_edit", 200, {{"status", "ok"}});
    reply("baby/nicu_journey_delete", 200, {{"status", "ok"}});
    reply("baby/nicu_journey_edit", 200, {{"status", "ok"}});
    auto details = openMilestone(kangarooCare(url("/uploads/kangaroo.png")));
    ASSERT_TRUE(waitFor([&] { return details->imageView.lock()->image() != nullptr; }));
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Edit"));
    auto edit = std::dynamic_pointer_cast<JourneyEditViewController>(
        std::dynamic_pointer_cast<UINavigationController>(host->topViewController())->topViewController());
    ASSERT_TRUE(edit);
    ASSERT_TRUE(waitFor([&] { return edit->imageView.lock()->image() != nullptr; }));
    ASSERT_TRUE(host->tapText("Mar 7, 2019"));
    ASSERT_TRUE(host->turnDatePicker(day("2019-03-09")));
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitFor([&] { return reports->edited == 1 && !edit->viewWindow(); }));
    // The photo shown is the server's already: only one she picked would go.
    EXPECT_TRUE(requestsAt("baby/nicu_journey_edit").front().files().empty());
    ASSERT_TRUE(details->milestone);
    EXPECT_EQ(details->milestone->id, std::optional<std::int64_t>(31));
    EXPECT_EQ(details->milestone->label, std::optional<std::string>("First kangaroo care"));
    EXPECT_EQ(details->milestone->overlayText, std::optional<std::string>("An hour on Mum's chest"));
    EXPECT_EQ(details->milestone->dateDescription, std::optional<std::string>("Mar 9, 2019"));
    EXPECT_EQ(details->milestone->imageURL->absoluteString(), url("/uploads/kangaroo.png"));
    EXPECT_EQ(details->milestone->isEditable, std::optional<bool>(true));
    EXPECT_TRUE(host->isShowing("An hour on Mum's chest"));

    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Delete"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_delete"));
    EXPECT_EQ(requestsAt("baby/nicu_journey_delete").front().json(),
              (nlohmann::json{{"baby_id", 7}, {"user_id", 42}, {"id", 31}}));
    ASSERT_TRUE(waitFor([&] { return reports->deleted == 1; }));
}

TEST_F(JourneyForms, WhatAnEditReplyHoldsWinsOverWhatWasSent) {
    servePicture("/uploads/new.png", 0xFF2040D0);
    reply("baby/nicu_journey_edit", 200,
          {{"nicu_journey_edit",
            {{"id", 31}, {"content", "Skin to skin"}, {"image", url("/uploads/new.png")}, {"date", "Mar 8, 2019"}}}});
    auto details = openMilestone(kangarooCare(""));
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Edit"));
    ASSERT_TRUE(waitFor([&] { return host->isShowing("Mar 7, 2019"); }));
    ASSERT_TRUE(host->tapText("Save"));
    ASSERT_TRUE(waitFor([&] { return reports->edited == 1; }));
    EXPECT_EQ(details->milestone->overlayText, std::optional<std::string>("Skin to skin"));
    EXPECT_EQ(details->milestone->dateDescription, std::optional<std::string>("Mar 8, 2019"));
    EXPECT_EQ(details->milestone->imageURL->absoluteString(), url("/uploads/new.png"));
    EXPECT_EQ(details->milestone->label, std::optional<std::string>("First kangaroo care"));
    EXPECT_TRUE(waitFor([&] { return host->isShowing("Skin to skin"); }));
}

TEST_F(JourneyForms, AFailedDeleteLeavesTheMilestoneWithItsBannerAndNoOverlay) {
    reply("baby/nicu_journey_delete", 500, {{"message", "No."}});
    auto details = openMilestone(kangarooCare(""));
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Delete"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitForRequests("baby/nicu_journey_delete"));
    ASSERT_TRUE(waitFor([&] { return !lastBanner().empty(); }));
    EXPECT_EQ(lastBanner(), "The server answered with an error.");
    EXPECT_FALSE(showsActivityOverlay(details));
    EXPECT_EQ(reports->deleted, 0);
    EXPECT_TRUE(details->viewWindow());

    // A milestone without an id: nothing to delete, nothing sent.
    GSMessage::clearHistory();
    details->milestone->id.reset();
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("Delete"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    EXPECT_EQ(lastBanner(), "The reply carried no data.");
    EXPECT_FALSE(showsActivityOverlay(details));
    expectNothingElseSent();
    EXPECT_EQ(requestsAt("baby/nicu_journey_delete").size(), 1u);
}

} // namespace cw::journeytest
