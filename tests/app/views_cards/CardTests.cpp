#include "Views/BottomBorderView.h"
#include "Views/CardView.h"
#include "Views/CardViewSide.h"
#include "Views/DottedVertical.h"

#include "Extensions/UIColor+Palette.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Paths made of arcs land a rounding error away from whole numbers.
void expectNear(const CGRect& a, const CGRect& b) {
    EXPECT_NEAR(a.minX(), b.minX(), 1e-9);
    EXPECT_NEAR(a.minY(), b.minY(), 1e-9);
    EXPECT_NEAR(a.width(), b.width(), 1e-9);
    EXPECT_NEAR(a.height(), b.height(), 1e-9);
}

std::size_t shapeLayers(const UIView& view) {
    const auto& subs = view.layer()->sublayers();
    return static_cast<std::size_t>(std::count_if(subs.begin(), subs.end(), [](const auto& l) {
        return dynamic_cast<CAShapeLayer*>(l.get()) != nullptr;
    }));
}

// The painted stretches of one pixel column, in points: (start, length) for each.
std::vector<std::pair<double, double>> paintedRuns(const UIImage& image, int column) {
    std::vector<std::pair<double, double>> runs;
    const double s = image.scale();
    int start = -1;
    for (int y = 0; y <= image.pixelHeight(); ++y) {
        const bool painted = y < image.pixelHeight() && image.pixelColor(column, y).alpha() > 0.5;
        if (painted && start < 0) start = y;
        if (!painted && start >= 0) {
            runs.push_back({start / s, (y - start) / s});
            start = -1;
        }
    }
    return runs;
}

} // namespace

TEST(Cards, OneFaceLayerBeneathTheContentFollowsResizesAndRadiusChanges) {
    auto parent = std::make_shared<UIView>(CGRect(0, 0, 375, 300));
    auto card = std::make_shared<CardView>(CGRect(10, 10, 200, 100));
    auto content = std::make_shared<UIView>(CGRect(0, 0, 20, 20));
    card->addSubview(content);
    parent->addSubview(card);
    EXPECT_FALSE(card->shadowLayer());
    parent->layoutIfNeeded();
    auto face = card->shadowLayer();
    ASSERT_TRUE(face);
    EXPECT_EQ(card->layer()->sublayers().front(), face) << "beneath every subview";
    expectNear(face->path->bounds(), CGRect(0, 0, 200, 100));
    expectNear(face->shadowPath->bounds(), CGRect(0, 0, 200, 100));
    EXPECT_EQ(face->fillColor, UIColor::whiteColor());
    EXPECT_EQ(face->shadowColor, UIColor::blackColor());
    EXPECT_EQ(face->shadowOffset, CGSize(0, 1));
    EXPECT_FLOAT_EQ(face->shadowOpacity, 0.2f);
    EXPECT_EQ(face->shadowRadius, 3);
    EXPECT_EQ(face->frame(), CGRect::zero()) << "the face keeps its empty frame";
    EXPECT_EQ(card->backgroundColor(), std::nullopt) << "the view's own background is untouched";

    card->setNeedsLayout();
    parent->layoutIfNeeded();
    EXPECT_EQ(shapeLayers(*card), 1u);
    card->setFrame(CGRect(10, 10, 300, 120));
    parent->layoutIfNeeded();
    EXPECT_EQ(card->shadowLayer(), face);
    expectNear(face->path->bounds(), CGRect(0, 0, 300, 120));
    expectNear(face->shadowPath->bounds(), CGRect(0, 0, 300, 120));
    EXPECT_TRUE(face->path->contains({3, 3})) << "10-point corners";

    // A rounder card (behind a rounded button) at the next pass, with the same one layer.
    card->setCornerRadius(24);
    EXPECT_TRUE(card->needsLayout());
    parent->layoutIfNeeded();
    EXPECT_EQ(shapeLayers(*card), 1u);
    EXPECT_FALSE(face->path->contains({3, 3}));
    EXPECT_FALSE(face->shadowPath->contains({3, 3}));
    EXPECT_TRUE(face->path->contains({8, 8}));

    // Drawn: the white face on the grey screen, with the shadow just below it.
    parent->setBackgroundColor(UIColor::withWhite(0.8));
    auto image = cw::renderView(*parent, 2);
    EXPECT_EQ(image->pixelColor(2 * 160, 2 * 70), UIColor(1, 1, 1, 1));
    EXPECT_LT(image->pixelColor(2 * 160, 2 * 131).red(), 0.8) << "the shadow under the bottom edge";
    EXPECT_EQ(image->pixelColor(2 * 12, 2 * 12), UIColor(0.8, 0.8, 0.8, 1)) << "outside the round corner";
}

TEST(Cards, AFirstPassAtEmptyBoundsGetsTheLayerAndTheNextOneItsFace) {
    auto card = std::make_shared<CardView>();
    card->layoutIfNeeded();
    auto face = card->shadowLayer();
    ASSERT_TRUE(face);
    EXPECT_EQ(face->path->bounds().size, CGSize(0, 0));
    card->setFrame(CGRect(0, 0, 120, 60));
    card->layoutIfNeeded();
    EXPECT_EQ(card->shadowLayer(), face);
    expectNear(face->path->bounds(), CGRect(0, 0, 120, 60));

    // The side card is square-cornered.
    auto side = std::make_shared<CardViewSide>(CGRect(0, 0, 120, 60));
    side->layoutIfNeeded();
    ASSERT_TRUE(side->shadowLayer());
    EXPECT_EQ(side->cornerRadius(), 0);
    EXPECT_TRUE(side->shadowLayer()->path->contains({0.5, 0.5}));
    EXPECT_FLOAT_EQ(side->shadowLayer()->shadowOpacity, 0.2f);
}

TEST(Cards, ADottedLineHasEightDotsWhateverItsHeight) {
    struct Case {
        CGFloat width, height, dot;
    };
    for (const Case c : {Case{2, 150, 10}, Case{4, 30, 2}}) {
        auto line = std::make_shared<DottedVertical>(CGRect(0, 0, c.width, c.height));
        EXPECT_EQ(line->dotColor, UIColor::lightGrayColor());
        auto image = cw::renderView(*line, 2);
        for (int column = 0; column < image->pixelWidth(); ++column) {
            const auto runs = paintedRuns(*image, column);
            ASSERT_EQ(runs.size(), 8u) << "height " << c.height << " column " << column;
            for (std::size_t i = 0; i < runs.size(); ++i) {
                EXPECT_NEAR(runs[i].first, 2 * c.dot * static_cast<double>(i), 0.5);
                EXPECT_NEAR(runs[i].second, c.dot, 0.5);
            }
        }
        EXPECT_NEAR(image->pixelColor(0, 0).red(), 2.0 / 3.0, 0.01) << "light grey dots";
    }
    // lowerHalfOnly is kept for interface files; the line still runs the full height.
    auto line = std::make_shared<DottedVertical>(CGRect(0, 0, 2, 150));
    line->lowerHalfOnly = true;
    line->dotColor = UIColor::redColor();
    auto image = cw::renderView(*line, 2);
    EXPECT_EQ(paintedRuns(*image, 1).size(), 8u);
    EXPECT_NEAR(image->pixelColor(1, 2).red(), 1, 0.01);
}

TEST(Cards, TheTabUnderlineStaysAsLastShownThroughLayoutPasses) {
    ManualClock clock;
    auto tab = std::make_shared<BottomBorderView>(CGRect(0, 0, 120, 40));
    const auto& line = tab->bottomBorder();
    EXPECT_EQ(line->backgroundColor, UIColorPalette::bottomBorderBlue());
    EXPECT_EQ(tab->borderColor(), UIColorPalette::bottomBorderBlue());
    tab->layoutIfNeeded();
    EXPECT_EQ(line->frame(), CGRect(0, 39, 120, 1));

    tab->setBorderColor(UIColor::redColor());
    EXPECT_EQ(line->backgroundColor, UIColor::redColor());

    cw::Animator::shared().clearHistory();
    tab->animateBorder(false);
    ASSERT_EQ(cw::Animator::shared().history().size(), 1u);
    EXPECT_DOUBLE_EQ(cw::Animator::shared().history()[0]->duration, 0.18);
    EXPECT_EQ(line->frame(), CGRect(0, 39, 120, 0));
    // A layout pass (a rotation, a new size) keeps the hidden line hidden, at the new bottom.
    tab->setFrame(CGRect(0, 0, 160, 44));
    tab->layoutIfNeeded();
    EXPECT_EQ(line->frame(), CGRect(0, 43, 160, 0));
    tab->animateBorder(true);
    EXPECT_EQ(line->frame(), CGRect(0, 43, 160, 1));
    tab->setNeedsLayout();
    tab->layoutIfNeeded();
    EXPECT_EQ(line->frame(), CGRect(0, 43, 160, 1));
    clock.advance(1);
    cw::Animator::shared().finishAll();
}
