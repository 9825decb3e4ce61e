// Controllers and views that make themselves delegates, data sources and targets while they are
// being made, then go away while what they made lives on.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableView.h"
#include "uikit/controls/UITextField.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Counts every call the list controller gets, so that calls after it has gone are seen.
struct Calls {
    int rows = 0;
    int cells = 0;
    int taps = 0;
};

class SelfHoldingList : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    explicit SelfHoldingList(Calls& calls) : calls(calls) {
        table = std::make_shared<UITableView>(CGRect(0, 0, 320, 200));
        table->registerCellClass<UITableViewCell>("cell");
        table->setDataSource(this);
        table->setDelegate(this);
        button = std::make_shared<UIButton>(CGRect(0, 0, 80, 40));
        button->addTarget(this, &SelfHoldingList::tapped, UIControlEventTouchUpInside);
    }
    long numberOfRowsInSection(UITableView*, long) override {
        ++calls.rows;
        return 3;
    }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        ++calls.cells;
        return t->dequeueReusableCell("cell", ip);
    }
    void willDisplayCell(UITableView*, UITableViewCell*, const IndexPath&) override { ++calls.cells; }
    void tapped() { ++calls.taps; }

    Calls& calls;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<UIButton> button;
};

void exercise(UITableView& table, UIButton& button) {
    table.reloadData();
    table.layoutIfNeeded();
    button.sendActions(UIControlEventTouchUpInside);
}

TEST(SelfReferences, ATableWhoseControllerHasGoneCallsNothing) {
    Calls calls;
    auto controller = std::make_shared<SelfHoldingList>(calls);
    auto table = controller->table;
    auto button = controller->button;

    exercise(*table, *button);
    EXPECT_GT(calls.rows, 0);
    EXPECT_EQ(calls.cells, 6);
    EXPECT_EQ(calls.taps, 1);
    // Once the controller is shared, the table's references are that shared object's, and weak.
    EXPECT_EQ(table->dataSource().get().get(), static_cast<UITableViewDataSource*>(controller.get()));
    const long owners = controller.use_count();
    {
        auto held = table->tableDelegate().get();
        EXPECT_EQ(controller.use_count(), owners + 1);
    }

    controller.reset();
    const Calls before = calls;
    exercise(*table, *button);
    EXPECT_EQ(calls.rows, before.rows);
    EXPECT_EQ(calls.cells, before.cells);
    EXPECT_EQ(calls.taps, before.taps);
    EXPECT_FALSE(table->dataSource());
    EXPECT_TRUE(button->allTargets().empty());
}

TEST(SelfReferences, AControllerNeverSharedIsCalledWhileItLivesAndNotAfter) {
    Calls calls;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<UIButton> button;
    {
        auto controller = std::make_unique<SelfHoldingList>(calls);
        table = controller->table;
        button = controller->button;
        exercise(*table, *button);
        EXPECT_EQ(calls.taps, 1);
        EXPECT_EQ(calls.cells, 6);
    }
    const Calls before = calls;
    exercise(*table, *button);
    EXPECT_EQ(calls.cells, before.cells);
    EXPECT_EQ(calls.taps, before.taps);
}

// A form row that is its own field's delegate and its button's target, from its constructor on.
class FormRow : public UIView, public UITextFieldDelegate {
public:
    explicit FormRow(int& returns) : returns(returns) {
        field = std::make_shared<UITextField>(CGRect(0, 0, 100, 30));
        field->setDelegate(this);
        addSubview(field);
        clear = std::make_shared<UIButton>(CGRect(0, 0, 30, 30));
        clear->addTarget(this, &FormRow::clearTapped, UIControlEventTouchUpInside);
    }
    bool textFieldShouldReturn(UITextField*) override {
        ++returns;
        return true;
    }
    void clearTapped(UIButton*) { ++returns; }
    int& returns;
    std::shared_ptr<UITextField> field;
    std::shared_ptr<UIButton> clear;
};

TEST(SelfReferences, AViewThatIsItsOwnFieldsDelegateIsNotCalledOnceGone) {
    int calls = 0;
    auto row = std::make_shared<FormRow>(calls);
    auto field = row->field;
    auto clear = row->clear;
    ASSERT_TRUE(field->delegate());
    field->delegate()->textFieldShouldReturn(field.get());
    clear->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(calls, 2);

    row.reset();
    EXPECT_FALSE(field->delegate());
    clear->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(calls, 2);
    // A new target at any address starts afresh rather than inheriting the dead entry.
    auto other = std::make_shared<FormRow>(calls);
    clear->addTarget(other.get(), &FormRow::clearTapped, UIControlEventTouchUpInside);
    clear->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(calls, 3);
}

} // namespace
