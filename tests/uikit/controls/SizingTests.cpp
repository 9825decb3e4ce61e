#include "uikit/controls/UIKitControls.h"

#include <gtest/gtest.h>

namespace {

TEST(Sizing, StackViewInsideAutoLayoutGrowsWithItsLabel) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
    auto label = std::make_shared<UILabel>();
    label->setText("One");
    auto stack = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{label});
    stack->setAxis(UILayoutConstraintAxis::vertical);
    stack->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(stack);
    NSLayoutConstraint::activate({stack->topAnchor().constraintEqualTo(root->topAnchor(), 20),
                                  stack->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 10)});
    root->layoutIfNeeded();
    const CGFloat oneLine = stack->frame().size.height;
    EXPECT_GT(oneLine, 0);
    EXPECT_EQ(stack->frame().origin, (CGPoint{10, 20}));
    label->setNumberOfLines(0);
    label->setText("One\nTwo\nThree");
    root->layoutIfNeeded();
    EXPECT_GT(stack->frame().size.height, 2.5 * oneLine);
    EXPECT_EQ(label->frame().size.height, stack->frame().size.height);
}

TEST(Sizing, TextViewWithoutScrollingSizesToItsText) {
    UITextView view(CGRect(0, 0, 200, 10));
    view.setScrollEnabled(false);
    view.setFont(UIFont::systemFont(17));
    view.setText("Short");
    const CGFloat one = view.sizeThatFits({200, 0}).height;
    EXPECT_NEAR(one, std::ceil(UIFont::systemFont(17).lineHeight()) + 16, 1.5);
    view.setText("A much longer text that cannot fit on one line of a view two hundred points wide");
    EXPECT_GT(view.sizeThatFits({200, 0}).height, one + 10);
    view.layoutIfNeeded();
    EXPECT_EQ(view.contentSize().height, view.sizeThatFits({200, 0}).height);
}

TEST(Sizing, ButtonBackgroundImagesFollowTheState) {
    std::vector<std::uint32_t> pixels(4, 0xFF00FF00u);
    auto normal = UIImage::fromPixels(2, 2, 1, pixels.data());
    auto pressed = UIImage::fromPixels(2, 2, 1, pixels.data());
    UIButton button(CGRect(0, 0, 100, 40));
    button.setBackgroundImage(normal, UIControlStateNormal);
    button.setBackgroundImage(pressed, UIControlStateHighlighted);
    EXPECT_EQ(button.currentBackgroundImage(), normal);
    button.setHighlighted(true);
    EXPECT_EQ(button.currentBackgroundImage(), pressed);
    button.setHighlighted(false);
    button.setEnabled(false); // no disabled image: the normal one
    EXPECT_EQ(button.currentBackgroundImage(), normal);
    EXPECT_EQ(button.state(), UIControlStateDisabled);
    button.setTitleColor(UIColor::whiteColor().withAlphaComponent(0.5), UIControlStateDisabled);
    button.setTitle("Next", UIControlStateNormal);
    EXPECT_EQ(button.titleLabel()->textColor(), UIColor::whiteColor().withAlphaComponent(0.5));
}

TEST(Sizing, CollectionReloadItemsAsksAgainForThoseItems) {
    struct Items : UICollectionViewDataSource {
        int asked = 0;
        long numberOfItemsInSection(UICollectionView*, long) override { return 6; }
        std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView* cv,
                                                            const IndexPath& ip) override {
            ++asked;
            return cv->dequeueReusableCell("item", ip);
        }
    } items;
    UICollectionView cv(CGRect(0, 0, 320, 480));
    cv.registerCellClass<UICollectionViewCell>("item");
    cv.setDataSource(&items);
    cv.layoutIfNeeded();
    EXPECT_EQ(items.asked, 6);
    cv.reloadItems({IndexPath::forItem(2, 0)});
    EXPECT_EQ(items.asked, 7);
    EXPECT_EQ(cv.visibleCells().size(), 6u);
    EXPECT_EQ(cv.cellsCreated(), 6u); // the reloaded item reused its own cell
}

} // namespace
