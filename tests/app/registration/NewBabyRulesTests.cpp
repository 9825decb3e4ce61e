#include "Controllers/SignIn/NewBabyViewController.h"
#include "ScreenFixture.h"
#include "foundation/time/Calendar.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>

namespace cw::test {

namespace {

class SubmitListener : public NewBabyViewControllerDelegate {
public:
    void newBabyViewController(NewBabyViewController&, const std::shared_ptr<BabyData>& baby) override {
        submitted.push_back(baby);
    }
    std::vector<std::shared_ptr<BabyData>> submitted;
};

std::shared_ptr<BabyData> mia(const std::string& birthday, Gender gender = Gender::Female) {
    auto baby = std::make_shared<BabyData>("Mia Lopez", birthday, "2019-02-10", gender);
    baby->setBabyId(7);
    baby->setMrn(std::string("CW200001"));
    return baby;
}

Date day(const char* ymd) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd").date(ymd);
}

} // namespace

class NewBabyRules : public ScreenTest {
protected:
    std::shared_ptr<NewBabyViewController> open(const std::shared_ptr<BabyData>& baby) {
        auto screen = std::make_shared<NewBabyViewController>();
        screen->babyData = baby;
        screen->delegate = listener;
        show(screen);
        return screen;
    }
    std::shared_ptr<SubmitListener> listener = std::make_shared<SubmitListener>();
};

TEST_F(NewBabyRules, TheFormShowsTheLookupAndItsDayInTheRecordsOwnShape) {
    DeviceSettingsGuard device("en_US", "America/New_York");
    auto screen = open(mia("2018-12-31"));
    EXPECT_TRUE(host->isShowing("Create Account"));
    EXPECT_EQ(screen->nameTextField->text(), "Mia Lopez");
    EXPECT_EQ(screen->dobTextField->text(), "Dec, 31 2018");
    EXPECT_EQ(screen->genderTextField->text(), "Female");
    EXPECT_EQ(screen->mrnTextField->text(), "CW200001");
    EXPECT_EQ(screen->dobTextField->inputView(), screen->datePicker());
    EXPECT_EQ(screen->genderTextField->inputView(), screen->genderPicker());
    EXPECT_EQ(screen->dobTextField->inputAccessoryView(), screen->genderTextField->inputAccessoryView());
    EXPECT_EQ(screen->datePicker()->frame().height(), 260);
    EXPECT_EQ(screen->datePicker()->datePickerMode, UIDatePickerMode::date);

    // An unknown gender, no record number, a birthday of another shape: shown as they are, or not.
    auto other = std::make_shared<BabyData>("Sam", "31/12/2018", "", Gender::Unknown);
    auto second = open(other);
    EXPECT_EQ(second->genderTextField->text(), "Unknown");
    EXPECT_EQ(second->mrnTextField->text(), "");
    EXPECT_EQ(second->dobTextField->text(), "");
}

TEST_F(NewBabyRules, TheSubmitSendsTheDayAsTheServerWritesItWhateverTheDevicesLanguage) {
    DeviceSettingsGuard device("fr_FR", "Europe/Paris");
    auto baby = mia("2018-12-31");
    auto screen = open(baby);
    EXPECT_EQ(screen->dobTextField->text(), "déc., 31 2018");

    // Untouched: the lookup's day goes back unchanged, with the name and the overlay.
    ASSERT_TRUE(host->tapIdentifier("nameTextField"));
    ASSERT_TRUE(host->deleteBackward(5));
    ASSERT_TRUE(host->type("Rose"));
    // A tap beside the fields puts the keyboard away from over Continue.
    ASSERT_TRUE(host->tapIdentifier("babyImageView"));
    ASSERT_TRUE(host->tapText("Continue"));
    ASSERT_EQ(listener->submitted.size(), 1u);
    EXPECT_EQ(listener->submitted[0], baby) << "the very record it was given";
    EXPECT_EQ(baby->fullName(), "Mia Rose");
    EXPECT_EQ(baby->birthday(), "2018-12-31");
    // The member comes back to the form from the next screen.
    navigation->pushViewController(std::make_shared<UIViewController>(), false);
    host->settle();
    navigation->popViewController(false);
    host->settle();

    // A day on the wheel: shown as the lookup's day was, sent as yyyy-MM-dd.
    ASSERT_TRUE(host->tapIdentifier("dobTextField"));
    ASSERT_TRUE(host->turnDatePicker(day("2019-01-02")));
    EXPECT_EQ(screen->dobTextField->text(), "janv., 02 2019");
    ASSERT_TRUE(screen->selectedDate());
    EXPECT_TRUE(Calendar::current().isDate(*screen->selectedDate(), day("2019-01-02")));
    // The gender wheel: "Select" names none; a choice shows but stays out of the record.
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(host->tapIdentifier("genderChevronButton"));
    EXPECT_TRUE(screen->genderTextField->isFirstResponder());
    ASSERT_TRUE(host->turnPicker("Male"));
    EXPECT_EQ(screen->genderTextField->text(), "Male");
    // On its way back to "Select" the wheel rests on "Female", which the field then shows.
    ASSERT_TRUE(host->turnPicker("Select"));
    EXPECT_EQ(screen->genderTextField->text(), "Female");
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(Keyboard::shared().isVisible());
    screen->didTapSubmit();
    EXPECT_EQ(baby->birthday(), "2019-01-02");
    EXPECT_EQ(baby->gender(), Gender::Female);
    EXPECT_EQ(baby->mrn(), "CW200001");
    EXPECT_FALSE(baby->requestImage()) << "no picture shown, none sent";
}

TEST_F(NewBabyRules, AnEmptyDayFillsWithTodayAndTheOverlayGoesWhenTheMemberComesBack) {
    DeviceSettingsGuard device("en_US", "UTC");
    auto baby = mia("");
    auto screen = open(baby);
    screen->delegate.reset();
    EXPECT_EQ(screen->dobTextField->text(), "");
    ASSERT_TRUE(host->tapIdentifier("dobTextField"));
    const Date today;
    DateFormatter shown;
    shown.setDateFormat("MMM, dd yyyy");
    EXPECT_EQ(screen->dobTextField->text(), shown.string(today));
    ASSERT_TRUE(host->tapText("Done"));

    // Without a delegate the submit still writes the record and covers the screen.
    ASSERT_TRUE(host->tapText("Continue"));
    EXPECT_EQ(baby->birthday(), DateFormatter::serverFormatter("yyyy-MM-dd").string(today));
    EXPECT_TRUE(listener->submitted.empty());
    auto covered = [&] {
        for (const auto& v : screen->view()->subviews())
            if (v->className() == "ActivityOverlayView" && !v->isHidden()) return true;
        return false;
    };
    EXPECT_TRUE(covered());
    // Another screen over it, then back: the form is free again.
    navigation->pushViewController(std::make_shared<UIViewController>(), false);
    host->settle();
    navigation->popViewController(false);
    host->settle();
    EXPECT_FALSE(covered());
}

TEST_F(NewBabyRules, TheCameraOpensThePicturesAndTheCroppedBandReplacesThePicture) {
    auto screen = open(mia("2018-12-31"));
    const auto file = environment->directory() / "mia.png";
    ASSERT_TRUE(writeOneColourPicture(file, 0xff88aa44u, 600, 400));

    ASSERT_TRUE(host->tapIdentifier("cameraImageView"));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(host->pickImage(file));
    auto cropper = std::dynamic_pointer_cast<RSKImageCropViewController>(host->topViewController());
    ASSERT_TRUE(cropper);
    EXPECT_EQ(cropper->cropMode(), RSKImageCropMode::custom);
    EXPECT_EQ(cropper->maskRect(), (CGRect{0, 239.75, 375, 187.5}));
    EXPECT_EQ(cropper->movementRect(), cropper->maskRect());
    ASSERT_TRUE(host->tapText("Choose"));
    EXPECT_EQ(host->topViewController(), UIViewControllerPtr(navigation)) << "picker and cropper closed";
    auto picture = screen->babyImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), 2 * picture->pixelHeight());
    EXPECT_TRUE(waitFor([&] { return events().size() >= 2; }));
    EXPECT_EQ(events().back(), (nlohmann::json{"MyBabyScreen", "Tap", {{"babyPicturePicker", "User trying to pick a picture"}}}));

    // Cancelling the picker keeps the picture.
    ASSERT_TRUE(host->tapIdentifier("cameraImageView"));
    ASSERT_TRUE(host->pickAlertAction("Photo Library"));
    ASSERT_TRUE(host->cancelImagePicker());
    EXPECT_EQ(screen->babyImage(), picture);
    EXPECT_EQ(host->topViewController(), UIViewControllerPtr(navigation));
}

} // namespace cw::test
