#include "uikit/graphics/Geometry.h"

#include <gtest/gtest.h>
#include <numbers>

TEST(Geometry, RectEdgesOfNegativeSizesAreStandardized) {
    const CGRect r{10, 20, -4, -6};
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.midX(), 8);
    EXPECT_EQ(r, (CGRect{6, 14, 4, 6}));
}

TEST(Geometry, IntersectionUnionAndNull) {
    const CGRect a{0, 0, 10, 10}, b{5, 5, 10, 10}, far{20, 20, 1, 1};
    EXPECT_EQ(a.intersection(b), (CGRect{5, 5, 5, 5}));
    EXPECT_TRUE(a.intersection(far).isNull());
    EXPECT_FALSE(a.intersects(far));
    EXPECT_EQ(a.unionWith(b), (CGRect{0, 0, 15, 15}));
    EXPECT_EQ(CGRect::null().unionWith(b), b);
    EXPECT_TRUE(a.insetBy(6, 0).isNull());
    EXPECT_EQ(a.insetBy(-1, 2), (CGRect{-1, 2, 12, 6}));
    EXPECT_EQ((CGRect{0.5, 0.2, 1, 1}).integral(), (CGRect{0, 0, 2, 2}));
}

TEST(Geometry, ContainmentIsHalfOpen) {
    const CGRect a{0, 0, 10, 10};
    EXPECT_TRUE(a.contains(CGPoint{0, 0}));
    EXPECT_FALSE(a.contains(CGPoint{10, 5}));
    EXPECT_TRUE(a.contains(CGRect{0, 0, 10, 10}));
    EXPECT_FALSE(a.contains(CGRect{1, 1, 10, 1}));
    EXPECT_FALSE(CGRect::null().contains(CGPoint{}));
    EXPECT_EQ((UIEdgeInsets{1, 2, 3, 4}).inset(a), (CGRect{2, 1, 4, 6}));
}

TEST(Geometry, TransformsComposeAndInvert) {
    const auto t = CGAffineTransform::identity().translatedBy(10, 0).scaledBy(2, 3);
    // The scale applies first, then the translation.
    EXPECT_EQ(t.apply(CGPoint{1, 1}), (CGPoint{12, 3}));
    const auto back = t.inverted().apply(CGPoint{12, 3});
    EXPECT_NEAR(back.x, 1, 1e-12);
    EXPECT_NEAR(back.y, 1, 1e-12);
    const auto r = CGAffineTransform::makeRotation(std::numbers::pi / 2).apply(CGPoint{1, 0});
    EXPECT_NEAR(r.x, 0, 1e-12);
    EXPECT_NEAR(r.y, 1, 1e-12);
    const auto box = CGAffineTransform::makeRotation(std::numbers::pi / 2).apply(CGRect{0, 0, 2, 1});
    EXPECT_NEAR(box.width(), 1, 1e-12);
    EXPECT_NEAR(box.height(), 2, 1e-12);
    const auto singular = CGAffineTransform::makeScale(0, 1);
    EXPECT_EQ(singular.inverted(), singular);
    EXPECT_EQ(CGAffineTransform::makeTranslation(1, 2)
                  .concatenating(CGAffineTransform::makeScale(2, 2))
                  .apply(CGPoint{}),
              (CGPoint{2, 4}));
}
