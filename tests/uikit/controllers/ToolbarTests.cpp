#include "ControllerTestSupport.h"

#include "uikit/controllers/BarButtonItemView.h"
#include "uikit/controllers/UIToolbar.h"
#include "foundation/archive/NSKeyedArchiver.h"

namespace {

UIBarButtonItemPtr titled(const std::string& title,
                          UIBarButtonItemStyle style = UIBarButtonItemStyle::plain) {
    return std::make_shared<UIBarButtonItem>(title, style);
}

UIBarButtonItemPtr flexible() {
    return std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace);
}

UIBarButtonItemPtr fixed(CGFloat width) {
    auto item = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::fixedSpace);
    item->width = width;
    return item;
}

CGRect frameOf(UIView& bar, const UIBarButtonItemPtr& item) {
    bar.layoutIfNeeded();
    auto view = cw::findBarButtonItemView(bar, *item);
    EXPECT_TRUE(view) << "no view shows the item";
    return view ? view->frame() : CGRect{};
}

} // namespace

TEST(Toolbar, FlexibleSpacesShareTheRoomLeftAndFixedSpacesKeepTheirWidth) {
    auto bar = std::make_shared<UIToolbar>();
    bar->sizeToFit();
    EXPECT_EQ(bar->frame(), CGRect(0, 0, 375, 44)) << "as wide as the screen";

    auto one = titled("One"), two = titled("Two"), three = titled("Three");
    bar->setItems({fixed(20), one, flexible(), two, flexible(), three});
    const CGRect a = frameOf(*bar, one), b = frameOf(*bar, two), c = frameOf(*bar, three);
    EXPECT_EQ(a.minX(), 16 + 20) << "the margin, then the fixed space";
    EXPECT_DOUBLE_EQ(c.maxX(), 375 - 16) << "the flexible spaces take all that is left";
    EXPECT_NEAR(b.minX() - a.maxX(), c.minX() - b.maxX(), 1e-9) << "in equal parts";
    EXPECT_GT(b.minX() - a.maxX(), 50);
    EXPECT_EQ(a.minY(), 0);
    EXPECT_EQ(a.height(), 44);

    // The form toolbars: a flexible space pushes Done to the right edge.
    auto done = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done);
    bar->setItems({flexible(), done});
    EXPECT_DOUBLE_EQ(frameOf(*bar, done).maxX(), 359);
    EXPECT_EQ(cw::findBarButtonItemView(*bar, *done)->titleLabel()->text(), "Done");

    // Buttons side by side stand 8 points apart; a fixed space between them is all the gap there is.
    bar->setItems({one, two});
    EXPECT_EQ(frameOf(*bar, one).minX(), 16);
    EXPECT_DOUBLE_EQ(frameOf(*bar, two).minX(), frameOf(*bar, one).maxX() + 8);
    bar->setItems({one, fixed(40), two});
    EXPECT_DOUBLE_EQ(frameOf(*bar, two).minX(), frameOf(*bar, one).maxX() + 40);

    // Too little room: the flexible spaces shrink to nothing and never go negative.
    one->width = 200;
    two->width = 200;
    bar->setItems({one, flexible(), two});
    EXPECT_DOUBLE_EQ(frameOf(*bar, two).minX(), 16 + 200);
    EXPECT_EQ(frameOf(*bar, one).width(), 200) << "an item's own width wins";
}

TEST(Toolbar, ItemsAreDrawnInTheBarsTintUnlessTheyHaveTheirOwnAndFollowTheirItems) {
    auto bar = std::make_shared<UIToolbar>(CGRect(0, 0, 375, 44));
    const UIColor mint(0x55 / 255.0, 0xd6 / 255.0, 0xbc / 255.0, 1);
    const UIColor green(0x7E / 255.0, 0xC5 / 255.0, 0xAC / 255.0, 1);
    bar->setTintColor(mint);
    int taps = 0;
    auto done =
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done, [&](UIBarButtonItem&) { ++taps; });
    auto next = titled("Next", UIBarButtonItemStyle::done);
    next->tintColor = green;
    bar->setItems({flexible(), next, done}, true);
    bar->layoutIfNeeded();
    auto doneView = cw::findBarButtonItemView(*bar, *done);
    auto nextView = cw::findBarButtonItemView(*bar, *next);
    ASSERT_TRUE(doneView && nextView);
    EXPECT_EQ(doneView->titleLabel()->textColor(), mint);
    EXPECT_EQ(nextView->titleLabel()->textColor(), green);
    EXPECT_EQ(nextView->titleLabel()->font(), UIFont::boldSystemFont(17)) << "the done style is bold";
    EXPECT_EQ(doneView->alpha(), 1) << "items set animated end fully shown";

    // A tap runs the action; a disabled item shows so and does nothing until enabled again.
    doneView->activate();
    EXPECT_EQ(taps, 1);
    done->setEnabled(false);
    EXPECT_FALSE(doneView->isEnabled);
    doneView->activate();
    EXPECT_EQ(taps, 1);
    done->setEnabled(true);
    EXPECT_TRUE(doneView->isEnabled);

    // A longer title widens the button and the bar places it again.
    const CGFloat before = frameOf(*bar, next).width();
    next->setTitle("Next field");
    EXPECT_GT(frameOf(*bar, next).width(), before);
    EXPECT_DOUBLE_EQ(frameOf(*bar, done).maxX(), 359);
    EXPECT_DOUBLE_EQ(frameOf(*bar, next).maxX() + 8, frameOf(*bar, done).minX());

    // The bar's tint changing recolours the items.
    bar->setTintColor(UIColor::redColor());
    EXPECT_EQ(doneView->titleLabel()->textColor(), UIColor::redColor());
    EXPECT_EQ(nextView->titleLabel()->textColor(), green);
}

class NavigationBarItemTest : public ControllerTest {};

TEST_F(NavigationBarItemTest, ABarButtonEnabledLaterIsShownEnabled) {
    auto screen = make("A");
    auto nav = UINavigationController::withRoot(screen);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    auto post = titled("Post", UIBarButtonItemStyle::done);
    post->setEnabled(false);
    screen->navigationItem()->setRightBarButtonItem(post);
    window->layoutIfNeeded();
    auto view = cw::findBarButtonItemView(*window, *post);
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->isEnabled);
    post->setEnabled(true);
    EXPECT_TRUE(cw::findBarButtonItemView(*window, *post)->isEnabled);
    EXPECT_EQ(view->titleLabel()->textColor(), nav->navigationBar()->tintColor());
}

namespace {
TEST(Toolbar, OneMadeFromAnEmptyCoderIsADefaultBarThatTakesItems) {
    auto coder = NSCoder::empty();
    auto toolbar = std::make_shared<UIToolbar>(coder);
    EXPECT_TRUE(toolbar->items().empty());
    toolbar->sizeToFit();
    EXPECT_DOUBLE_EQ(toolbar->frame().size.height, 44);
    toolbar->setItems({std::make_shared<UIBarButtonItem>(std::optional<std::string>("Done"), UIBarButtonItemStyle::done)});
    EXPECT_EQ(toolbar->items().size(), 1u);
}
} // namespace
