#include "uikit/controllers/UIWindow.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIKitControls.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<UIView> box(CGFloat w, CGFloat h) {
    return std::make_shared<UIView>(CGRect(0, 0, w, h));
}

TEST(StackView, HiddenArrangedViewCollapsesWithItsSpacing) {
    auto a = box(100, 40), b = box(100, 60), c = box(100, 20);
    auto stack = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{a, b, c});
    stack->setAxis(UILayoutConstraintAxis::vertical);
    stack->setSpacing(10);
    stack->setAlignment(UIStackViewAlignment::leading);
    EXPECT_EQ(stack->intrinsicContentSize(), (CGSize{100, 140}));
    stack->setFrame(CGRect(0, 0, 200, 140));
    stack->layoutIfNeeded();
    EXPECT_EQ(c->frame(), CGRect(0, 120, 100, 20));
    b->setHidden(true);
    EXPECT_TRUE(stack->needsLayout());
    EXPECT_EQ(stack->intrinsicContentSize(), (CGSize{100, 70}));
    stack->setFrame(CGRect(0, 0, 200, 70));
    stack->layoutIfNeeded();
    EXPECT_EQ(c->frame(), CGRect(0, 50, 100, 20));
    // Removing a view from the stack takes it out of the arrangement.
    a->removeFromSuperview();
    EXPECT_EQ(stack->arrangedSubviews().size(), 2u);
}

TEST(StackView, DistributionsAndAlignments) {
    auto label = std::make_shared<UILabel>();
    label->setText("Title");
    label->setContentHuggingPriority(251, UILayoutConstraintAxis::horizontal);
    auto other = box(50, 30);
    UIStackView stack({label, other});
    stack.setFrame(CGRect(0, 0, 300, 44));
    stack.setSpacing(8);
    stack.setAlignment(UIStackViewAlignment::center);
    stack.layoutIfNeeded();
    // Fill: the view that hugs least (the plain view) takes the room left.
    EXPECT_NEAR(label->frame().size.width, label->intrinsicContentSize().width, 0.01);
    EXPECT_EQ(other->frame().maxX(), 300);
    EXPECT_EQ(other->frame().origin.y, 7);
    stack.setDistribution(UIStackViewDistribution::fillEqually);
    stack.layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, 146);
    EXPECT_EQ(other->frame().origin.x, 154);
}

TEST(StackView, AnArrangedViewsRequiredSizeWinsOverItsContentsSize) {
    // A picture fixed at 220 high keeps that height before and after its image (240 high) comes.
    auto picture = std::make_shared<UIImageView>();
    picture->setTranslatesAutoresizingMaskIntoConstraints(false);
    picture->heightAnchor().constraintEqualToConstant(220)->setActive(true);
    auto narrow = box(100, 30);
    narrow->setTranslatesAutoresizingMaskIntoConstraints(false);
    narrow->widthAnchor().constraintLessThanOrEqualToConstant(60)->setActive(true);
    narrow->heightAnchor().constraintGreaterThanOrEqualToConstant(40)->setActive(true);
    // A wish below required gives way to the contents.
    auto loose = std::make_shared<UIImageView>();
    auto wish = loose->heightAnchor().constraintEqualToConstant(10);
    wish->setPriority(UILayoutPriorityDefaultHigh);
    wish->setActive(true);
    auto stack = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{picture, narrow, loose});
    stack->setAxis(UILayoutConstraintAxis::vertical);
    stack->setDistribution(UIStackViewDistribution::equalSpacing);
    stack->setAlignment(UIStackViewAlignment::leading);
    std::vector<std::uint32_t> pixels(320 * 240, 0xff336699u);
    loose->setImage(UIImage::fromPixels(320, 240, 1, pixels.data()));
    EXPECT_EQ(stack->intrinsicContentSize(), (CGSize{320, 220 + 40 + 240}));
    stack->setFrame(CGRect(0, 0, 320, 520));
    stack->layoutIfNeeded();
    EXPECT_EQ(picture->frame().size.height, 220);
    EXPECT_EQ(narrow->frame(), CGRect(0, 230, 60, 40));
    EXPECT_EQ(loose->frame().size.height, 240);
    picture->setImage(UIImage::fromPixels(320, 240, 1, pixels.data()));
    EXPECT_TRUE(stack->needsLayout());
    stack->layoutIfNeeded();
    EXPECT_EQ(picture->frame(), CGRect(0, 0, 320, 220));
    EXPECT_EQ(loose->frame().origin.y, 280);

    // Fill: the room left, and the room missing, go to a view free to change, never to the fixed
    // picture, even though it hugs its content least.
    auto label = std::make_shared<UILabel>();
    label->setText("Caption");
    auto fill = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{picture, label});
    fill->setAxis(UILayoutConstraintAxis::vertical);
    picture->setContentHuggingPriority(1, UILayoutConstraintAxis::vertical);
    picture->setContentCompressionResistancePriority(1, UILayoutConstraintAxis::vertical);
    for (const CGFloat height : {400.0, 230.0}) {
        fill->setFrame(CGRect(0, 0, 320, height));
        fill->layoutIfNeeded();
        EXPECT_EQ(picture->frame().size.height, 220) << height;
        EXPECT_EQ(label->frame(), CGRect(0, 220, 320, height - 220)) << height;
    }
}

TEST(StackView, ConstraintsInsideAnArrangedViewFollowTheFrameTheStackGivesIt) {
    // A multi-line label inset 16 points in a box that a vertical stack stretches across 240
    // points: the label is 208 wide and wraps there, and the box is as tall as the wrapped text.
    auto root = std::make_shared<UIView>(CGRect(0, 0, 240, 400));
    auto stack = std::make_shared<UIStackView>();
    stack->setAxis(UILayoutConstraintAxis::vertical);
    stack->setSpacing(10);
    stack->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(stack);
    auto label = std::make_shared<UILabel>();
    label->setNumberOfLines(0);
    label->setText("Held Noah for the first time today. He is so light!");
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto textBox = std::make_shared<UIView>();
    textBox->setTranslatesAutoresizingMaskIntoConstraints(false);
    textBox->addSubview(label);
    auto below = box(50, 30);
    stack->addArrangedSubview(textBox);
    stack->addArrangedSubview(below);
    NSLayoutConstraint::activate({
        label->leadingAnchor().constraintEqualTo(textBox->leadingAnchor(), 16),
        label->trailingAnchor().constraintEqualTo(textBox->trailingAnchor(), -16),
        label->topAnchor().constraintEqualTo(textBox->topAnchor()),
        label->bottomAnchor().constraintEqualTo(textBox->bottomAnchor()),
        stack->topAnchor().constraintEqualTo(root->topAnchor()),
        stack->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        stack->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
    });
    const CGSize oneLine = label->sizeThatFits({0, 0});
    ASSERT_GT(oneLine.width, 208);
    root->layoutIfNeeded();
    EXPECT_EQ(textBox->frame().size.width, 240);
    EXPECT_EQ(label->frame().origin.x, 16);
    EXPECT_EQ(label->frame().size.width, 208);
    EXPECT_GE(std::lround(label->frame().size.height / oneLine.height), 2) << label->frame().size.height;
    EXPECT_EQ(label->frame().size.height, textBox->frame().size.height);
    EXPECT_EQ(below->frame().origin.y, textBox->frame().maxY() + 10);
    EXPECT_EQ(stack->frame().size.height, below->frame().maxY());
}

TEST(StackView, AMultiLineLabelArrangedInAStackWrapsAtTheWidthTheStackGivesIt) {
    const std::string text = "Held Noah for the first time today. He is so light!";
    auto wrapping = [&text](long lines) {
        auto label = std::make_shared<UILabel>();
        label->setNumberOfLines(lines);
        label->setText(text);
        return label;
    };
    auto root = std::make_shared<UIView>(CGRect(0, 0, 240, 600));
    const CGSize oneLine = wrapping(0)->sizeThatFits({0, 0});
    ASSERT_GT(oneLine.width, 240);

    // A column that fills its width: the label is as wide as the column and grows a line for each
    // line its text takes there; the view below moves down with it.
    auto column = std::make_shared<UIStackView>();
    column->setAxis(UILayoutConstraintAxis::vertical);
    column->setSpacing(10);
    column->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(column);
    auto label = wrapping(0);
    auto below = box(50, 30);
    column->addArrangedSubview(label);
    column->addArrangedSubview(below);

    // A row with a fixed 60-point picture: the label wraps in the 170 points left to it, and the
    // row is as tall as the wrapped text. At most two lines, however long the text.
    auto row = std::make_shared<UIStackView>();
    row->setSpacing(10);
    row->setAlignment(UIStackViewAlignment::top);
    row->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(row);
    auto picture = std::make_shared<UIView>();
    picture->setTranslatesAutoresizingMaskIntoConstraints(false);
    picture->widthAnchor().constraintEqualToConstant(60)->setActive(true);
    picture->heightAnchor().constraintEqualToConstant(20)->setActive(true);
    auto beside = wrapping(0);
    row->addArrangedSubview(picture);
    row->addArrangedSubview(beside);
    auto twoLines = wrapping(2);
    twoLines->setText(text + " " + text);

    auto under = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{twoLines});
    under->setAxis(UILayoutConstraintAxis::vertical);
    under->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(under);
    NSLayoutConstraint::activate({
        column->topAnchor().constraintEqualTo(root->topAnchor()),
        column->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        column->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        row->topAnchor().constraintEqualTo(column->bottomAnchor(), 20),
        row->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        row->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        under->topAnchor().constraintEqualTo(row->bottomAnchor(), 20),
        under->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        under->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
    });
    root->layoutIfNeeded();
    const auto lines = [&](const UIView& v) { return std::lround(v.frame().size.height / oneLine.height); };

    EXPECT_EQ(label->frame().size.width, 240);
    EXPECT_GE(lines(*label), 2) << label->frame().size.height;
    EXPECT_EQ(label->frame().size.height, label->sizeThatFits({240, 0}).height);
    EXPECT_EQ(below->frame().origin.y, label->frame().maxY() + 10);
    EXPECT_EQ(column->frame().size.height, below->frame().maxY());

    EXPECT_EQ(picture->frame().size.width, 60);
    EXPECT_EQ(beside->frame().origin.x, 70);
    EXPECT_EQ(beside->frame().size.width, 170);
    EXPECT_GE(lines(*beside), 3) << beside->frame().size.height;
    EXPECT_EQ(beside->frame().size.height, beside->sizeThatFits({170, 0}).height);
    EXPECT_EQ(row->frame().size.height, beside->frame().size.height);

    EXPECT_EQ(twoLines->frame().size.width, 240);
    EXPECT_EQ(lines(*twoLines), 2) << twoLines->frame().size.height;
    EXPECT_EQ(under->frame().origin.y, row->frame().maxY() + 20);

    // Narrower, the column's label takes another line and everything under it moves down.
    const CGFloat before = label->frame().size.height;
    root->setFrame(CGRect(0, 0, 160, 600));
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, 160);
    EXPECT_GT(label->frame().size.height, before);
    EXPECT_EQ(label->frame().size.height, label->sizeThatFits({160, 0}).height);
    EXPECT_EQ(row->frame().origin.y, below->frame().maxY() + 20);
    EXPECT_EQ(beside->frame().size.width, 90);
    EXPECT_EQ(beside->frame().size.height, beside->sizeThatFits({90, 0}).height);
}

TEST(Controls, PageControlSwitchDatePickerAndPickerReportOnlyTheMembersChanges) {
    ManualClock clock;
    auto root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    auto dots = std::make_shared<UIPageControl>(CGRect(0, 0, 375, 37));
    dots->setNumberOfPages(4);
    auto toggle = std::make_shared<UISwitch>(CGRect(10, 100, 0, 0));
    root->addSubview(dots);
    root->addSubview(toggle);
    int pageChanges = 0, toggles = 0;
    dots->addAction([&](UIControl*) { ++pageChanges; }, UIControlEventValueChanged);
    toggle->addAction([&](UIControl*) { ++toggles; }, UIControlEventValueChanged);
    cw::TouchDelivery touches(root);
    touches.tap({dots->indicatorRect(3).midX(), 18}); // right of the current dot: next page
    EXPECT_EQ(dots->currentPage(), 1);
    dots->setCurrentPage(0);
    EXPECT_EQ(pageChanges, 1);
    clock.advance(1);
    touches.tap({20, 110});
    EXPECT_TRUE(toggle->isOn());
    toggle->setOn(false);
    EXPECT_EQ(toggles, 1);

    UIDatePicker picker;
    int dates = 0;
    picker.addAction([&](UIControl*) { ++dates; }, UIControlEventValueChanged);
    picker.setMinimumDate(Date::since1970(1000));
    picker.setMaximumDate(Date::since1970(2000));
    picker.setDate(Date::since1970(5000));
    EXPECT_EQ(picker.date(), Date::since1970(2000));
    EXPECT_EQ(dates, 0);
    picker.pick(Date::since1970(10));
    EXPECT_EQ(picker.date(), Date::since1970(1000));
    EXPECT_EQ(dates, 1);

    struct Rows : UIPickerViewDataSource, UIPickerViewDelegate {
        std::vector<long> picked;
        long numberOfComponents(UIPickerView*) override { return 1; }
        long numberOfRowsInComponent(UIPickerView*, long) override { return 3; }
        void didSelectRow(UIPickerView*, long row, long) override { picked.push_back(row); }
    } rows;
    UIPickerView wheel;
    wheel.setDataSource(&rows);
    wheel.setDelegate(&rows);
    wheel.selectRow(2, 0, false);
    EXPECT_EQ(wheel.selectedRow(0), 2);
    wheel.pick(7, 0);
    EXPECT_EQ(rows.picked, (std::vector<long>{2}));
    EXPECT_EQ(wheel.selectedRow(1), -1);
}

TEST(Controls, SearchBarPassesTypingAndButtonsToItsDelegate) {
    struct Watcher : UISearchBarDelegate {
        std::vector<std::string> calls;
        void textDidChange(UISearchBar*, const std::string& t) override { calls.push_back("text " + t); }
        void searchBarSearchButtonClicked(UISearchBar*) override { calls.push_back("search"); }
        void searchBarCancelButtonClicked(UISearchBar*) override { calls.push_back("cancel"); }
    } watcher;
    cw::Keyboard::shared().reset();
    auto root = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    root->setHidden(false);
    auto bar = std::make_shared<UISearchBar>(CGRect(0, 0, 375, 56));
    root->addSubview(bar);
    bar->setDelegate(&watcher);
    bar->setText("from code");
    ASSERT_TRUE(bar->becomeFirstResponder());
    EXPECT_EQ(std::dynamic_pointer_cast<UITextField>(bar->valueForKey("searchField")),
              bar->searchTextField());
    cw::Keyboard::shared().type("!");
    cw::Keyboard::shared().pressReturn();
    bar->setShowsCancelButton(true, true);
    root->layoutIfNeeded();
    cw::TouchDelivery(root).tap(bar->cancelButton()->center());
    EXPECT_EQ(watcher.calls, (std::vector<std::string>{"text from code!", "search", "cancel"}));
    bar->setDelegate(nullptr);
    root->endEditing(true);
    cw::Keyboard::shared().reset();
}

TEST(Controls, SearchBarFieldAndCancelButtonKeptPastTheBarNoLongerCallIt) {
    struct Watcher : UISearchBarDelegate {
        int calls = 0;
        void textDidChange(UISearchBar*, const std::string&) override { ++calls; }
        void searchBarCancelButtonClicked(UISearchBar*) override { ++calls; }
    } watcher;
    auto bar = std::make_shared<UISearchBar>(CGRect(0, 0, 375, 56));
    bar->setDelegate(&watcher);
    auto field = std::dynamic_pointer_cast<UIControl>(bar->valueForKey("searchField"));
    auto cancel = std::dynamic_pointer_cast<UIControl>(bar->valueForKey("cancelButton"));
    ASSERT_TRUE(field && cancel);
    field->sendActions(UIControlEventEditingChanged);
    EXPECT_EQ(watcher.calls, 1);
    bar.reset();
    field->sendActions(UIControlEventEditingChanged);
    cancel->sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_EQ(field->targetActionCount(), 0u);
}

} // namespace
