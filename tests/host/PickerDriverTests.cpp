#include "foundation/time/Calendar.h"
#include "foundation/time/DateFormatter.h"
#include "host/HeadlessHost.h"
#include "host/HeadlessScript.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UISwitch.h"
#include "uikit/controls/UITextField.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

namespace {

Date day(const char* ymd) {
    return *DateFormatter::serverFormatter("yyyy-MM-dd").date(ymd);
}

// A form as a family meets it: a list (taller than the screen) holding a relationship field whose
// keyboard is a wheel of eight rows, a birthday field whose keyboard is a date picker bounded to
// March 2019, and a quiet-hours time picker standing in the list itself. It records what the
// wheels report.
class PickerForm : public UIViewController, public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        list = std::make_shared<UIScrollView>(view()->bounds());
        list->setContentSize({375, 1600});
        view()->addSubview(list);
        relationship = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
        relationship->setPlaceholder("Relationship");
        wheel = std::make_shared<UIPickerView>();
        relationship->setInputView(wheel);
        list->addSubview(relationship);

        birthday = std::make_shared<UITextField>(CGRect{20, 160, 335, 40});
        birthday->setPlaceholder("Birthday");
        datePicker = std::make_shared<UIDatePicker>();
        datePicker->datePickerMode = UIDatePickerMode::date;
        datePicker->setMinimumDate(day("2019-03-01"));
        datePicker->setMaximumDate(day("2019-03-31"));
        datePicker->addAction([this](UIControl*) { pickedDates.push_back(datePicker->date()); },
                              UIControlEventValueChanged);
        birthday->setInputView(datePicker);
        list->addSubview(birthday);

        quietHours = std::make_shared<UIDatePicker>(CGRect{0, 240, 375, 216});
        quietHours->datePickerMode = UIDatePickerMode::time;
        quietHours->addAction([this](UIControl*) { quietTimes.push_back(quietHours->date()); },
                              UIControlEventValueChanged);
        list->addSubview(quietHours);
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

    const std::vector<std::string> titles{"Select One", "Mother", "Father", "Grand Parent",
                                          "Aunt",       "Uncle",  "Friend", "Relative"};
    std::shared_ptr<UIScrollView> list;
    std::shared_ptr<UITextField> relationship, birthday;
    std::shared_ptr<UIPickerView> wheel;
    std::shared_ptr<UIDatePicker> datePicker, quietHours;
    std::vector<std::pair<long, long>> picked;
    std::vector<Date> pickedDates, quietTimes;
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
    CGPoint middleOf(const std::shared_ptr<UIView>& view) const { return host.tapPointOf(*view); }
    std::vector<long> rowsPicked() const {
        std::vector<long> rows;
        for (const auto& [row, component] : form->picked)
            rows.push_back(row);
        return rows;
    }

    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::shared_ptr<PickerForm> form;
};

TEST_F(PickerDriver, AWheelFollowsAFingerCoastsAfterAFlickAndTellsItsDelegateOfEachRowItRestsOn) {
    const CGFloat listTop = form->list->contentOffset().y;
    ASSERT_TRUE(host.tapText("Relationship"));
    auto wheel = form->wheel->wheel(0);
    ASSERT_TRUE(wheel);
    const CGFloat row = wheel->rowHeight();
    const CGPoint middle = middleOf(wheel);

    // A slow drag of two rows' height, the finger resting before it lifts: two rows on.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y - 2 * row}, 60));
    EXPECT_EQ(form->wheel->selectedRow(0), 2);
    EXPECT_EQ(rowsPicked(), (std::vector<long>{2}));
    // Let go halfway between two rows, it clicks onto the nearer.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y - 0.7 * row}, 60));
    EXPECT_EQ(form->wheel->selectedRow(0), 3);
    // A flick carries it further than the finger went, and it still stops on a row.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y - row}, 3));
    EXPECT_GT(form->wheel->selectedRow(0), 4);
    EXPECT_EQ(std::fmod(wheel->contentOffset().y + wheel->contentInset().top, row), 0);
    EXPECT_EQ(form->picked.size(), 3u) << "one report for each rest";
    // A tap on the row below the middle turns the wheel to it; one on the middle row does nothing.
    const long before = form->wheel->selectedRow(0);
    ASSERT_TRUE(host.tapPoint({middle.x, middle.y - row}));
    EXPECT_EQ(form->wheel->selectedRow(0), before - 1);
    ASSERT_TRUE(host.tapPoint(middle));
    EXPECT_EQ(form->picked.size(), 4u);
    // The mouse wheel over it turns it a row a notch; the list behind stays where it was.
    ASSERT_TRUE(host.scrollWheel(middle, 2));
    EXPECT_EQ(form->wheel->selectedRow(0), before - 3);
    EXPECT_EQ(form->list->contentOffset().y, listTop);
    // Pulled past its first row it springs back to it.
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y + 12 * row}, 60));
    EXPECT_EQ(form->wheel->selectedRow(0), 0);
    EXPECT_EQ(wheel->contentOffset().y, -wheel->contentInset().top);
}

TEST_F(PickerDriver, TurnsTheWheelAboveTheKeyboardRowByRowWithAFingerToATitleOrNumber) {
    // No picker on screen yet: nothing to turn.
    EXPECT_FALSE(host.turnPicker("Father"));

    ASSERT_TRUE(host.tapText("Relationship"));
    ASSERT_TRUE(host.turnPicker("Grand Parent"));
    EXPECT_EQ(form->wheel->selectedRow(0), 3);
    ASSERT_TRUE(host.turnPickerToRow(1));
    EXPECT_EQ(form->wheel->selectedRow(0), 1);
    EXPECT_EQ(rowsPicked(), (std::vector<long>{1, 2, 3, 2, 1})) << "the wheel rests on each row on its way";

    // A title no row has, a row the wheel lacks, a wheel it lacks: nothing turns, nobody is told.
    EXPECT_FALSE(host.turnPicker("Cousin"));
    EXPECT_FALSE(host.turnPickerToRow(8));
    EXPECT_FALSE(host.turnPicker("Mother", 1));
    EXPECT_EQ(form->picked.size(), 5u);
}

TEST_F(PickerDriver, AFieldWhoseInputIsAWheelTakesNoTypedOrPastedText) {
    ASSERT_TRUE(host.tapText("Relationship"));
    EXPECT_FALSE(host.type("Uncle"));
    EXPECT_FALSE(host.paste("Uncle"));
    EXPECT_FALSE(host.deleteBackward());
    EXPECT_EQ(form->relationship->text().value_or(""), "");
    EXPECT_TRUE(form->relationship->isFirstResponder());
    EXPECT_TRUE(form->picked.empty());
}

TEST_F(PickerDriver, TurnsTheDateWheelsToADayWithinTheBoundsAndCannotGetPastThem) {
    ASSERT_TRUE(host.tapText("Birthday"));
    EXPECT_FALSE(host.turnPicker("Mother"));
    ASSERT_TRUE(host.turnDatePicker(day("2019-03-10")));
    const Calendar calendar = Calendar::current();
    EXPECT_TRUE(calendar.isDate(form->datePicker->date(), day("2019-03-10")));
    EXPECT_EQ(form->pickedDates.size(), 21u) << "from the 31st, a rest on each day on the way";

    // A day past a bound springs back to the bound, reporting it: the turn cannot get there.
    form->pickedDates.clear();
    EXPECT_FALSE(host.turnDatePicker(day("2019-05-01")));
    ASSERT_FALSE(form->pickedDates.empty());
    EXPECT_EQ(form->pickedDates.front(), day("2019-03-31")) << "April is past the last day: back to it";
    EXPECT_EQ(form->datePicker->date(), form->pickedDates.back());
    EXPECT_FALSE(host.turnDatePicker(day("2018-12-25")));
    EXPECT_GE(form->datePicker->date(), day("2019-03-01"));

    // The wheels put the month before the day: February has no 31st, the day rolls back.
    form->datePicker->setMinimumDate(std::nullopt);
    ASSERT_TRUE(host.turnDatePicker(day("2019-03-31")));
    ASSERT_TRUE(host.turnDatePicker(day("2019-02-28")));
    EXPECT_TRUE(calendar.isDate(form->datePicker->date(), day("2019-02-28")));

    form->datePicker->setEnabled(false);
    form->pickedDates.clear();
    EXPECT_FALSE(host.turnDatePicker(day("2019-02-12")));
    EXPECT_TRUE(form->pickedDates.empty());
}

TEST_F(PickerDriver, ATimePickerInAListTurnsUnderAFingerAndTheMouseWheelWhileTheListStaysPut) {
    auto hours = form->quietHours->wheel(0);
    ASSERT_TRUE(hours);
    const CGPoint middle = middleOf(hours);
    const CGFloat listTop = form->list->contentOffset().y;
    // 12:26 PM: the finger pulls the hours down to ten, still after noon (the half of the day has
    // a wheel of its own).
    const Date noon = form->quietHours->date();
    ASSERT_EQ(hours->middleRow(), 11);
    ASSERT_TRUE(host.drag(middle, {middle.x, middle.y + 2 * hours->rowHeight()}, 60));
    EXPECT_EQ(hours->middleRow(), 9);
    EXPECT_EQ(form->list->contentOffset().y, listTop) << "the list behind the wheel did not scroll";
    ASSERT_EQ(form->quietTimes.size(), 1u);
    EXPECT_EQ(form->quietTimes.back(), noon + 10 * 3600);
    ASSERT_TRUE(host.scrollWheel(middle, -1));
    EXPECT_EQ(hours->middleRow(), 10);
    EXPECT_EQ(form->quietHours->date(), noon + 11 * 3600);
    EXPECT_EQ(form->quietTimes.size(), 2u);
    // Beside the wheel the mouse wheel scrolls the list.
    ASSERT_TRUE(host.scrollWheel({187, 40}, -1));
    EXPECT_GT(form->list->contentOffset().y, listTop);
}

TEST_F(PickerDriver, ScriptsTurnWheelsAndDatePickersWithAFingerAndFailWhereTheyCannotGetThere) {
    std::istringstream script(R"(tap "Relationship"
turn "Father"
tap "Birthday"
turn-date 2019-03-17
)");
    std::ostringstream errors;
    ASSERT_EQ(cw::runHeadlessScript(host, script, {}, errors), cw::kScriptSucceeded) << errors.str();
    EXPECT_EQ(form->wheel->selectedRow(0), 2);
    EXPECT_TRUE(Calendar::current().isDate(form->datePicker->date(), day("2019-03-17")));

    std::istringstream wrongRow("tap \"Relationship\"\nturn \"Cousin\"\n");
    EXPECT_EQ(cw::runHeadlessScript(host, wrongRow, {}, errors), cw::kScriptStepFailed);
    std::istringstream pastTheBound("tap \"Birthday\"\nturn-date 2019-04-02\n");
    errors.str("");
    EXPECT_EQ(cw::runHeadlessScript(host, pastTheBound, {}, errors), cw::kScriptStepFailed);
    EXPECT_NE(errors.str().find("cannot"), std::string::npos) << errors.str();
    std::istringstream typed("tap \"Relationship\"\ntype \"Uncle\"\n");
    EXPECT_EQ(cw::runHeadlessScript(host, typed, {}, errors), cw::kScriptStepFailed);
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

namespace {

// A list long enough for several screens, with a switch in its first row: what a finger meets when
// the driver scrolls it.
class LongList : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        list = std::make_shared<UIScrollView>(view()->bounds());
        list->setContentSize({375, 4000});
        view()->addSubview(list);
        toggle = std::make_shared<UISwitch>(CGRect{300, 20, 51, 31});
        list->addSubview(toggle);
    }
    std::shared_ptr<UIScrollView> list;
    std::shared_ptr<UISwitch> toggle;
};

} // namespace

TEST(HeadlessScroll, AFingerScrollsAListWhereItShowsInStrokesAndReachesNothingCoveredOrOutOfTheWindow) {
    cw::HeadlessHost host;
    auto app = std::make_shared<cw::WhiteScreenApplication>();
    ASSERT_TRUE(host.launch(app));
    auto screen = std::make_shared<LongList>();
    app->root->present(screen, false);
    host.settle();

    // Longer than the screen: several strokes, each resting before it lifts, so it ends exactly.
    const CGFloat top = screen->list->contentOffset().y;
    ASSERT_TRUE(host.scroll(screen->list, {0, -1500}));
    EXPECT_EQ(screen->list->contentOffset().y, top + 1500);
    // Shorter than a drag: past it and back.
    ASSERT_TRUE(host.scroll(screen->list, {0, 5}));
    EXPECT_EQ(screen->list->contentOffset().y, top + 1495);
    ASSERT_TRUE(host.scroll(screen->list, {0, 1495}));
    EXPECT_EQ(screen->list->contentOffset().y, top);
    EXPECT_FALSE(screen->toggle->isOn()) << "the finger landed on the switch";

    // A finger that holds the list pulled past its top keeps it there until it lifts.
    ASSERT_TRUE(host.dragAndHold({150, 300}, {150, 340}));
    host.advance(1);
    EXPECT_EQ(screen->list->contentOffset().y, top - 40);
    EXPECT_FALSE(host.dragAndHold({150, 300}, {150, 340})) << "one finger at a time";
    ASSERT_TRUE(host.liftFinger());
    EXPECT_EQ(screen->list->contentOffset().y, top) << "let go, it springs back";
    EXPECT_FALSE(host.liftFinger());

    // Under a view that covers it whole, no finger reaches the list: nothing moves.
    auto cover = std::make_shared<UIView>(screen->view()->bounds());
    cover->setBackgroundColor(UIColor::whiteColor());
    screen->view()->addSubview(cover);
    host.settle();
    EXPECT_FALSE(host.scroll(screen->list, {0, -300}));
    EXPECT_EQ(screen->list->contentOffset().y, top);
    // Nor does it reach a field that stands in no window at all.
    auto nowhere = std::make_shared<UITextField>(CGRect{20, 100, 300, 40});
    EXPECT_FALSE(cw::isVisibleOnScreen(*nowhere));
    EXPECT_FALSE(host.tap(nowhere));
    EXPECT_FALSE(nowhere->isFirstResponder());
}
