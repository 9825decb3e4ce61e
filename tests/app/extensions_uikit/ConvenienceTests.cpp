#include "Extensions/UIAlertController+Actions.h"
#include "Extensions/UIImage+Color.h"
#include "Extensions/UITableView+HeaderFitting.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+Extensions.h"

#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

namespace {

void expectColour(const UIColor& actual, const UIColor& expected) {
    EXPECT_NEAR(actual.red(), expected.red(), 0.003) << actual << " vs " << expected;
    EXPECT_NEAR(actual.green(), expected.green(), 0.003) << actual << " vs " << expected;
    EXPECT_NEAR(actual.blue(), expected.blue(), 0.003) << actual << " vs " << expected;
    EXPECT_NEAR(actual.alpha(), expected.alpha(), 0.003) << actual << " vs " << expected;
}

} // namespace

TEST(Conveniences, OkAndCancelAreCancelActionsSoAnAlertTakesOnlyOne) {
    auto alert =
        UIAlertController::make("Logout", "Are you sure you want to logout?", UIAlertControllerStyle::alert);
    int tapped = 0;
    UIAlertController& same =
        addActionWithTitle(*alert, "Stay", UIAlertActionStyle::default_, [&](UIAlertAction&) { ++tapped; });
    EXPECT_EQ(&same, alert.get());
    const auto ok = UIAlertActions::ok();
    const auto cancel = UIAlertActions::cancel();
    EXPECT_EQ(ok->title(), "OK");
    EXPECT_EQ(cancel->title(), "Cancel");
    EXPECT_EQ(ok->style(), UIAlertActionStyle::cancel);
    EXPECT_EQ(cancel->style(), UIAlertActionStyle::cancel);
    EXPECT_FALSE(ok->handler());
    EXPECT_NE(UIAlertActions::ok(), ok) << "each read makes a new action";

    testing::internal::CaptureStderr();
    alert->addAction(ok);
    alert->addAction(cancel);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[1], ok);
    alert->actions()[0]->handler()(*alert->actions()[0]);
    EXPECT_EQ(tapped, 1);
}

TEST(Conveniences, SolidImagesFillTheirSizeRoundedOrSquare) {
    const UIColor white = UIColor::whiteColor();
    auto rounded = UIImageWithColor(white, {20, 34}, 3);
    ASSERT_TRUE(rounded);
    EXPECT_EQ(rounded->size(), (CGSize{20, 34}));
    EXPECT_EQ(rounded->scale(), 2);
    EXPECT_EQ(rounded->pixelColor(0, 0).alpha(), 0) << "the corner is outside the arc";
    expectColour(rounded->pixelColor(20, 34), white);
    expectColour(rounded->pixelColor(20, 0), white);
    // Square corners for no radius, rather than an empty picture.
    auto square = UIImageWithColor(UIColor::redColor(), {4, 4}, 0);
    expectColour(square->pixelColor(0, 0), UIColor::redColor());
    auto filled = makeImageWithColorAndSize(UIColor::blueColor(), {3, 2});
    EXPECT_EQ(filled->pixelWidth(), 6);
    expectColour(filled->pixelColor(0, 0), UIColor::blueColor());
    expectColour(filled->pixelColor(5, 3), UIColor::blueColor());
    EXPECT_FALSE(makeImageWithColorAndSize(UIColor::blueColor(), {0, 5}));
}

TEST(Conveniences, ACornerMaskKeepsTheBoundsOfItsMoment) {
    auto view = std::make_shared<UIView>(CGRect(0, 0, 40, 40));
    view->setBackgroundColor(UIColor::greenColor());
    roundCorners(*view, UIRectCornerTopLeft, 10);
    view->setFrame(CGRect(0, 0, 80, 40));
    auto image = cw::renderView(*view, 1);
    EXPECT_EQ(image->pixelColor(0, 0).alpha(), 0) << "the rounded corner";
    // Square at the top right of the old bounds.
    expectColour(image->pixelColor(39, 0), UIColor::greenColor());
    expectColour(image->pixelColor(20, 39), UIColor::greenColor());
    EXPECT_EQ(image->pixelColor(60, 20).alpha(), 0) << "beyond the old bounds nothing shows";
    roundCorners(*view, UIRectCornerTopLeft, 10);
    expectColour(cw::renderView(*view, 1)->pixelColor(60, 20), UIColor::greenColor());
}

TEST(Conveniences, BordersAddALayerPerCallAndSubviewsGoInOrder) {
    auto view = std::make_shared<UIView>(CGRect(5, 5, 100, 50));
    const std::size_t before = view->layer()->sublayers().size();
    addBottomBorderWithColor(*view, UIColor::redColor(), 2);
    addBottomBorderWithColor(*view, UIColor::redColor(), 2);
    addRightBorderWithColor(*view, UIColor::blueColor(), 3);
    addTopBorderWithColor(*view, UIColor::blueColor(), 1);
    addLeftBorderWithColor(*view, UIColor::blueColor(), 4);
    const auto& layers = view->layer()->sublayers();
    ASSERT_EQ(layers.size(), before + 5);
    EXPECT_EQ(layers[before]->frame(), CGRect(0, 48, 100, 2));
    EXPECT_EQ(layers[before + 1]->frame(), CGRect(0, 48, 100, 2));
    EXPECT_EQ(layers[before + 2]->frame(), CGRect(97, 0, 3, 50));
    EXPECT_EQ(layers[before + 3]->frame(), CGRect(0, 0, 100, 1));
    EXPECT_EQ(layers[before + 4]->frame(), CGRect(0, 0, 4, 50));
    EXPECT_EQ(layers[before]->backgroundColor, UIColor::redColor());

    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>();
    view->addSubview(a);
    view->addSubview(b);
    removeAllSubviews(*view);
    EXPECT_TRUE(view->subviews().empty());
    EXPECT_FALSE(a->superview());

    auto snapshot = pb_takeSnapshot(*view);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->pixelWidth(), 200);
    expectColour(snapshot->pixelColor(100, 99), UIColor::redColor());
}

TEST(Conveniences, FittingATableHeaderAtZeroGivesTheHeightItsContentNeeds) {
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 200, 400));
    layoutTableHeaderViewWithFitting(*table, 0); // no header: nothing happens
    EXPECT_FALSE(table->tableHeaderView());

    auto header = std::make_shared<UIView>(CGRect(0, 0, 200, 300));
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setNumberOfLines(0);
    label->setText("Your baby's care team will post the daily update here every morning");
    header->addSubview(label);
    lyt_layoutHorizontalWithMargin(*label, 10);
    lyt_layoutVerticalWithMargin(*label, 8);
    table->setTableHeaderView(header);

    const CGFloat oneLine = label->font().lineHeight();
    layoutTableHeaderViewWithFitting(*table, 0);
    EXPECT_EQ(table->tableHeaderView(), header);
    EXPECT_EQ(header->frame().size.width, 200);
    const CGFloat fitted = header->frame().size.height;
    const CGFloat textHeight = label->sizeThatFits({180, 10000}).height;
    EXPECT_GT(textHeight, 1.5 * oneLine) << "the text takes two lines at this width";
    EXPECT_NEAR(fitted, textHeight + 16, 1);
    table->layoutIfNeeded();
    EXPECT_NEAR(header->frame().size.height, fitted, 1e-9);
}
