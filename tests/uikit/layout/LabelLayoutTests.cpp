#include "LayoutTestSupport.h"

#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

using namespace layout_test;

namespace {

std::shared_ptr<UILabel> makeLabel(const std::string& name, const std::string& text, long lines = 1,
                                   CGFloat size = 17) {
    auto l = std::make_shared<UILabel>();
    l->setAccessibilityIdentifier(name);
    l->setTranslatesAutoresizingMaskIntoConstraints(false);
    l->setText(text);
    l->setNumberOfLines(lines);
    l->setFont(UIFont::systemFont(size));
    return l;
}

const std::string kLong =
    "Your baby had a calm night and took all of her feeds. The care team will weigh her again in the "
    "morning and talk with you about moving to the next room.";

} // namespace

TEST(LabelLayout, MultiLineLabelHeightFollowsItsTextAtTheWidthItIsGiven) {
    auto root = makeRoot(320, 600);
    auto label = makeLabel("body", "Short", 0);
    root->addSubview(label);
    root->addConstraints(vfl("|-16-[l]-16-|", {{"l", label}}));
    root->addConstraints(vfl("V:|-10-[l]", {{"l", label}}));
    root->layoutIfNeeded();
    const CGFloat oneLine = label->frame().size.height;
    EXPECT_NEAR(oneLine, label->font().lineHeight(), 1.0);
    EXPECT_EQ(label->frame().size.width, 288);

    label->setText(kLong);
    root->layoutIfNeeded();
    const CGFloat wide = label->frame().size.height;
    EXPECT_GE(wide, 3 * oneLine - 1);
    EXPECT_EQ(wide, label->sizeThatFits({288, 0}).height);

    root->setFrame(CGRect(0, 0, 200, 600));
    root->layoutIfNeeded();
    EXPECT_EQ(label->frame().size.width, 168);
    EXPECT_GT(label->frame().size.height, wide);
    EXPECT_EQ(label->frame().size.height, label->sizeThatFits({168, 0}).height);

    // A label limited to two lines stops growing there.
    label->setNumberOfLines(2);
    root->layoutIfNeeded();
    EXPECT_NEAR(label->frame().size.height, 2 * oneLine, 1.0);
}

TEST(LabelLayout, HuggingAndCompressionDecideBetweenTwoLabelsInARow) {
    auto root = makeRoot(320, 100);
    auto a = makeLabel("a", "Name"), b = makeLabel("b", "Value");
    root->addSubview(a);
    root->addSubview(b);
    root->addConstraints(vfl("|-[a]-[b]-|", {{"a", a}, {"b", b}}));
    root->addConstraints(vfl("V:|[a]", {{"a", a}}));
    root->addConstraints(vfl("V:|[b]", {{"b", b}}));
    a->setContentHuggingPriority(251, UILayoutConstraintAxis::horizontal);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, a->intrinsicContentSize().width);
    EXPECT_EQ(a->frame().origin.x, 20);
    EXPECT_EQ(b->frame().origin.x, a->frame().maxX() + 8);
    EXPECT_EQ(b->frame().maxX(), 300);
    EXPECT_EQ(a->frame().size.height, a->intrinsicContentSize().height);

    // Too much text for the row: the label that resists less gives way.
    a->setText("A rather long name for a row");
    b->setText("and an even longer value beside it");
    b->setContentCompressionResistancePriority(749, UILayoutConstraintAxis::horizontal);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, a->intrinsicContentSize().width);
    EXPECT_LT(b->frame().size.width, b->intrinsicContentSize().width);
    EXPECT_EQ(b->frame().maxX(), 300);
}

TEST(LabelLayout, FittingSizeOfAMultiLineCellContentView) {
    auto content = std::make_shared<UIView>(CGRect(0, 0, 320, 44)); // translates its frame, as a cell's does
    auto title = makeLabel("title", "Daily update");
    title->setFont(UIFont::boldSystemFont(18));
    auto body = makeLabel("body", kLong, 0, 15);
    content->addSubview(title);
    content->addSubview(body);
    content->addConstraints(vfl("V:|-12-[t]-8-[b]-12-|", {{"t", title}, {"b", body}}));
    content->addConstraints(vfl("|-16-[t]-16-|", {{"t", title}}));
    content->addConstraints(vfl("|-16-[b]-16-|", {{"b", body}}));
    const CGSize fit = content->systemLayoutSizeFitting({320, 0}, UILayoutPriorityRequired,
                                                        UILayoutPriorityFittingSizeLevel);
    const CGFloat expected =
        12 + title->intrinsicContentSize().height + 8 + body->sizeThatFits({288, 0}).height + 12;
    EXPECT_EQ(fit.width, 320);
    EXPECT_EQ(fit.height, expected);
    EXPECT_GT(body->sizeThatFits({288, 0}).height, 2 * body->font().lineHeight());
    // Narrower, taller; and the content view's own frame is left alone.
    const CGSize narrow = content->systemLayoutSizeFitting({200, 0}, UILayoutPriorityRequired,
                                                           UILayoutPriorityFittingSizeLevel);
    EXPECT_GT(narrow.height, fit.height);
    EXPECT_EQ(content->frame(), CGRect(0, 0, 320, 44));
    // The compressed size of a label alone is its text's size.
    auto lone = makeLabel("lone", "Hello");
    EXPECT_EQ(lone->systemLayoutSizeFitting(UILayoutFittingCompressedSize), lone->intrinsicContentSize());
}

TEST(LabelLayout, LastBaselineAlignsTextOfDifferentSizes) {
    auto root = makeRoot(320, 100);
    auto small = makeLabel("small", "Weight", 1, 14), big = makeLabel("big", "3.2 kg", 1, 30);
    root->addSubview(small);
    root->addSubview(big);
    root->addConstraints(vfl("|-16-[s]-8-[b]", {{"s", small}, {"b", big}}));
    root->addConstraints(vfl("V:|-20-[b]", {{"b", big}}));
    root->addConstraint(NSLayoutConstraint::make(small, NSLayoutAttribute::lastBaseline,
                                                 NSLayoutRelation::equal, big,
                                                 NSLayoutAttribute::lastBaseline, 1, 0));
    root->layoutIfNeeded();
    const CGFloat smallBaseline = small->frame().minY() + small->font().ascender();
    const CGFloat bigBaseline = big->frame().minY() + big->font().ascender();
    EXPECT_NEAR(smallBaseline, bigBaseline, 1.0);
    EXPECT_GT(small->frame().minY(), big->frame().minY() + 5);
    // firstBaseline agrees for single lines.
    auto other = makeLabel("other", "kg", 1, 20);
    root->addSubview(other);
    root->addConstraints(vfl("[b]-4-[o]", {{"b", big}, {"o", other}}));
    root->addConstraint(NSLayoutConstraint::make(other, NSLayoutAttribute::firstBaseline,
                                                 NSLayoutRelation::equal, big,
                                                 NSLayoutAttribute::firstBaseline, 1, 0));
    root->layoutIfNeeded();
    EXPECT_NEAR(other->frame().minY() + other->font().ascender(), bigBaseline, 1.0);
}

// A wrapping title beside a picture, as a reused row shows one title after another: each takes the
// width its own text needs, never the width the one before it was given.
TEST(LabelLayout, AWrappingLabelGivenANewTextTakesTheWidthOfThatText) {
    auto root = makeRoot(320, 200);
    auto title = makeLabel("title", "Weight", 0, 16);
    auto picture = makeView("picture");
    root->addSubview(title);
    root->addSubview(picture);
    root->addConstraints(vfl("|-26-[t]-(>=8)-[p(44)]-16-|", {{"t", title}, {"p", picture}}));
    root->addConstraints(vfl("V:|-14-[t]", {{"t", title}}));
    root->addConstraints(vfl("V:|-12-[p(44)]", {{"p", picture}}));
    auto expectOneLine = [&](const char* when) {
        SCOPED_TRACE(when);
        const CGSize oneLine = title->sizeThatFits({0, 0});
        EXPECT_EQ(title->frame().size, oneLine);
    };
    root->layoutIfNeeded();
    expectOneLine("first text");

    for (const char* text : {"Temperature", "Photo Of The Day", "Weight", "Breathing"}) {
        title->setText(std::string(text));
        root->layoutIfNeeded();
        expectOneLine(text);
    }
    // A font change is a new text as well.
    title->setFont(UIFont::systemFont(22));
    root->layoutIfNeeded();
    expectOneLine("larger font");

    // More text than the row holds wraps at the room there is, and a short text after it is short.
    title->setText(kLong);
    root->layoutIfNeeded();
    EXPECT_LE(title->frame().maxX(), 320 - 16 - 44 - 8);
    EXPECT_GT(title->frame().size.height, title->sizeThatFits({0, 0}).height);
    EXPECT_EQ(title->frame().size.height, title->sizeThatFits({title->frame().size.width, 0}).height);
    title->setText(std::string("Feeding"));
    root->layoutIfNeeded();
    expectOneLine("short after long");
}
