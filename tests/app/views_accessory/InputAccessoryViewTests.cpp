#include "Views/InputAccessoryView.h"

#include <gtest/gtest.h>

namespace {

// A 375-point-wide host whose bottom the container sits on, at a height the host requires.
struct Hosted {
    std::shared_ptr<UIView> root = std::make_shared<UIView>(CGRect{0, 0, 375, 667});
    std::shared_ptr<InputAccessoryView> bar = std::make_shared<InputAccessoryView>();
    NSLayoutConstraintPtr height;

    explicit Hosted(CGFloat barHeight) {
        root->addSubview(bar);
        height = bar->heightAnchor().constraintEqualToConstant(barHeight);
        NSLayoutConstraint::activate({
            bar->leftAnchor().constraintEqualTo(root->leftAnchor()),
            bar->rightAnchor().constraintEqualTo(root->rightAnchor()),
            bar->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
            height,
        });
    }
    CGRect contentFrame() {
        root->layoutIfNeeded();
        return bar->contentView()->frame();
    }
};

std::vector<NSLayoutConstraintPtr> heightConstraintsOf(const UIView& view) {
    std::vector<NSLayoutConstraintPtr> found;
    for (auto& c : view.constraints())
        if (c->accessibilityLabel == "InputAccessoryView.preferredHeightConstraint") found.push_back(c);
    return found;
}

} // namespace

TEST(InputAccessoryView, ContentIsFiftyPointsHighWithItsBottomOnTheMarginAndGivesWayToTheHost) {
    Hosted hosted(58);
    EXPECT_FALSE(hosted.bar->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(hosted.bar->intrinsicContentSize(), (CGSize{UIViewNoIntrinsicMetric, 64}));
    EXPECT_EQ(hosted.bar->preferredContentHeight(), 50);
    EXPECT_FALSE(hosted.bar->insetsContentToMargins());

    auto content = std::make_shared<UIView>();
    hosted.bar->setContentView(content);
    EXPECT_FALSE(content->translatesAutoresizingMaskIntoConstraints());
    // 58 high with the default bottom margin of 8: the content ends on the margin.
    EXPECT_EQ(hosted.contentFrame(), (CGRect{0, 0, 375, 50}));
    hosted.bar->setLayoutMargins({8, 8, 20, 8});
    hosted.height->setConstant(70);
    EXPECT_EQ(hosted.contentFrame(), (CGRect{0, 0, 375, 50})) << "the bottom follows the margin, not the view";

    auto heights = heightConstraintsOf(*content);
    ASSERT_EQ(heights.size(), 1u);
    EXPECT_EQ(heights[0]->priority(), 750);
    EXPECT_EQ(heights[0]->constant(), 50);
    // A taller host wins over the preferred height.
    hosted.height->setConstant(120);
    EXPECT_EQ(hosted.contentFrame(), (CGRect{0, 0, 375, 100}));
}

TEST(InputAccessoryView, SettingsAreReadAtInstallationAndNoneEmptiesTheContainer) {
    Hosted hosted(100);
    auto content = std::make_shared<UIView>();
    hosted.bar->setContentView(content);
    hosted.bar->setPreferredContentHeight(30);
    hosted.bar->setInsetsContentToMargins(true);
    hosted.height->setConstant(200);
    EXPECT_EQ(hosted.contentFrame(), (CGRect{0, 0, 375, 192})) << "nothing changes until the next assignment";

    // The same view again: installed anew, inside the margins, with one fresh height constraint.
    hosted.bar->setContentView(content);
    ASSERT_EQ(heightConstraintsOf(*content).size(), 1u);
    EXPECT_EQ(heightConstraintsOf(*content)[0]->constant(), 30);
    EXPECT_EQ(hosted.contentFrame(), (CGRect{8, 8, 359, 184}));
    hosted.height->setConstant(38);
    EXPECT_EQ(hosted.contentFrame(), (CGRect{8, 8, 359, 22}));

    auto other = std::make_shared<UIView>();
    hosted.bar->setContentView(other);
    EXPECT_FALSE(content->superview());
    EXPECT_TRUE(heightConstraintsOf(*content).empty()) << "a removed view keeps no preferred height";
    hosted.bar->setContentView(nullptr);
    EXPECT_FALSE(other->superview());
    EXPECT_FALSE(hosted.bar->contentView());
    EXPECT_TRUE(hosted.bar->subviews().empty());
    EXPECT_TRUE(hosted.bar->contentLayoutGuide());
}
