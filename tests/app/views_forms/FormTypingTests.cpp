#include "tests/app/toolkit_screen/ScreenHost.h"

#include "Views/DateCell.h"
#include "Views/NumberCell.h"
#include "Views/TextCellMembers.h"

#include "foundation/time/DeviceSettingsGuard.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace {

// A form of three rows: a name, a date and an amount.
class Form : public UITableViewDataSource {
public:
    long numberOfRowsInSection(UITableView*, long) override { return 3; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& ip) override {
        static const char* ids[] = {"name", "date", "amount"};
        static const char* titles[] = {"Name", "Birthday", "Amount"};
        auto cell = table->dequeueReusableCell(ids[ip.row], ip);
        cell->textLabel()->setText(titles[ip.row]);
        return cell;
    }
};

struct FormScreen {
    cw::test::ScreenHost screen;
    std::shared_ptr<UITableView> table = std::make_shared<UITableView>(CGRect(0, 64, 375, 603));
    std::shared_ptr<Form> form = std::make_shared<Form>();

    FormScreen() {
        table->registerCellClass<NameCell>("name");
        table->registerCellClass<DateCell>("date");
        table->registerCellClass<NumberCell>("amount");
        table->rowHeight = 54;
        table->setDataSource(form);
        screen.screen()->addSubview(table);
        screen.host().settle();
    }
    template <class Cell> std::shared_ptr<Cell> row(long index) const {
        return std::dynamic_pointer_cast<Cell>(table->cellForRow(IndexPath(index, 0)));
    }
    // A point on the row's title, far from its field.
    void touchRow(long index) {
        const CGRect r = table->rectForRow(IndexPath(index, 0));
        screen.tap(table->convert(CGPoint{20, r.midY()}, screen.window().get()));
    }
    std::string text(long index) const { return row<NumberCell>(index)->nf()->text().value_or("(none)"); }
    void type(const std::string& keys) {
        for (char c : keys)
            screen.host().type(std::string(1, c));
    }
};

} // namespace

TEST(FormTyping, ATouchAnywhereOnARowGivesItsFieldTheKeyboardOrThePicker) {
    FormScreen s;
    s.touchRow(0);
    auto name = s.row<NameCell>(0);
    EXPECT_TRUE(name->textField()->isFirstResponder());
    EXPECT_TRUE(cw::Keyboard::shared().areKeysShown());
    s.screen.host().type("Ada");
    EXPECT_EQ(name->textField()->text(), "Ada");

    s.touchRow(1);
    auto date = s.row<DateCell>(1);
    EXPECT_TRUE(date->textField()->isFirstResponder());
    EXPECT_EQ(cw::Keyboard::shared().inputView(), date->datePicker()) << "the picker in place of the keys";

    s.touchRow(2);
    EXPECT_TRUE(s.row<NumberCell>(2)->nf()->isFirstResponder());
    // The return key closes the keyboard.
    s.screen.host().type("\n");
    EXPECT_FALSE(s.row<NumberCell>(2)->nf()->isFirstResponder());
}

TEST(FormTyping, TheAmountGrowsFromTheRightAndIsExactWhateverItsSize) {
    DeviceSettingsGuard us("en_US", "America/New_York");
    FormScreen s;
    auto cell = s.row<NumberCell>(2);
    const auto& field = cell->nf();
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(field->placeholder(), "0.00");
    EXPECT_EQ(field->keyboardType, UIKeyboardType::numberPad);
    EXPECT_EQ(field->returnKeyType, UIReturnKeyType::done);
    EXPECT_EQ(field->clearButtonMode(), UITextFieldViewMode::whileEditing);
    EXPECT_EQ(field->frame(), CGRect(100, 0, 270, 54));
    s.touchRow(2);

    std::vector<std::string> shown;
    for (char c : std::string("125")) {
        s.type(std::string(1, c));
        shown.push_back(s.text(2));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"0.01", "0.12", "1.25"}));
    s.screen.host().deleteBackward();
    EXPECT_EQ(s.text(2), "0.12");
    s.screen.host().deleteBackward(2);
    EXPECT_EQ(s.text(2), "0.00") << "the text, not the placeholder";
    EXPECT_EQ(cell->amountTypedString(), "");
    s.screen.host().deleteBackward();
    EXPECT_EQ(s.text(2), "0.00");

    shown.clear();
    for (char c : std::string("005")) {
        s.type(std::string(1, c));
        shown.push_back(s.text(2));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"0.00", "0.00", "0.05"}));
    EXPECT_EQ(cell->amountTypedString(), "005");
    s.screen.host().deleteBackward(2);
    EXPECT_EQ(cell->amountTypedString(), "0");

    // The clear button empties the field and the digits; the next digit starts afresh.
    field->clearButtonTapped();
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(cell->amountTypedString(), "");
    s.type("7");
    EXPECT_EQ(s.text(2), "0.07");

    // Thirteen digits: every one of them kept (a 32-bit float would not).
    field->clearButtonTapped();
    s.type("1234567890123");
    EXPECT_EQ(s.text(2), "12,345,678,901.23");
    s.type("4");
    EXPECT_EQ(s.text(2), "123,456,789,012.34");

    // Letters, typed or pasted with digits, are refused; the text stays.
    s.screen.host().type("a");
    s.screen.host().type("12a");
    s.screen.host().type("\u0661"); // an Arabic-Indic one
    EXPECT_EQ(s.text(2), "123,456,789,012.34");
    EXPECT_EQ(cell->amountTypedString(), "12345678901234");
}

TEST(FormTyping, TheAmountUsesTheDevicesNotation) {
    DeviceSettingsGuard de("de_DE", "Europe/Berlin");
    FormScreen s;
    s.touchRow(2);
    std::vector<std::string> shown;
    for (char c : std::string("125000")) {
        s.type(std::string(1, c));
        shown.push_back(s.text(2));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"0,01", "0,12", "1,25", "12,50", "125,00", "1.250,00"}));
}
