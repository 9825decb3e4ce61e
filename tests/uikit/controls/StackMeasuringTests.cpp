// A stack view keeps the sizes it measured of its arranged views from pass to pass, and measures a
// view again as soon as anything that decides its size changes: a size kept too long is a layout
// that no longer fits its content.
#include "uikit/controls/UIKitControls.h"

#include <gtest/gtest.h>

namespace {

// A view that counts how often it is measured.
class CountingView : public UIView {
public:
    explicit CountingView(CGSize size) : size_(size) {}
    CGSize intrinsicContentSize() const override {
        ++measured;
        return size_;
    }
    void setSize(CGSize size) {
        size_ = size;
        invalidateIntrinsicContentSize();
    }
    mutable int measured = 0;

private:
    CGSize size_;
};

std::shared_ptr<UILabel> wrappingLabel(const std::string& text) {
    auto label = std::make_shared<UILabel>();
    label->setNumberOfLines(0);
    label->setFont(UIFont::systemFont(15));
    label->setText(text);
    return label;
}

// A column that fills its width, pinned at the top of a root of the given width.
struct Column {
    explicit Column(CGFloat width, const std::vector<std::shared_ptr<UIView>>& views)
        : root(std::make_shared<UIView>(CGRect(0, 0, width, 600))),
          stack(std::make_shared<UIStackView>(views)) {
        stack->setAxis(UILayoutConstraintAxis::vertical);
        stack->setSpacing(4);
        stack->setTranslatesAutoresizingMaskIntoConstraints(false);
        root->addSubview(stack);
        NSLayoutConstraint::activate({
            stack->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 10),
            stack->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -10),
            stack->topAnchor().constraintEqualTo(root->topAnchor()),
        });
    }
    CGFloat height() {
        root->layoutIfNeeded();
        return stack->frame().size.height;
    }
    std::shared_ptr<UIView> root;
    std::shared_ptr<UIStackView> stack;
};

const std::string kNote = "Breathing on her own since Tuesday, with a little help from the high flow at night.";

TEST(StackMeasuring, AnArrangedViewIsMeasuredOnceAPassAndAgainOnlyWhenItChanges) {
    auto counted = std::make_shared<CountingView>(CGSize{100, 40});
    auto note = wrappingLabel(kNote);
    Column column(300, {counted, note});
    EXPECT_EQ(column.height(), 40 + 4 + note->sizeThatFits({280, 0}).height);
    const int first = counted->measured;
    EXPECT_LE(first, 2) << "the stack's own size and the places of its views share one measuring";

    // Passes with nothing changed inside measure nothing; neither does a label beside it changing.
    column.stack->setNeedsLayout();
    column.root->layoutIfNeeded();
    note->setText("Off the high flow.");
    EXPECT_EQ(column.height(), 40 + 4 + note->sizeThatFits({280, 0}).height);
    EXPECT_EQ(counted->measured, first);

    // Its own change is measured, once.
    counted->setSize({100, 60});
    EXPECT_EQ(column.height(), 60 + 4 + note->sizeThatFits({280, 0}).height);
    EXPECT_EQ(counted->measured, first + 1);
}

TEST(StackMeasuring, WhatDecidesAnArrangedViewsSizeIsMeasuredAgain) {
    auto note = wrappingLabel("Fed well");
    // A box sized by its own constraints: a label inside, and a height it keeps at least.
    auto box = std::make_shared<UIView>();
    box->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto inner = wrappingLabel("Weighed at ten");
    inner->setTranslatesAutoresizingMaskIntoConstraints(false);
    box->addSubview(inner);
    auto atLeast = box->heightAnchor().constraintGreaterThanOrEqualToConstant(30);
    NSLayoutConstraint::activate({
        inner->leadingAnchor().constraintEqualTo(box->leadingAnchor(), 8),
        inner->trailingAnchor().constraintEqualTo(box->trailingAnchor(), -8),
        inner->topAnchor().constraintEqualTo(box->topAnchor(), 6),
        box->bottomAnchor().constraintGreaterThanOrEqualTo(inner->bottomAnchor(), 6),
        atLeast,
    });
    Column column(300, {note, box});
    const CGFloat line = note->sizeThatFits({0, 0}).height;
    auto expectHeights = [&](const char* when, CGFloat noteHeight, CGFloat boxHeight) {
        SCOPED_TRACE(when);
        EXPECT_EQ(column.height(), noteHeight + 4 + boxHeight);
        EXPECT_EQ(note->frame().size.height, noteHeight);
        EXPECT_EQ(box->frame().size.height, boxHeight);
    };
    const CGFloat innerLine = inner->sizeThatFits({0, 0}).height;
    expectHeights("first", line, std::max<CGFloat>(30, innerLine + 12));

    // The label's text, then its font.
    note->setText(kNote);
    const CGFloat wrapped = note->sizeThatFits({280, 0}).height;
    ASSERT_GT(wrapped, line);
    expectHeights("longer text", wrapped, std::max<CGFloat>(30, innerLine + 12));
    note->setFont(UIFont::systemFont(22));
    expectHeights("larger font", note->sizeThatFits({280, 0}).height, std::max<CGFloat>(30, innerLine + 12));

    // The width the stack is given.
    column.root->setFrame(CGRect(0, 0, 200, 600));
    expectHeights("narrower", note->sizeThatFits({180, 0}).height, std::max<CGFloat>(30, innerLine + 12));

    // Inside the box: the text of a label, a constraint's constant, a view added.
    inner->setText(kNote);
    const CGFloat innerWrapped = inner->sizeThatFits({164, 0}).height;
    expectHeights("box text", note->sizeThatFits({180, 0}).height, innerWrapped + 12);
    atLeast->setConstant(400);
    expectHeights("box constant", note->sizeThatFits({180, 0}).height, 400);
    atLeast->setConstant(0);
    auto footer = std::make_shared<UIView>();
    footer->setTranslatesAutoresizingMaskIntoConstraints(false);
    box->addSubview(footer);
    NSLayoutConstraint::activate({
        footer->topAnchor().constraintEqualTo(inner->bottomAnchor(), 10),
        footer->leadingAnchor().constraintEqualTo(box->leadingAnchor()),
        footer->heightAnchor().constraintEqualToConstant(20),
        box->bottomAnchor().constraintGreaterThanOrEqualTo(footer->bottomAnchor()),
    });
    expectHeights("box footer", note->sizeThatFits({180, 0}).height, innerWrapped + 6 + 10 + 20);

    // A view that leaves and comes back is measured afresh.
    column.stack->removeArrangedSubview(note);
    note->removeFromSuperview();
    note->setText("Fed well");
    column.stack->addArrangedSubview(note);
    expectHeights("back", note->sizeThatFits({180, 0}).height, innerWrapped + 6 + 10 + 20);
}

} // namespace
