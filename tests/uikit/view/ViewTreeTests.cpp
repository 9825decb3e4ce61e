#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/view/UIView.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<UIView> view(CGRect frame, long tag = 0) {
    auto v = std::make_shared<UIView>(frame);
    v->setTag(tag);
    return v;
}

} // namespace

TEST(ViewTree, SubviewOrderKeepsLayersInStepAndRefusesCycles) {
    auto root = view({0, 0, 100, 100});
    auto a = view({}, 1), b = view({}, 2), c = view({}, 3);
    auto plain = std::make_shared<CALayer>();
    root->layer()->addSublayer(plain);
    root->addSubview(a);
    root->addSubview(b);
    root->insertSubview(c, 0);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{c, a, b}));
    root->bringSubviewToFront(c);
    root->sendSubviewToBack(b);
    root->insertSubviewAbove(a, c);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{b, c, a}));
    // Layers of subviews follow the subview order; the plain layer stays where it was put.
    std::vector<CALayer*> order;
    for (auto& l : root->layer()->sublayers())
        order.push_back(l.get());
    EXPECT_EQ(order,
              (std::vector<CALayer*>{plain.get(), b->layer().get(), c->layer().get(), a->layer().get()}));

    root->exchangeSubview(0, 2);
    order.clear();
    for (auto& l : root->layer()->sublayers())
        order.push_back(l.get());
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{a, c, b}));
    EXPECT_EQ(order,
              (std::vector<CALayer*>{plain.get(), a->layer().get(), c->layer().get(), b->layer().get()}));

    testing::internal::CaptureStderr();
    a->addSubview(root); // would make a cycle
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(root->superview(), nullptr);

    // Moving a view to another parent takes it out of the first.
    b->addSubview(a);
    EXPECT_EQ(root->subviews().size(), 2u);
    EXPECT_EQ(a->superview(), b);
    EXPECT_EQ(root->viewWithTag(1), a);
    EXPECT_EQ(root->viewWithTag(9), nullptr);
    a->removeFromSuperview();
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_EQ(a->layer()->superlayer(), nullptr);
}

// A composite view that builds its parts in its constructor, as cells and bars do.
class Composite : public UIView {
public:
    Composite() {
        part = std::make_shared<UIView>();
        addSubview(part);
    }
    std::shared_ptr<UIView> part;
};

TEST(ViewTree, SubviewsAddedInTheConstructorKnowTheirSuperview) {
    auto composite = std::make_shared<Composite>();
    EXPECT_EQ(composite->part->superview(), composite);
    EXPECT_EQ(composite->part->superviewPointer(), composite.get());
    composite->part->removeFromSuperview();
    EXPECT_EQ(composite->part->superview(), nullptr);
}

TEST(ViewTree, GeometryConversionAndHitTesting) {
    auto root = view({0, 0, 320, 480});
    auto panel = view({20, 40, 200, 200});
    auto button = view({10, 10, 50, 30});
    root->addSubview(panel);
    panel->addSubview(button);
    EXPECT_EQ(button->convert(CGPoint{0, 0}, root.get()), (CGPoint{30, 50}));
    EXPECT_EQ(root->convert(CGRect(30, 50, 5, 5), button.get()), CGRect(0, 0, 5, 5));
    EXPECT_EQ(panel->convertFrom(CGPoint{0, 0}, button.get()), (CGPoint{10, 10}));

    EXPECT_EQ(root->hitTest({35, 55}, nullptr), button);
    EXPECT_EQ(root->hitTest({25, 45}, nullptr), panel);
    button->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({35, 55}, nullptr), panel);
    panel->setHidden(true);
    EXPECT_EQ(root->hitTest({35, 55}, nullptr), root);
    EXPECT_EQ(root->hitTest({400, 10}, nullptr), nullptr);

    // Scrolling the panel's bounds moves what its subviews show, not their frames.
    panel->setHidden(false);
    button->setUserInteractionEnabled(true);
    panel->setBounds(CGRect(0, 100, 200, 200));
    EXPECT_EQ(button->convert(CGPoint{0, 0}, root.get()), (CGPoint{30, -50}));
    EXPECT_EQ(button->frame(), CGRect(10, 10, 50, 30));

    // A transform turns about the centre; the frame is the box around it.
    auto spun = view({0, 0, 100, 50});
    spun->setTransform(CGAffineTransform::makeScale(2, 2));
    EXPECT_EQ(spun->frame(), CGRect(-50, -25, 200, 100));
    EXPECT_EQ(spun->bounds(), CGRect(0, 0, 100, 50));
}

TEST(ViewTree, TintInheritsAndAutoresizingFollowsTheSuperview) {
    auto root = view({0, 0, 300, 200});
    auto child = view({10, 10, 280, 20});
    auto grand = view({0, 0, 10, 10});
    root->addSubview(child);
    child->addSubview(grand);
    EXPECT_EQ(grand->tintColor(), UIColor(0, 122.0 / 255, 1, 1));
    root->setTintColor(UIColor::redColor());
    EXPECT_EQ(grand->tintColor(), UIColor::redColor());
    child->setTintColor(UIColor::greenColor());
    EXPECT_EQ(grand->tintColor(), UIColor::greenColor());

    child->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
    root->setFrame(CGRect(0, 0, 400, 300));
    EXPECT_EQ(child->frame(), CGRect(10, 110, 380, 20));
    auto centred = view({100, 50, 100, 100});
    root->addSubview(centred);
    centred->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                 UIViewAutoresizingFlexibleRightMargin);
    root->setFrame(CGRect(0, 0, 500, 300));
    // Both margins flex: they share the 100 points in proportion to their lengths (100 and 200).
    EXPECT_NEAR(centred->frame().origin.x, 100 + 100.0 / 3, 1e-9);
    EXPECT_EQ(centred->frame().size.width, 100);
}

TEST(ViewTree, LayoutSubviewsRunsOncePerPassAndSizeToFit) {
    struct Counting : UIView {
        int passes = 0;
        void layoutSubviews() override {
            ++passes;
            UIView::layoutSubviews();
        }
        CGSize sizeThatFits(CGSize) const override { return {42, 24}; }
    };
    auto v = std::make_shared<Counting>();
    v->setFrame(CGRect(5, 5, 10, 10));
    v->layoutIfNeeded();
    v->layoutIfNeeded();
    EXPECT_EQ(v->passes, 1);
    v->setNeedsLayout();
    v->layoutIfNeeded();
    EXPECT_EQ(v->passes, 2);
    v->sizeToFit();
    EXPECT_EQ(v->frame(), CGRect(5, 5, 42, 24));
    EXPECT_TRUE(v->needsLayout()); // a new size asks for layout
}

TEST(BasicViews, ImageViewPlacesByContentModeAndPageControlClamps) {
    const CGRect b(0, 0, 100, 50);
    EXPECT_EQ(contentModeRect(UIViewContentMode::scaleAspectFit, {20, 20}, b), CGRect(25, 0, 50, 50));
    EXPECT_EQ(contentModeRect(UIViewContentMode::scaleAspectFill, {20, 20}, b), CGRect(0, -25, 100, 100));
    EXPECT_EQ(contentModeRect(UIViewContentMode::bottomRight, {20, 10}, b), CGRect(80, 40, 20, 10));
    EXPECT_EQ(contentModeRect(UIViewContentMode::center, {20, 10}, b), CGRect(40, 20, 20, 10));
    UIImageView empty;
    EXPECT_EQ(empty.intrinsicContentSize(), (CGSize{UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric}));

    UIPageControl dots;
    dots.setNumberOfPages(3);
    dots.setCurrentPage(7);
    EXPECT_EQ(dots.currentPage(), 2);
    EXPECT_EQ(dots.intrinsicContentSize(), (CGSize{3 * 7 + 2 * 9, 37}));
    dots.setNumberOfPages(1);
    EXPECT_EQ(dots.currentPage(), 0);
    dots.setHidesForSinglePage(true);
    EXPECT_TRUE(dots.isHidden());
    dots.setNumberOfPages(4);
    EXPECT_FALSE(dots.isHidden());

    UIActivityIndicatorView spinner(UIActivityIndicatorViewStyle::whiteLarge);
    EXPECT_EQ(spinner.frame().size, (CGSize{37, 37}));
    EXPECT_TRUE(spinner.isHidden());
    spinner.startAnimating();
    EXPECT_TRUE(spinner.isAnimating());
    EXPECT_FALSE(spinner.isHidden());
    spinner.setHidesWhenStopped(false);
    spinner.stopAnimating();
    EXPECT_FALSE(spinner.isHidden());
}

TEST(ViewTree, FramesThatAreNotNumbersAreRefused) {
    auto v = view({1, 2, 3, 4});
    v->setFrame(CGRect(std::nan(""), 0, 10, 10));
    v->setBounds(CGRect(0, 0, INFINITY, 1));
    v->setCenter({std::nan(""), 1});
    EXPECT_EQ(v->frame(), CGRect(1, 2, 3, 4));
}

TEST(ViewTree, AViewMovedUnderAnotherTintTakesItAndSaysSo) {
    const UIColor green(0.18, 0.7, 0.6, 1);
    auto tinted = view({0, 0, 100, 100});
    tinted->setTintColor(green);
    // A screen built apart from the window, then put in it: its system button follows the tint.
    auto screen = view({0, 0, 100, 100});
    auto button = std::make_shared<UIButton>(UIButtonType::system);
    button->setTitle("Menu", UIControlStateNormal);
    screen->addSubview(button);
    EXPECT_NE(button->titleLabel()->textColor(), green);
    tinted->addSubview(screen);
    EXPECT_EQ(button->titleLabel()->textColor(), green);

    // A view with a tint of its own keeps it wherever it goes.
    const UIColor red(1, 0, 0, 1);
    auto own = std::make_shared<UIButton>(UIButtonType::system);
    own->setTitle("Own", UIControlStateNormal);
    own->setTintColor(red);
    tinted->addSubview(own);
    EXPECT_EQ(own->titleLabel()->textColor(), red);
}
