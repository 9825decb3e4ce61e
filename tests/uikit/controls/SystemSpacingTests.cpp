#include "uikit/controls/UIStackView.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<UIView> constrained() {
    auto v = std::make_shared<UIView>();
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    return v;
}

TEST(SystemSpacing, AnchorsPlaceItemsTheSystemSpacingApart) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
    root->setSafeAreaInsets({20, 0, 0, 0});
    auto dots = constrained(), badge = constrained(), note = constrained();
    for (auto& v : {dots, badge, note})
        root->addSubview(v);
    NSLayoutConstraint::activate({
        dots->topAnchor().constraintEqualToSystemSpacingBelow(root->safeAreaLayoutGuide()->topAnchor(), 1.0),
        dots->leftAnchor().constraintEqualTo(root->leftAnchor(), 16),
        dots->widthAnchor().constraintEqualToConstant(40),
        dots->heightAnchor().constraintEqualToConstant(10),
        badge->leftAnchor().constraintEqualToSystemSpacingAfter(dots->rightAnchor(), 2),
        badge->topAnchor().constraintGreaterThanOrEqualToSystemSpacingBelow(dots->bottomAnchor(), 1),
        badge->widthAnchor().constraintEqualToConstant(10),
        badge->heightAnchor().constraintEqualToConstant(10),
        note->topAnchor().constraintLessThanOrEqualToSystemSpacingBelow(root->topAnchor(), 0.5),
        note->topAnchor().constraintGreaterThanOrEqualTo(root->topAnchor(), 1),
        note->leftAnchor().constraintEqualTo(root->leftAnchor()),
        note->widthAnchor().constraintEqualToConstant(10),
        note->heightAnchor().constraintEqualToConstant(10),
    });
    root->layoutIfNeeded();
    EXPECT_EQ(dots->frame(), CGRect(16, 28, 40, 10));
    EXPECT_EQ(badge->frame().origin.x, 72);
    EXPECT_GE(badge->frame().origin.y, 46);
    EXPECT_GE(note->frame().origin.y, 1);
    EXPECT_LE(note->frame().origin.y, 4);
}

TEST(SystemSpacing, AStackViewAskingForTheSystemSpacingSpacesItsViews8PointsApart) {
    auto a = std::make_shared<UIView>(CGRect(0, 0, 100, 30));
    auto b = std::make_shared<UIView>(CGRect(0, 0, 100, 50));
    auto stack = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{a, b});
    stack->setAxis(UILayoutConstraintAxis::vertical);
    stack->setSpacing(UIStackView::spacingUseSystem);
    EXPECT_EQ(stack->spacing(), UIStackView::spacingUseSystem);
    EXPECT_EQ(stack->intrinsicContentSize(), (CGSize{100, 88}));
    stack->setFrame(CGRect(0, 0, 100, 88));
    stack->layoutIfNeeded();
    EXPECT_EQ(b->frame(), CGRect(0, 38, 100, 50));
}

} // namespace
