#include "foundation/time/DateFormatter.h"
#include "host/HeadlessHost.h"
#include "host/HeadlessScript.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UITextField.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

Date day(const char* ymd) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd").date(ymd);
}

// A form with a relationship field whose keyboard is a wheel of three rows and a birthday field
// whose keyboard is a date picker bounded to March 2019; it records what the wheels report.
class PickerForm : public UIViewController, public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        relationship = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        relationship->setPlaceholder("Relationship");
        wheel = std::make_shared<UIPickerView>();
        relationship->setInputView(wheel);
        view()->addSubview(relationship);

        birthday = std::make_shared<UITextField>(CGRect{20, 160, 335, 40});
        birthday->setPlaceholder("Birthday");
        datePicker = std::make_shared<UIDatePicker>();
        datePicker->datePickerMode = UIDatePickerMode::date;
        datePicker->setMinimumDate(day("2019-03-01"));
        datePicker->setMaximumDate(day("2019-03-31"));
        datePicker->addAction([this](UIControl*) { pickedDates.push_back(datePicker->date()); },
                              UIControlEventValueChanged);
        birthday->setInputView(datePicker);
        view()->addSubview(birthday);
    }
    void connect() {
        auto self = std::static_pointer_cast<PickerForm>(shared_from_this());
        wheel->setDataSource(std::static_pointer_cast<UIPickerViewDataSource>(self));
        wheel->setDelegate(std::static_pointer_cast<UIPickerViewDelegate>(self));
    }

    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return static_cast<long>(titles.size()); }
    std::optional<std::string> titleForRow(UIPickerView*, long row, long) override { return titles[row]; }
    void didSelectRow(UIPickerView*, long row, long component) override { picked.emplace_back(row, component); }

    const std::vector<std::string> titles{"Mother", "Father", "Grand Parent"};
    std::shared_ptr<UITextField> relationship, birthday;
    std::shared_ptr<UIPickerView> wheel;
    std::shared_ptr<UIDatePicker> datePicker;
    std::vector<std::pair<long, long>> picked;
    std::vector<Date> pickedDates;
};

class PickerDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.launch(app));
        form = std::make_shared<PickerForm>();
        form->loadViewIfNeeded();
        form->connect();
        app->root->present(form, false);
        host.settle();
    }

    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::shared_ptr<PickerForm> form;
};

TEST_F(PickerDriver, TurnsTheWheelAboveTheKeyboardToARowByTitleOrNumberAndTellsItsDelegate) {
    // No picker on screen yet: nothing to turn.
    EXPECT_FALSE(host.turnPicker("Father"));
    EXPECT_FALSE(host.turnDatePicker(day("2019-03-10")));

    ASSERT_TRUE(host.tapText("Relationship"));
    ASSERT_TRUE(host.turnPicker("Grand Parent"));
    EXPECT_EQ(form->wheel->selectedRow(0), 2);
    ASSERT_TRUE(host.turnPickerToRow(1));
    EXPECT_EQ(form->wheel->selectedRow(0), 1);
    EXPECT_EQ(form->picked, (std::vector<std::pair<long, long>>{{2, 0}, {1, 0}}));

    // A title no row has, a row the wheel lacks, a wheel it lacks: nothing turns, nobody is told.
    EXPECT_FALSE(host.turnPicker("Friend"));
    EXPECT_FALSE(host.turnPickerToRow(3));
    EXPECT_FALSE(host.turnPicker("Mother", 1));
    EXPECT_EQ(form->picked.size(), 2u);
    // The date picker is not on screen while the wheel is.
    EXPECT_FALSE(host.turnDatePicker(day("2019-03-10")));
}

TEST_F(PickerDriver, TurnsTheDatePickerWithinItsBoundsReportingEachTurn) {
    ASSERT_TRUE(host.tapText("Birthday"));
    EXPECT_FALSE(host.turnPicker("Mother"));
    ASSERT_TRUE(host.turnDatePicker(day("2019-03-10")));
    EXPECT_EQ(form->datePicker->date(), day("2019-03-10"));
    // Past a bound the wheels stop at it and still report.
    ASSERT_TRUE(host.turnDatePicker(day("2019-05-01")));
    ASSERT_TRUE(host.turnDatePicker(day("2018-12-25")));
    EXPECT_EQ(form->pickedDates,
              (std::vector<Date>{day("2019-03-10"), day("2019-03-31"), day("2019-03-01")}));

    form->datePicker->setEnabled(false);
    EXPECT_FALSE(host.turnDatePicker(day("2019-03-12")));
    EXPECT_EQ(form->pickedDates.size(), 3u);
}

TEST_F(PickerDriver, ScriptsTurnWheelsAndDatePickers) {
    std::istringstream script(R"(tap "Relationship"
turn "Father"
tap "Birthday"
turn-date 2019-03-17
)");
    std::ostringstream errors;
    ASSERT_EQ(cw::runHeadlessScript(host, script, {}, errors), cw::kScriptSucceeded) << errors.str();
    EXPECT_EQ(form->wheel->selectedRow(0), 1);
    EXPECT_EQ(form->datePicker->date(), day("2019-03-17"));

    std::istringstream wrongRow("tap \"Relationship\"\nturn \"Aunt\"\n");
    EXPECT_EQ(cw::runHeadlessScript(host, wrongRow, {}, errors), cw::kScriptStepFailed);
    std::istringstream notADate("turn-date 17/03/2019\n");
    EXPECT_EQ(cw::runHeadlessScript(host, notADate, {}, errors), cw::kScriptInvalid);
}

} // namespace

namespace {

// A plain field that counts its editing changes, as a code field that reacts to each one does.
class PasteForm : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        field = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        field->setAccessibilityIdentifier("field");
        field->addAction([this](UIControl*) { changes.push_back(field->text().value_or("")); },
                         UIControlEventEditingChanged);
        view()->addSubview(field);
    }
    std::shared_ptr<UITextField> field;
    std::vector<std::string> changes;
};

} // namespace

TEST(PasteDriver, APasteIsOneEditOfAllItsCharactersAndNeedsSomethingThatTakesText) {
    cw::HeadlessHost host;
    auto app = std::make_shared<cw::WhiteScreenApplication>();
    ASSERT_TRUE(host.launch(app));
    auto form = std::make_shared<PasteForm>();
    app->root->present(form, false);
    host.settle();
    EXPECT_FALSE(host.paste("123456")) << "no first responder";

    ASSERT_TRUE(host.tapIdentifier("field"));
    ASSERT_TRUE(host.type("1"));
    EXPECT_FALSE(host.paste("")) << "nothing to paste";
    ASSERT_TRUE(host.paste("23456\n7"));
    EXPECT_EQ(form->field->text(), "123456\n7") << "a line end pasted is text";
    EXPECT_EQ(form->changes, (std::vector<std::string>{"1", "123456\n7"}));
    EXPECT_TRUE(form->field->isFirstResponder()) << "no return key was pressed";
}
