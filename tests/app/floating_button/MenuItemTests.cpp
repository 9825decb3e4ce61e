#include "tests/app/toolkit_screen/ScreenHost.h"

#include "KYFloatingActionButton/KYButton.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool hasSublayer(const UIView& view, const std::shared_ptr<CALayer>& layer) {
    const auto& subs = view.layer()->sublayers();
    return std::find(subs.begin(), subs.end(), layer) != subs.end();
}

} // namespace

TEST(MenuItem, ANewItemHasAClearDiscAShadowedWhiteTitleAndNoIconUntilOneIsSet) {
    auto item = std::make_shared<KYButtonCells>();
    EXPECT_EQ(item->circleLayer->fillColor, UIColor::clearColor());
    EXPECT_EQ(item->originColor, UIColor::clearColor());
    const CGRect disc = item->circlePath().bounds();
    EXPECT_NEAR(disc.minX(), 16, 1e-9);
    EXPECT_NEAR(disc.maxX(), 62, 1e-9);
    EXPECT_NEAR(disc.minY(), 0, 1e-9);
    EXPECT_NEAR(disc.maxY(), 46, 1e-9);
    EXPECT_TRUE(hasSublayer(*item, item->circleLayer));
    ASSERT_EQ(item->subviews().size(), 1u) << "the title label only";
    auto label = item->titleLabel();
    EXPECT_EQ(item->subviews()[0], label);
    EXPECT_EQ(label->textColor(), UIColor::whiteColor());
    EXPECT_EQ(label->text(), std::nullopt);
    EXPECT_EQ(label->layer()->shadowOffset, CGSize(1, 1));
    EXPECT_EQ(label->layer()->shadowRadius, 2);
    EXPECT_FLOAT_EQ(label->layer()->shadowOpacity, 0.5f);

    // The colour: disc and restored colour alike; a bare item changes only its disc.
    item->setButtonItemColor(UIColor::redColor());
    EXPECT_EQ(item->circleLayer->fillColor, UIColor::redColor());
    EXPECT_EQ(item->originColor, UIColor::redColor());
    auto bare = std::make_shared<KYButtonCells>(CGRect(0, 0, 55, 55));
    bare->setButtonItemColor(UIColor::redColor());
    EXPECT_EQ(bare->circleLayer->fillColor, UIColor::redColor());
    EXPECT_FALSE(bare->originColor);
    EXPECT_FALSE(hasSublayer(*bare, bare->circleLayer));

    // The title ends on the item's left edge, centred 21 points below its top.
    item->setTitle(std::string("POST"));
    const CGRect t = label->frame();
    EXPECT_GT(t.width(), 20);
    EXPECT_DOUBLE_EQ(t.maxX(), 0);
    EXPECT_DOUBLE_EQ(t.midY(), 21);
    item->setTitle(std::nullopt);
    EXPECT_EQ(label->text(), std::nullopt);

    // The icon view is made with the icon; a 55-point frame puts its centre at (27.5, 17.1875).
    item->setIcon(UIImage::named("flyout_menu_call"));
    ASSERT_EQ(item->subviews().size(), 2u);
    EXPECT_EQ(item->iconImageView()->frame().size, CGSize(60, 60));
    EXPECT_EQ(item->iconImageView()->contentMode(), UIViewContentMode::scaleAspectFill);
    item->setFrame(CGRect(300, 525, 55, 55));
    EXPECT_EQ(item->iconImageView()->center(), CGPoint(27.5, 17.1875));
}

TEST(MenuItem, ATapRunsTheHandlerOnceAndClosesTheMenuWhileADoubleTapDoesNeither) {
    cw::test::ScreenHost screen;
    auto button = std::make_shared<KYButton>();
    button->setFrame(CGRect(300, 580, 55, 55));
    int posts = 0;
    std::vector<KYButtonCells*> tapped;
    button->add(UIColor::greenColor(), std::string("POST"), UIImage::named("flyout_menu_compose"),
                [&](KYButtonCells& item) {
                    ++posts;
                    tapped.push_back(&item);
                });
    button->add(UIColor::blueColor(), std::string("CALL"));
    screen.screen()->addSubview(button);
    screen.tap({327, 607});
    ASSERT_FALSE(button->isHide);

    // Item 0 sits one height above the button; while the finger is down its disc is highlighted.
    const CGPoint onItem0{327, 545};
    const auto& item = *button->items[0];
    screen.down(onItem0);
    EXPECT_TRUE(hasSublayer(item, item.tintLayer));
    EXPECT_EQ(item.tintLayer->fillColor, UIColor::whiteColor().withAlphaComponent(0.5));
    EXPECT_EQ(item.tintLayer->path->bounds(), item.circlePath().bounds());
    screen.up(onItem0);
    EXPECT_FALSE(hasSublayer(item, item.tintLayer));
    EXPECT_EQ(item.circleLayer->fillColor, UIColor::greenColor());
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(tapped, std::vector<KYButtonCells*>{button->items[0].get()});
    screen.host().settle();
    EXPECT_TRUE(button->isHide) << "the tap closed the menu";

    // A second quick tap at one spot counts two: open the menu again at once and tap the item there.
    screen.tap(onItem0);
    button->openButton();
    screen.down(onItem0);
    screen.up(onItem0);
    EXPECT_EQ(posts, 1);
    EXPECT_FALSE(button->isHide);
    EXPECT_FALSE(hasSublayer(item, item.tintLayer));
    screen.host().settle();

    // An item without a handler still closes the menu.
    screen.tap({327, 490});
    EXPECT_TRUE(button->isHide);
    EXPECT_EQ(posts, 1);
}

TEST(MenuItem, ACancelledTouchOnAnItemRemovesTheHighlightAndRunsNothing) {
    cw::test::ScreenHost screen;
    auto button = std::make_shared<KYButton>();
    button->setFrame(CGRect(300, 580, 55, 55));
    int runs = 0;
    button->add(UIColor::greenColor(), std::string("POST"), nullptr, [&](KYButtonCells&) { ++runs; });
    screen.screen()->addSubview(button);
    screen.tap({327, 607});
    const auto& item = *button->items[0];
    screen.down({327, 545});
    ASSERT_TRUE(hasSublayer(item, item.tintLayer));
    cw::ApplicationLifecycle::resignActive();
    EXPECT_FALSE(hasSublayer(item, item.tintLayer));
    EXPECT_EQ(item.circleLayer->fillColor, UIColor::greenColor());
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(button->isHide);
    cw::ApplicationLifecycle::becomeActive();

    // The screen lets go of the button while its menu is open: a tap on the item still runs the
    // handler, and there is no menu left to close.
    std::weak_ptr<KYButton> weakButton = button;
    auto overlay = button->overLayView;
    button->removeFromSuperview();
    button.reset();
    EXPECT_TRUE(weakButton.expired());
    screen.tap({327, 545});
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(overlay->superview());
    screen.tap({40, 40});
}
