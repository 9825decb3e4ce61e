#include "Extensions/UIFont+SecretFont.h"
#include "Extensions/UIView+GradientMask.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

TEST(SecretFont, TheCondensedFacesByName) {
    auto demiBold = UIFontSecretFont::secretFontWithSize(21);
    ASSERT_TRUE(demiBold);
    EXPECT_EQ(demiBold->fontName(), "AvenirNextCondensed-DemiBold");
    EXPECT_EQ(demiBold->pointSize(), 21);
    auto regular = UIFontSecretFont::secretFontLightWithSize(13);
    ASSERT_TRUE(regular);
    EXPECT_EQ(regular->fontName(), "AvenirNextCondensed-Regular");
    EXPECT_EQ(regular->pointSize(), 13);
}

TEST(GradientMask, FadesFromTheStartPointKeepsItsSizeAndIsReplacedByTheNext) {
    auto container = std::make_shared<UIView>(CGRect{0, 0, 100, 200});
    container->setBackgroundColor(UIColor::whiteColor());
    auto view = std::make_shared<UIView>(CGRect{0, 0, 100, 100});
    view->setBackgroundColor(UIColor::blackColor());
    container->addSubview(view);

    UIViewGradientMask::addGradientMaskWithStartPoint(*view, {0, 0}, {0, 1});
    auto first = view->layer()->mask;
    ASSERT_TRUE(first);
    auto shot = cw::renderView(*container, 1);
    EXPECT_GT(shot->pixelColor(50, 0).white(), 0.97) << "invisible at the top";
    EXPECT_LT(shot->pixelColor(50, 99).white(), 0.03) << "wholly visible at the bottom";
    EXPECT_NEAR(shot->pixelColor(50, 50).white(), 0.5, 0.03) << "a linear fade between";

    // Grown later, the view is hidden outside the rectangle it had.
    view->setFrame({0, 0, 100, 200});
    shot = cw::renderView(*container, 1);
    EXPECT_GT(shot->pixelColor(50, 150).white(), 0.97);

    UIViewGradientMask::addGradientMaskWithStartPoint(*view, {1, 0}, {0, 0});
    EXPECT_NE(view->layer()->mask, first);
    shot = cw::renderView(*container, 1);
    EXPECT_LT(shot->pixelColor(0, 100).white(), 0.03) << "the new mask shows the left edge";
    EXPECT_GT(shot->pixelColor(99, 100).white(), 0.97) << "and hides the right one";
}
