#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

// A view scaled to nothing (an item that pops out of a point) draws nothing, and everything drawn
// after it in the same frame still shows.
TEST(CollapsedLayer, AViewScaledToNothingHidesOnlyItself) {
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 100, 50));
    screen->setBackgroundColor(UIColor::whiteColor());
    auto collapsed = std::make_shared<UIView>(CGRect(0, 0, 50, 50));
    collapsed->setBackgroundColor(UIColor::redColor());
    collapsed->setTransform(CGAffineTransform::makeScale(0, 0));
    auto after = std::make_shared<UIView>(CGRect(50, 0, 50, 50));
    after->setBackgroundColor(UIColor::blueColor());
    screen->addSubview(collapsed);
    screen->addSubview(after);
    auto image = cw::renderView(*screen, 1);
    EXPECT_EQ(image->pixelColor(25, 25), UIColor(1, 1, 1, 1));
    EXPECT_EQ(image->pixelColor(75, 25), UIColor(0, 0, 1, 1));
    collapsed->setTransform(CGAffineTransform::makeScale(0.5, 0.5));
    image = cw::renderView(*screen, 1);
    EXPECT_EQ(image->pixelColor(25, 25), UIColor(1, 0, 0, 1));
    EXPECT_EQ(image->pixelColor(5, 5), UIColor(1, 1, 1, 1));
}
