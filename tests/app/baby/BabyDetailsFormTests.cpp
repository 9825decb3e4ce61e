// The baby details form on its own, in a window of the headless host: the field chain, the pickers,
// enabling, marking, filling from a baby and what the form hands over to be sent.

#include "Controllers/Baby/BabyDetailsFormView.h"
#include "Extensions/UIColor+Palette.h"
#include "foundation/time/Calendar.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "uikit/controls/UIKeyboard.h"

#include <gtest/gtest.h>

namespace {

struct Watcher : BabyDetailsFormViewDelegate {
    int cameraTaps = 0;
    std::vector<UITextField*> editing;
    void cameraButtonTapped() override { ++cameraTaps; }
    void isEditingWithTextField(UITextField& field) override { editing.push_back(&field); }
};

class BabyForm : public ::testing::Test {
protected:
    void SetUp() override {
        UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
        host->launch(app);
        form = std::make_shared<BabyDetailsFormView>(7);
        form->delegate = watcher;
        form->setTranslatesAutoresizingMaskIntoConstraints(false);
        app->root->view()->addSubview(form);
        lyt_attachToSuperviewTopAndSides();
        host->settle();
    }
    void TearDown() override {
        app->root->view()->endEditing(true);
        cw::Keyboard::shared().reset();
    }
    void lyt_attachToSuperviewTopAndSides() {
        auto root = app->root->view();
        NSLayoutConstraint::activate({form->topAnchor().constraintEqualTo(root->topAnchor(), 20),
                                      form->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20)});
    }
    void expectPlaceholderPicture() const {
        auto shown = form->babyImageView()->image();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->pngData(), UIImage::named("scaled-down-baby-card")->pngData());
    }
    std::string today() const {
        DateFormatter f;
        f.setDateFormat("MMM, dd yyyy");
        return f.string(Date::now());
    }

    cw::HeadlessHost host_{};
    cw::HeadlessHost* host = &host_;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::shared_ptr<Watcher> watcher = std::make_shared<Watcher>();
    std::shared_ptr<BabyDetailsFormView> form;
};

TEST_F(BabyForm, TheNextChainSkipsTheHiddenExpectedDateAndFillsEmptyDatesWithToday) {
    // A fresh form: the placeholder picture, empty fields, and the expected date nowhere on screen.
    expectPlaceholderPicture();
    EXPECT_EQ(form->babyFullName(), "");
    EXPECT_EQ(form->birthdayExpectedField()->superview(), nullptr);
    EXPECT_EQ(form->babyImageView()->frame().size.width, 375 - 40);
    EXPECT_EQ(form->babyImageView()->frame().size.height, (375 - 40) / 2.0);

    ASSERT_TRUE(host->tap(form->babyfullNameTextField()));
    ASSERT_EQ(watcher->editing.size(), 1u);
    EXPECT_EQ(watcher->editing[0], form->babyfullNameTextField().get());
    host->type("Mia\n");
    // Return moves on to the date of birth, which gets today's date before its picker shows.
    EXPECT_TRUE(form->birthdayField()->isFirstResponder());
    EXPECT_EQ(form->babyBirthday(), today());
    EXPECT_EQ(watcher->editing.size(), 2u);

    // "Next" of the date toolbar asks the expected date's field, which is in no window: it refuses,
    // its delegate is not asked, and the date of birth keeps the keyboard.
    form->onDatePickerDone();
    EXPECT_FALSE(form->birthdayExpectedField()->isFirstResponder());
    EXPECT_TRUE(form->birthdayField()->isFirstResponder());
    EXPECT_EQ(form->babyExpectedBirthday(), "");
    EXPECT_EQ(watcher->editing.size(), 2u);

    // A date field that has text keeps it when editing begins again.
    form->updateBirthdayField("Mar, 03 2019");
    form->birthdayField()->resignFirstResponder();
    ASSERT_TRUE(host->tap(form->birthdayField()));
    EXPECT_EQ(form->babyBirthday(), "Mar, 03 2019");

    // The gender field resigns from the chain.
    ASSERT_TRUE(form->genderField()->becomeFirstResponder());
    form->moveResponderFrom(form->genderField().get());
    EXPECT_FALSE(form->genderField()->isFirstResponder());
}

TEST_F(BabyForm, TheBirthDatePickerSetsTheExpectedPickerAndSelectKeepsTheGender) {
    // The expected date's field stands in no window, so no finger turns its wheels: they show
    // today until the date of birth moves them.
    ASSERT_FALSE(form->birthdayExpectedField()->window());
    const Date shownFirst = form->expectedBirthdayDatePicker()->date();
    ASSERT_TRUE(host->tap(form->birthdayField()));
    const Date firstOfJanuary = Date::since1970(1546300800); // 1 January 2019, 00:00 UTC
    // The wheels keep the time of day they started with.
    ASSERT_TRUE(host->turnDatePicker(firstOfJanuary));
    const Date picked = form->birthdayDatePicker()->date();
    EXPECT_TRUE(Calendar::current().isDate(picked, firstOfJanuary));
    DateFormatter f;
    f.setDateFormat("MMM, dd yyyy");
    EXPECT_EQ(form->babyBirthday(), f.string(picked));
    EXPECT_EQ(form->expectedBirthdayDatePicker()->date().timeIntervalSince1970(), picked.timeIntervalSince1970());
    ASSERT_TRUE(form->expectedBirthdayDatePicker()->minimumDate());
    EXPECT_EQ(form->expectedBirthdayDatePicker()->minimumDate()->timeIntervalSince1970(),
              picked.timeIntervalSince1970());
    EXPECT_NE(shownFirst.timeIntervalSince1970(), picked.timeIntervalSince1970());
    EXPECT_EQ(form->babyExpectedBirthday(), "") << "the expected date's text is not written by this";

    ASSERT_TRUE(host->tap(form->genderField()));
    ASSERT_TRUE(host->turnPickerToRow(2));
    EXPECT_EQ(form->genderField()->text(), "Male");
    ASSERT_TRUE(host->turnPickerToRow(0));
    EXPECT_EQ(form->genderField()->text(), "Female") << "\"Select\" keeps the gender the wheel last rested on";
    EXPECT_EQ(form->genderPickerView()->dataSource()->numberOfRowsInComponent(nullptr, 0), 3);
}

TEST_F(BabyForm, EnablingFollowsTheEditableSectionsAndDisablingTurnsPhotoTapsOffForGood) {
    form->setEditableSections({BabyDetailsFormView::Section::fullName});
    EXPECT_TRUE(form->babyfullNameTextField()->isEnabled());
    EXPECT_EQ(form->babyfullNameTextField()->textColor(), UIColor::blackColor());
    for (const auto& field : {form->birthdayField(), form->birthdayExpectedField(), form->genderField(), form->mrnField()}) {
        EXPECT_FALSE(field->isEnabled());
        EXPECT_EQ(field->textColor(), UIColor::lightGrayColor());
    }

    ASSERT_TRUE(host->tap(form->babyImageView()));
    EXPECT_EQ(watcher->cameraTaps, 1);
    form->disableForm();
    EXPECT_FALSE(form->isFormEnabled);
    EXPECT_FALSE(form->babyfullNameTextField()->isEnabled());
    form->enableForm();
    EXPECT_TRUE(form->babyfullNameTextField()->isEnabled());
    host->tap(form->babyImageView());
    EXPECT_EQ(watcher->cameraTaps, 1) << "photo taps stay off after enableForm";
    EXPECT_FALSE(form->cameraButton()->isHidden());
    form->setCameraButtonEnabled(false);
    EXPECT_TRUE(form->cameraButton()->isHidden());
}

TEST_F(BabyForm, FillingShowsTheBabyAndValidationMarksOnlyEmptyFields) {
    BabyData baby("Mia Lopez", "2018-12-31", "2019-03-01", Gender::Unknown);
    form->updateBabyWith(baby);
    EXPECT_EQ(form->babyFullName(), "Mia Lopez");
    EXPECT_EQ(form->babyBirthday(), "Dec, 31 2018") << "the year of the day, not of its week";
    EXPECT_EQ(form->babyExpectedBirthday(), "Mar, 01 2019");
    EXPECT_EQ(form->genderField()->text(), "Unknown");
    EXPECT_EQ(form->mrnField()->text().value_or(""), "");
    expectPlaceholderPicture();
    // Sent: the server's form of the dates, no picture.
    EXPECT_EQ(form->birthdayText(), "2018-12-31");
    EXPECT_EQ(form->babyImage(), nullptr);
    const auto constraints = form->constraints().size();
    form->updateBabyWith(baby);
    form->updateConstraints();
    EXPECT_EQ(form->constraints().size(), constraints);

    form->babyfullNameTextField()->setText(std::string());
    form->updateExpectedBirthdayField("");
    BabyFormValidationError error{5};
    EXPECT_TRUE(form->validateAndReturnError(&error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(form->babyfullNameTextField()->placeholderColor, UIColorPalette::errorColor());
    EXPECT_EQ(form->birthdayExpectedField()->placeholderColor, UIColorPalette::errorColor());
    EXPECT_EQ(form->birthdayField()->placeholderColor, UIColorPalette::textPlaceholderColor());
    form->clearInvalidFields();
    EXPECT_EQ(form->babyfullNameTextField()->placeholderColor, UIColorPalette::textPlaceholderColor());
}

TEST_F(BabyForm, DatesGoToTheServerInItsOwnFormWhateverTheDevicesLanguage) {
    DeviceSettingsGuard french("fr_FR", "Europe/Paris");
    BabyData baby("Léa", "2019-02-14", "2019-04-20", Gender::Female);
    form->updateBabyWith(baby);
    EXPECT_NE(form->babyBirthday(), "Feb, 14 2019") << "shown in the device's language";
    EXPECT_EQ(form->birthdayText(), "2019-02-14");
    EXPECT_EQ(form->birthdayExpectedText(), "2019-04-20");
    // A text that does not read goes as it stands.
    form->updateBirthdayField("14/02/2019");
    EXPECT_EQ(form->birthdayText(), "14/02/2019");

    auto picture = UIImage::named("card_menu");
    form->updateBabyImage(picture);
    EXPECT_EQ(form->babyImage(), nullptr) << "a picture shown is not one to send";
    form->updateCroppedBabyImage(picture);
    EXPECT_EQ(form->babyImage(), picture);
    auto record = BabyData::fromFormView(*form);
    EXPECT_EQ(record->babyId(), 7);
    EXPECT_EQ(record->gender(), Gender::Female);
    EXPECT_EQ(record->requestImage(), picture);
}

} // namespace
